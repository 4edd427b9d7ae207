#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;
class QSpinBox;

// "Начать с…": which job (a list shown only when there is more than one) and the number of the
// figure, row or grid point it starts from, 1 to `largest`. Opened without waiting (open());
// OK emits chosen, whose job runs before the dialog has finished closing, so the dialog is
// deleted by its owner afterwards, never on close.
class StartFromDialog : public QDialog {
    Q_OBJECT
public:
    StartFromDialog(const QStringList& jobs, const QString& numberCaption, qint64 largest,
                    QWidget* parent);

signals:
    void chosen(int jobIndex, qint64 number);

private:
    QComboBox* m_job;
    QSpinBox* m_number;
};
