#include "link/ui/StartFromDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>
#include <limits>

StartFromDialog::StartFromDialog(const QStringList& jobs, const QString& numberCaption,
                                 qint64 largest, QWidget* parent)
    : QDialog(parent), m_job(new QComboBox(this)), m_number(new QSpinBox(this)) {
    setObjectName(QStringLiteral("StartFromDialog"));
    setWindowTitle(QStringLiteral("Начать с…"));
    m_job->setObjectName(QStringLiteral("StartFromJob"));
    m_job->addItems(jobs);
    m_number->setObjectName(QStringLiteral("StartFromNumber"));
    m_number->setRange(1, int(std::min<qint64>(largest, std::numeric_limits<int>::max())));
    m_number->setSuffix(QStringLiteral(" из %1").arg(largest));
    auto* form = new QFormLayout(this);
    if (jobs.size() > 1) {
        form->addRow(QStringLiteral("Работа:"), m_job);
    } else {
        m_job->hide();
    }
    form->addRow(numberCaption, m_number);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Начать"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(this, &QDialog::accepted, this,
            [this] { emit chosen(m_job->currentIndex(), m_number->value()); });
}
