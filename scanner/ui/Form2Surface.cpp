// The scanner window's scan as a surface for the other windows: its map for the milling window,
// and its relief picture.

#include <QFileDialog>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>

#include "app/config/Config.h"
#include "link/protocol/ProgramContext.h"
#include "link/ui/WidgetNames.h"
#include "link/ui/WindowJobHost.h"
#include "scanner/ScanFields.h"
#include "scanner/ScanRelief.h"
#include "scanner/ScanSurfaceMap.h"
#include "scanner/ui/Form2.h"
#include "surface/SurfaceMapStore.h"

void Form2::publishScanMap() {
    SurfaceMapStore* store = program().surfaceMaps;
    if (!store) return;
    if (std::optional<SurfaceMap> map = SurfaceFromScan(m_record)) store->replace(*map, true);
}

void Form2::addSurfaceControls(QGridLayout* jobGrid) {
    Command9 = namedButton("Command9", QStringLiteral("Сохранить рельеф"), this);
    Command9->setToolTip(QStringLiteral(
        "Записать интерполированную поверхность полутоновой картинкой (чёрное — самая низкая "
        "точка, белое — самая высокая), чтобы фрезеровать её «Резать 3D»"));
    jobGrid->addWidget(Command9, 3, 0, 1, 2);
    host().addJobControl(Command9);
    connect(Command9, &QPushButton::clicked, this, &Form2::Command9_Click);
}

void Form2::Command9_Click() {
    const int meshWidth = GridCount(Text3->text()).value_or(0);
    const int meshHeight = GridCount(Text4->text()).value_or(0);
    const QString refusal =
        InterpolationRefusal(m_record.map, meshWidth, meshHeight, imageExtent(), QSize(1, 1));
    if (!refusal.isEmpty()) {
        showMessage(kErrorTitle, refusal);
        return;
    }
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить рельеф"),
                                                ProgramFilePath(QStringLiteral("relief.bmp")),
                                                QStringLiteral("Картинка BMP (*.bmp)"));
    if (path.isEmpty()) return;
    if (!path.endsWith(u".bmp", Qt::CaseInsensitive)) path += QStringLiteral(".bmp");
    const QString error = SaveScanRelief(m_record.map, meshWidth, meshHeight, imageExtent(), path);
    if (error.isEmpty()) {
        showMessage(kScanExportedTitle, QStringLiteral("Рельеф сохранён: %1").arg(path));
    } else {
        showMessage(kErrorTitle, error);
    }
}
