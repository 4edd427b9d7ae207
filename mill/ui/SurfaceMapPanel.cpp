#include "mill/ui/SurfaceMapPanel.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/config/Config.h"
#include "app/config/NumberText.h"
#include "app/config/ProgramSettings.h"
#include "link/protocol/ProgramContext.h"
#include "link/ui/ElidedLabel.h"
#include "link/ui/WidgetNames.h"
#include "link/ui/WindowJobHost.h"
#include "mill/SurfaceFollower.h"
#include "surface/SurfaceCsv.h"
#include "surface/SurfaceMapStore.h"

namespace {

const QString kMapKey = QStringLiteral("surface_map");
const QString kFollowKey = QStringLiteral("surface_follow");
const QString kStartXKey = QStringLiteral("surface_x");
const QString kStartYKey = QStringLiteral("surface_y");

std::optional<double> startField(const QLineEdit* field) {
    return parseNumber(field->text());
}

}  // namespace

SurfaceMapPanel::SurfaceMapPanel(ProgramContext& program, WindowJobHost& host, QWidget* parent)
    : QWidget(parent),
      m_program(program),
      m_host(host),
      m_openFile(&openPictureFile),
      Check2(new QCheckBox(QStringLiteral("По карте высот"), this)),
      Label10(new ElidedLabel(noSurfaceText(), this)),
      Command9(new QPushButton(QStringLiteral("Карта…"), this)),
      Text10(namedField("Text10", QStringLiteral("0"), this)),
      Text11(namedField("Text11", QStringLiteral("0"), this)) {
    Check2->setObjectName(QStringLiteral("Check2"));
    Label10->setObjectName(QStringLiteral("Label10"));
    Command9->setObjectName(QStringLiteral("Command9"));
    Check2->setToolTip(QStringLiteral(
        "Каждое перемещение работы получает по Z изменение высоты поверхности по карте"));
    Command9->setToolTip(QStringLiteral("Открыть карту высот — таблицу CSV сканера"));
    Text10->setToolTip(QStringLiteral("Начало работы на карте по X, мм от её первой точки"));
    Text11->setToolTip(QStringLiteral("Начало работы на карте по Y, мм от её первой точки"));
    for (QLineEdit* field : {Text10, Text11})
        field->setMaximumWidth(field->fontMetrics().averageCharWidth() * 9);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Check2);
    layout->addWidget(Label10, 1);
    layout->addWidget(Command9);
    layout->addWidget(new QLabel(QStringLiteral("Начало на карте, мм: X"), this));
    layout->addWidget(Text10);
    layout->addWidget(new QLabel(QStringLiteral("Y"), this));
    layout->addWidget(Text11);
    m_host.addJobControl(Command9);
    m_host.addJobControl(Check2);

    if (SurfaceMapStore* store = m_program.surfaceMaps)
        connect(store, &SurfaceMapStore::changed, this, &SurfaceMapPanel::storedMapChanged);
    // What is read back is not written again while it is being read.
    m_loading = true;
    loadRemembered();
    m_loading = false;
    connect(Command9, &QPushButton::clicked, this, &SurfaceMapPanel::Command9_Click);
    connect(Check2, &QCheckBox::toggled, this, [this] {
        remember();
        emit shownChanged();
    });
    for (QLineEdit* field : {Text10, Text11}) {
        connect(field, &QLineEdit::editingFinished, this, [this] { remember(); });
        connect(field, &QLineEdit::textChanged, this, &SurfaceMapPanel::shownChanged);
    }
}

void SurfaceMapPanel::loadRemembered() {
    const ConfigFile& config = m_program.config;
    Text10->setText(config.ReadSetting(kStartXKey, QStringLiteral("0")));
    Text11->setText(config.ReadSetting(kStartYKey, QStringLiteral("0")));
    const bool follow = config.ReadSetting(kFollowKey, QStringLiteral("0")) == u"1";
    const SurfaceMapStore* store = m_program.surfaceMaps;
    if (store && store->map()) {
        // A scan of this session is the freshest map there is.
        const bool scanned = store->map()->source.isEmpty();
        m_map = store->map();
        Label10->setFullText(m_map->description());
        Check2->setChecked(scanned || follow);
        return;
    }
    const ConfigFile::SettingText path = config.ReadSettingText(kMapKey, QString());
    if (path.text.isEmpty() || path.cut) return;
    SurfaceCsvResult read = readSurfaceCsv(path.text, m_program.settings.values().ProbeScaleMm);
    if (!read.map) {
        Label10->setFullText(QStringLiteral("карта %1 не читается").arg(path.text));
        return;
    }
    takeMap(std::move(*read.map), false);
    Check2->setChecked(follow);
}

void SurfaceMapPanel::takeMap(SurfaceMap map, bool fromScan) {
    if (SurfaceMapStore* store = m_program.surfaceMaps) {
        // The store announces it back to every window, this one too.
        store->replace(std::move(map), fromScan);
        return;
    }
    m_map = std::move(map);
    storedMapChanged(fromScan);
}

void SurfaceMapPanel::storedMapChanged(bool fromScan) {
    if (const SurfaceMapStore* store = m_program.surfaceMaps) m_map = store->map();
    Label10->setFullText(m_map ? m_map->description() : noSurfaceText());
    // A fresh scan is what the user measured for this job: it is followed unless cleared.
    if (fromScan && m_map) Check2->setChecked(true);
    remember();
    emit shownChanged();
}

bool SurfaceMapPanel::openMapFile(const QString& path) {
    SurfaceCsvResult read = readSurfaceCsv(path, m_program.settings.values().ProbeScaleMm);
    if (!read.map) {
        m_host.showMessage(kErrorTitle, read.error);
        return false;
    }
    takeMap(std::move(*read.map), false);
    Check2->setChecked(true);
    return true;
}

void SurfaceMapPanel::Command9_Click() {
    const QString directory =
        m_map && !m_map->source.isEmpty() ? QFileInfo(m_map->source).absolutePath() : QString();
    const QString path = m_openFile(this, QStringLiteral("Открыть карту высот"), directory,
                                    QStringLiteral("Таблица CSV (*.csv);;Все файлы (*)"));
    if (!path.isEmpty()) openMapFile(path);
}

void SurfaceMapPanel::remember() const {
    if (m_loading) return;
    QList<std::pair<QString, QString>> values{
        {kFollowKey, Check2->isChecked() ? QStringLiteral("1") : QStringLiteral("0")},
        {kStartXKey, Text10->text()},
        {kStartYKey, Text11->text()}};
    // A scan's map lives only as long as the program; a file's is opened again next time.
    if (m_map && !m_map->source.isEmpty()) values.append({kMapKey, m_map->source});
    m_program.config.WriteSettings(values);
}

std::optional<SurfaceMapPanel::JobSurface> SurfaceMapPanel::forJob() const {
    if (!Check2->isChecked() || !m_map) return std::nullopt;
    const std::optional<double> x = startField(Text10), y = startField(Text11);
    if (!x || !y) {
        throw JobEnded(JobEnded::Reason::Refused, kErrorTitle,
                       QStringLiteral("Начало работы на карте высот (X, Y, мм) должно быть "
                                      "числом."));
    }
    return JobSurface{*m_map, {*x, *y}};
}

QRect SurfaceMapPanel::coveredPixels(QSize picture, const QString& widthText) const {
    if (!Check2->isChecked() || !m_map || picture.isEmpty()) return {};
    const std::optional<double> width = parseNumber(widthText);
    const std::optional<double> x = startField(Text10), y = startField(Text11);
    if (!width || !(*width > 0) || !x || !y) return {};
    const ProgramSettings& settings = m_program.settings.values();
    // One pixel as the job moves it: whole steps per pixel of the finished width.
    const auto pixelMm = [&](double ratio) {
        return ratio == 0 ? 0.0 : roundHalfEven(*width / ratio / picture.width()) * ratio;
    };
    return SurfaceFollower(*m_map, {*x, *y},
                           {pixelMm(settings.StepRatioX), pixelMm(settings.StepRatioY)})
        .coveredPixels(picture);
}
