#pragma once

#include <QPointF>
#include <QWidget>
#include <optional>

#include "figures/ui/PictureFileDialog.h"
#include "surface/SurfaceMap.h"

struct ProgramContext;
class QCheckBox;
class ElidedLabel;
class QLineEdit;
class QPushButton;
class WindowJobHost;

// The milling window's surface map, a row under its pictures: "По карте высот" (Check2) makes
// every job follow the map
// named beside it (Label10); "Карта…" (Command9) opens a scanner's CSV export; Text10 and Text11
// place the job's start on the map (mm from its first point). A finished scan's map arrives
// through the program's store and ticks the box; opening a picture or parsing leaves all of it
// alone. A map opened from a file is remembered in the configuration file by its path
// ("surface_map"), with the box ("surface_follow") and the start ("surface_x", "surface_y").
class SurfaceMapPanel : public QWidget {
    Q_OBJECT
public:
    // `program` and `host` outlive the panel.
    SurfaceMapPanel(ProgramContext& program, WindowJobHost& host, QWidget* parent);

    // What a job is to follow: the map and the start, or nothing (the box clear, or no map).
    // Refuses (JobEnded) when the start fields are not numbers.
    struct JobSurface {
        SurfaceMap map;
        QPointF startMm;
    };
    std::optional<JobSurface> forJob() const;

    // Opens the CSV file `path` as the map to follow; false, with the message shown, when it
    // cannot be read.
    bool openMapFile(const QString& path);
    // For tests: the dialog that asks for the CSV file.
    void setOpenFileFunction(OpenFileFunction open) { m_openFile = std::move(open); }

    // The pixels of a picture of `picture` size, `widthText` mm wide, that the map covers when
    // the box is ticked (as the job will place them); empty otherwise.
    QRect coveredPixels(QSize picture, const QString& widthText) const;

    QCheckBox* followBox() const { return Check2; }
    ElidedLabel* descriptionLabel() const { return Label10; }

signals:
    // The map, the box or the start changed: what coveredPixels says may have changed.
    void shownChanged();

private:
    void takeMap(SurfaceMap map, bool fromScan);
    void storedMapChanged(bool fromScan);
    void loadRemembered();
    void remember() const;
    void Command9_Click();

    ProgramContext& m_program;
    WindowJobHost& m_host;
    std::optional<SurfaceMap> m_map;  // the map shown (the store's, or this window's own)
    OpenFileFunction m_openFile;
    bool m_loading = false;
    QCheckBox* Check2;
    ElidedLabel* Label10;
    QPushButton* Command9;
    QLineEdit* Text10;
    QLineEdit* Text11;
};
