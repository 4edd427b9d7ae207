#include "engrave/ui/Form3.h"

#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

#include "app/config/Config.h"
#include "app/config/ConfigKeys.h"
#include "engrave/PictureEngraving.h"
#include "figures/PictureLayers.h"
#include "figures/ui/LayerView.h"
#include "link/ui/JobBar.h"
#include "link/ui/JobContinuation.h"
#include "link/ui/ManualPanel.h"
#include "link/ui/WidgetNames.h"
#include "link/ui/WindowJobHost.h"

namespace {

// Pict is the picture with this margin on each of its right and lower sides.
constexpr int kPictMargin = 4;
constexpr QSize kPreferredSize(1000, 640);

}  // namespace

Form3::Form3(ProgramContext& program, QWidget* parent)
    : WorkingWindow({MoveRules::Engraving, QStringLiteral("Настройка"),
                     QStringLiteral("Гравировать"), kEngravingWindowKeys},
                    program, parent),
      m_continue(
          new JobContinuation(host(), program,
                              {{QStringLiteral("Гравировать")},
                               QStringLiteral("Строка картинки (сверху):"),
                               [this] { return qint64(m_unmarked.height); },
                               QStringLiteral("Начать не с чего: сначала загрузите картинку.")},
                              this)),
      Text1(namedField("Text1", {}, this)),
      Command2(namedButton("Command2", QStringLiteral("..."), this)),
      Text6(namedField("Text6", QStringLiteral("200"), this)),
      Text7(namedField("Text7", QStringLiteral("100"), this)),
      Command1(namedButton("Command1", QStringLiteral("Гравировать"), this)),
      Frame4(new QGroupBox(QStringLiteral("Размер готового изображения"), this)),
      Frame2(new QGroupBox(QStringLiteral("Гравирование"), this)),
      m_pictArea(new QScrollArea(this)),
      Pict(new LayerView("Pict", this)) {
    setWindowTitle(QStringLiteral("Гравирование лазером"));
    resize(kPreferredSize);
    Text1->setReadOnly(true);
    Text1->setFocusPolicy(Qt::ClickFocus);
    Command2->setFixedWidth(Command2->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    buildColumn();

    WindowJobHost& host = this->host();
    host.setField(JobField::FinishedWidth, Text6);
    host.setRedraw([this](const QRect& changed) { Pict->redraw(changed); });
    // The job works on the picture shown: nothing may replace it while a job runs.
    host.addJobControl(Command1);
    host.addJobControl(Command2);
    connect(Command1, &QPushButton::clicked, this, &Form3::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form3::Command2_Click);
    connect(m_continue, &JobContinuation::continueClicked, this, &Form3::Continue_Click);
    connect(m_continue, &JobContinuation::startFromChosen, this,
            [this](int, qint64 row) { StartFrom_Click(row); });
    connect(Text6, &QLineEdit::returnPressed, this, &Form3::Text6_LostFocus);
    connect(Text7, &QLineEdit::returnPressed, this, &Form3::Text7_LostFocus);
    Text6->installEventFilter(this);
    Text7->installEventFilter(this);

    Form_Load();
    Text6_LostFocus();
}

void Form3::buildColumn() {
    auto* Frame3 = new QGroupBox(QStringLiteral("Выбор файла"), this);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    auto* fileLayout = new QHBoxLayout(Frame3);
    fileLayout->addWidget(Text1, 1);
    fileLayout->addWidget(Command2);

    Frame4->setObjectName(QStringLiteral("Frame4"));
    auto* sizeLayout = new QFormLayout(Frame4);
    auto withUnit = [this](QLineEdit* field) {
        auto* row = new QHBoxLayout;
        row->addWidget(field, 1);
        row->addWidget(new QLabel(QStringLiteral("мм"), this));
        return row;
    };
    sizeLayout->addRow(QStringLiteral("Ширина:"), withUnit(Text6));
    sizeLayout->addRow(QStringLiteral("Высота:"), withUnit(Text7));

    Frame2->setObjectName(QStringLiteral("Frame2"));
    auto* engraveLayout = new QVBoxLayout(Frame2);
    engraveLayout->addWidget(panel());
    engraveLayout->addWidget(Command1);
    auto* resumeRow = new QHBoxLayout;
    resumeRow->addWidget(m_continue->button());
    resumeRow->addWidget(m_continue->startFromButton());
    engraveLayout->addLayout(resumeRow);
    engraveLayout->addWidget(jobBar());

    auto* column = new QVBoxLayout;
    column->addWidget(Frame3);
    column->addWidget(Frame4);
    column->addWidget(Frame2);
    column->addStretch();
    auto* columnWidget = new QWidget(this);
    columnWidget->setObjectName(QStringLiteral("ControlColumn"));
    columnWidget->setLayout(column);

    // The panel and the job strip sit in Frame2, which hides with the picture, so this window
    // brings its own column beside the picture box.
    m_pictArea->setWidget(Pict);
    m_pictArea->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* area = new QWidget(this);
    auto* layout = new QHBoxLayout(area);
    layout->addWidget(m_pictArea, 1);
    layout->addWidget(columnWidget);
    setPictureArea(area);
    columnWidget->setFixedWidth(
        std::max(WorkingWindow::columnWidth(), columnWidget->minimumSizeHint().width()));
}

void Form3::setMessageFunction(MessageFunction showMessage) {
    m_showMessage = std::move(showMessage);
}

void Form3::setOpenFileFunction(OpenFileFunction openFile) {
    m_openFile = std::move(openFile);
}

void Form3::loadPictureKey(const ConfigKey& key) {
    Text1->setText(key.read(program().config));
    LoadEngravingPicture(Text1->text());
}

void Form3::showMessage(const QString& text) {
    m_showMessage(this, kErrorTitle, text);
}

void Form3::installPicture(PixelBuffer picture) {
    m_picture = std::move(picture);
    m_unmarked = m_picture;
    const bool loaded = !m_picture.isEmpty();
    Frame4->setVisible(loaded);
    Frame2->setVisible(loaded);
    Pict->setVisible(loaded);
    Pict->setLayer(loaded ? &m_picture : nullptr);
    if (loaded) Pict->setFixedSize(m_picture.width + kPictMargin, m_picture.height + kPictMargin);
    ShowPicture();
}

void Form3::LoadEngravingPicture(const QString& path) {
    // The old picture goes first, so that two large pictures are never held at once.
    installPicture({});
    PictureFileResult loaded = loadPictureFile(path);
    if (loaded.status == PictureLoadStatus::Loaded) {
        installPicture(std::move(loaded.picture));
    } else {
        showMessage(loaded.message);
    }
    Text6_LostFocus();
}

void Form3::Command2_Click() {
    const QString name = m_openFile(this, kOpenPictureTitle, PictureDirectory(), kPictureFilter);
    if (!name.isEmpty()) {
        PictureFileResult loaded = loadPictureFile(name);
        if (loaded.status != PictureLoadStatus::Loaded) {
            showMessage(loaded.message);
            return;
        }
        Text1->setText(name);
        kEngraveImageKey.write(program().config, Text1->text());
        installPicture(std::move(loaded.picture));
    }
    Text6_LostFocus();
}

void Form3::Command1_Click() {
    runEngraving({});
}

void Form3::Text6_LostFocus() {
    if (const std::optional<QString> height =
            finishedHeightText(Text6->text(), m_picture.width, m_picture.height)) {
        Text7->setText(*height);
    }
}

void Form3::Text7_LostFocus() {
    if (const std::optional<QString> width =
            finishedWidthText(Text7->text(), m_picture.width, m_picture.height)) {
        Text6->setText(*width);
    }
}

void Form3::ShowPicture() {
    // Pict is the picture plus a margin, so the part of it in the picture's proportion always
    // holds the whole picture at one to one.
    if (m_picture.isEmpty()) return;
    Pict->setDrawSize(QSize(m_picture.width, m_picture.height));
    Pict->redraw({});
}

bool Form3::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        if (watched == Text6) Text6_LostFocus();
        if (watched == Text7) Text7_LostFocus();
    }
    return QWidget::eventFilter(watched, event);
}
