#pragma once

#include "link/ui/WorkingWindow.h"

#include "link/protocol/JobLines.h"
#include "link/ui/JobContinuation.h"
#include "scanner/ScanFields.h"
#include "scanner/ScanInterpolation.h"
#include "scanner/ScanPicture.h"
#include "scanner/ScanSurface.h"

#include <functional>
#include <optional>

class CornerHandle;
class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class ScanPictureView;

// The 3D scanner window: a surface probed over a grid of points, shown as a grey picture with a
// cross at every grid point, interpolated into a smooth height picture, saved as "image.bmp"
// and exported for CAD programs. It reads its picture size, scan area and grid fields from the
// configuration file when created and writes them back when it closes.
class Form2 : public WorkingWindow {
    Q_OBJECT
public:
    // Builds the window and runs Form_Load.
    explicit Form2(ProgramContext& program, QWidget* parent = nullptr);

    // The journal's grid, area and picture size go into the fields; "Продолжить" offers the scan.
    void offerJournal(const JobJournalRecord& journal) override;

    const ScanPicture& scanPicture() const { return m_picture; }
    const ScanRecord& scanRecord() const { return m_record; }

    // Asks where to save a file: the dialog's title, the path it opens at and its filter; returns
    // the chosen path, empty when cancelled. Tests replace the dialog.
    using SaveFileFunction = std::function<QString(QWidget* parent, const QString& title,
                                                   const QString& path, const QString& filter)>;
    void setSaveFileFunction(SaveFileFunction saveFile) { m_saveFile = std::move(saveFile); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The column of fields and buttons (Frame3, Frame4, Frame2), the scrolled picture with its
    // corner handles, and the handlers of both.
    void buildColumn();
    void buildPictureArea();
    void connectControls();
    // What Form_Load does after reading the keys: the picture takes the stored size, Text9 is
    // derived, the grid drawn for the counts and the handle put on the picture's corner.
    void applyLoadedKeys();
    // "Установить": the picture takes the typed image size plus its 22-pixel border.
    void ApplyPictureSize();
    // The corner handle's drag (DragGrip).
    void Label12_MouseDown(QPointF position);
    void Label12_MouseMove(Qt::MouseButtons buttons, QPointF position);
    void Label12_MouseUp();
    // Enter in, or leaving, a count field: the grid is redrawn for the counts.
    void applyGridCounts();
    // Text9 from the picture proportion and Text8, and the other way round.
    void DeriveAreaHeight();
    void DeriveAreaWidth();
    // "Сканировать" (with "Вернуть щуп в начало"), "Интерполировать", "Сохранить в BMP" (a save
    // dialog at "image.bmp" beside the program; the message names the file written), "Экспорт…".
    void Command6_Click();
    void Command2_Click();
    void Command1_Click();
    void Command8_Click();
    // A complete live scan's map goes to the program's store, for the milling window.
    void publishScanMap();
    // "Сохранить рельеф" (Command9) under the job buttons.
    void addSurfaceControls(QGridLayout* jobGrid);
    void Command9_Click();
    // "Продолжить" and "Начать с…" under the job buttons: the scan that ended early goes on,
    // the probe's answers before the stop kept; or a scan starts from a chosen grid point.
    void addContinueControl(QGridLayout* jobGrid);
    void runScan(const WindowJobStart& start);
    // "Начать с…" answered: the scan from its point `point` in the order the points are probed,
    // the points before it kept from the last scan of the same grid (refused without one that
    // took them).
    void StartFrom_Click(qint64 point);

    void ResetScanPicture();
    void setPictureSize(QSize pixels);
    void placeOnCorner(QWidget* handle);
    QSize pictureSize() const { return m_picture.size(); }
    ImageExtent imageExtent() const;
    void showMessage(const MessageTitle& title, const QString& text);

    // Made before the widgets that show them.
    ScanPicture m_picture;
    ScanRecord m_record;

    QLineEdit* Text6;  // picture width, pixels
    QLineEdit* Text7;  // picture height, pixels
    QLineEdit* Text3;  // grid points along X
    QLineEdit* Text4;  // grid points along Y
    QLineEdit* Text8;  // scan area along X, mm
    QLineEdit* Text9;  // scan area along Y, mm (derived from the others; not stored)
    QPushButton* Command7;
    QPushButton* Command6;
    QPushButton* Command2;
    QPushButton* Command1;
    QPushButton* Command8;
    QPushButton* Command9 = nullptr;  // "Сохранить рельеф"
    JobContinuation* m_continue = nullptr;
    // The fields of the last scan, for "Продолжить"; none in a window opened for a journal.
    struct ScanStart {
        ScanFieldTexts fields;
        QString imageWidth;  // Text6, Text7
        QString imageHeight;
        bool returnToStart = false;
    };
    std::optional<ScanStart> m_started;
    QCheckBox* Check2;  // "Вернуть щуп в начало"
    QLabel* Label9;     // the last sample
    QWidget* m_canvas;
    ScanPictureView* Pict;
    CornerHandle* Label12;
    CornerHandle* Label13;

    SaveFileFunction m_saveFile;
    GripDrag m_grip;
    bool m_dragging = false;
};
