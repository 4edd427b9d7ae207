// The click handlers of the scanner window's four job buttons: scan, interpolate, save the
// picture, export the scan.

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

#include "app/config/Config.h"
#include "app/config/NumberText.h"
#include "link/ui/WindowJobHost.h"
#include "scanner/ScanFiles.h"
#include "scanner/ScanInterpolation.h"
#include "scanner/ui/Form2.h"
#include "scanner/ui/ScanPictureView.h"

ImageExtent Form2::imageExtent() const {
    return {parseNumber(Text6->text()).value_or(0), parseNumber(Text7->text()).value_or(0)};
}

void Form2::Command6_Click() {
    runScan({});
}

void Form2::Command2_Click() {
    const int meshWidth = GridCount(Text3->text()).value_or(0);
    const int meshHeight = GridCount(Text4->text()).value_or(0);
    const QSize cell = CellSizeFor(pictureSize(), meshWidth, meshHeight);
    const QString refusal =
        InterpolationRefusal(m_record.map, meshWidth, meshHeight, imageExtent(), cell);
    if (!refusal.isEmpty()) {
        showMessage(kErrorTitle, refusal);
        return;
    }
    InterpolateHeightMap(m_picture, m_record.map, imageExtent(), cell);
    Pict->update();
}

void Form2::Command1_Click() {
    const QString path = m_saveFile(this, QStringLiteral("Сохранить изображение"),
                                    ProgramFilePath(QString::fromLatin1(kScanImageFile)),
                                    QStringLiteral("Рисунок BMP (*.bmp)"));
    if (path.isEmpty()) return;
    const QString error = SaveScanImage(m_picture.buffer(), path);
    if (error.isEmpty()) {
        showMessage(
            kPictureSavedTitle,
            QStringLiteral("Изображение сохранено: %1").arg(QDir::toNativeSeparators(path)));
    } else {
        showMessage(kErrorTitle, error);
    }
}

void Form2::Command8_Click() {
    if (m_record.map.isEmpty()) {
        showMessage(kErrorTitle, QStringLiteral("Сначала выполните сканирование."));
        return;
    }
    QString filter = QStringLiteral("Таблица CSV (*.csv)");
    QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Экспорт скана"), ProgramFilePath(QStringLiteral("scan.csv")),
        QStringLiteral("Таблица CSV (*.csv);;Поверхность STL (*.stl)"), &filter);
    if (path.isEmpty()) return;
    const bool stl = filter.contains(QStringLiteral("stl"));
    if (!path.endsWith(stl ? u".stl" : u".csv", Qt::CaseInsensitive) &&
        !path.endsWith(stl ? u".csv" : u".stl", Qt::CaseInsensitive))
        path += stl ? QStringLiteral(".stl") : QStringLiteral(".csv");
    double height = kDefaultStlHeightMm;
    if (path.endsWith(u".stl", Qt::CaseInsensitive)) {
        bool chosen = false;
        height = QInputDialog::getDouble(this, QStringLiteral("Экспорт STL"),
                                         QStringLiteral("Высота поверхности для уровня 255, мм:"),
                                         kDefaultStlHeightMm, 0.001, 10000, 3, &chosen);
        if (!chosen) return;
        const qint64 bytes = ScanStlFileBytes(imageExtent());
        if (bytes > kLargeExportBytes &&
            QMessageBox::question(this, QStringLiteral("Экспорт STL"),
                                  LargeExportNote(path, bytes) + QStringLiteral(" Записать?")) !=
                QMessageBox::Yes)
            return;
    }
    const QString error =
        ExportScan(m_record, GridCount(Text3->text()).value_or(0),
                   GridCount(Text4->text()).value_or(0), imageExtent(), height, path);
    if (error.isEmpty()) {
        showMessage(kScanExportedTitle, QStringLiteral("Скан сохранён: %1").arg(path));
    } else {
        showMessage(kErrorTitle, error);
    }
}
