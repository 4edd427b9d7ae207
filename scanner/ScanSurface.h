#pragma once

#include <QString>
#include <functional>
#include <random>

#include "link/job/JobHost.h"
#include "link/protocol/MoveProtocol.h"
#include "scanner/HeightMap.h"
#include "scanner/ScanPicture.h"

// The scanner window's fields that a scan reads when it starts, as their texts.
struct ScanFieldTexts {
    QString meshWidth;   // Text3, grid points along X
    QString meshHeight;  // Text4, grid points along Y
    QString areaWidth;   // Text8, mm
    QString areaHeight;  // Text9, mm
};

// What a scan leaves behind. `map` is the window's HeightMap: rescaled to 0..255 after a
// complete live scan, the random samples as taken after a dry run; `samples` keeps the values as
// the probe gave them. Both are 0 where no sample was taken.
struct ScanRecord {
    HeightMap map;
    HeightMap samples;
    double pitchXmm = 0;  // distance between neighbouring columns as the machine moves, mm
    double pitchYmm = 0;  // between neighbouring rows
    bool live = false;    // the last sample came from the probe
    qint64 taken = 0;     // samples taken by the last scan
    // The surface's height at each point in millimetres, in the map's order: from GRBL's contact
    // report (the depth below the probe's start, negated) where the port gives one, otherwise
    // the sample times the probe's scale ("мм на единицу отсчёта щупа"). Empty before a scan.
    std::vector<double> heightsMm;
    // Samples of the last scan that measured the surface: taken live from a controller (not a
    // dry run's, nor a G-code file's stand-in answer).
    qint64 measured = 0;
};

// The grid counts of a scan, or why they are refused: the counts must be whole numbers of at
// least 2 (and at least 3 along Y), an even count along X ("Размер сетки по X должен быть
// кратным 4", checked first) and an odd one along Y ("Размер сетки по Y должен быть нечетным"),
// at most kLargestScan points in all. `title` is the message box's title.
struct ScanGridCheck {
    int meshWidth = 0;
    int meshHeight = 0;
    MessageTitle title = kErrorTitle;
    QString refusal;  // empty when the grid can be scanned
};
inline constexpr qint64 kLargestScan = 1000000;
ScanGridCheck CheckScanGrid(const QString& meshWidth, const QString& meshHeight);

// Rescales live samples to 0..255: (v − lo) × 255 / (hi − lo) rounded halves to even, lo and hi
// the smallest and largest sample; all equal samples become 0.
void RescaleHeightMap(HeightMap& map);

// "Сканировать" (ScanSurface): probes the grid point by point through the window's
// MoveProtocol, live when the host's output box is ticked (read at every step), otherwise a
// dry run of random samples 0..255 at 10 ms a point. Each sample is stored in the record and
// drawn as a cross; progress reports points done of the total. Ends with "Сканирвание
// завершено" (followed by a warning when every sample of a live scan was the same, and by
// dryRunNote() when no line was sent), or by throwing JobEnded: Refused before anything moves (bad
// counts, a picture too small for its grid, area sizes or step ratios; the record is kept), Stopped
// after the current reply when the user asks (the record keeps the samples taken, not rescaled, and
// the message says how many), or as the protocol's waits end.
class ScanJob {
public:
    ScanJob(JobHost& host, MoveProtocol& protocol, ScanPicture& picture, ScanRecord& record);

    // Called with every sample as it is taken (the window's "Данные:" label).
    void setSampleShown(std::function<void(qint32)> shown) { m_sampleShown = std::move(shown); }
    // "Вернуть щуп в начало": after a complete live scan the probe is moved back to where the
    // scan began, so that the next scan probes the same patch (not after a stop).
    void setReturnToStart(bool returnToStart) { m_returnToStart = returnToStart; }
    // A scan started from its point `count` + 1 in the order the points are probed ("Начать
    // с…"): the first `count` points are not probed again (the move protocol answers them with
    // the earlier samples) and keep the heights that `earlier`, the window's last scan of the
    // same grid, took there.
    void keepEarlierPoints(const ScanRecord& earlier, qint64 count);

    void ScanSurface(const ScanFieldTexts& fields);

    // The scanner's relative move in motor steps, sent as −x,y,−z; only when the output box is
    // ticked; waits for "OK" when `wait`.
    void StepMove(qint32 x, qint32 y, qint32 z, bool wait);
    // The scanner's wait for "OK" (its reply text emptied first); nothing with the box clear.
    void WaitForOk();
    // The sample at the point where the probe stands: the probe's reply when live, a random grey
    // level in a dry run.
    qint32 ReadProbe();

private:
    void sample(int i, int j, int meshWidth, int meshHeight);
    void stopIfAsked(int i, int j, qint64 total);
    // The move back by every step sent since the scan began, in lines that fit the move line.
    void returnToStart();
    // Every sample of a live scan gave the same value: a probe not connected, or not touching.
    bool probeLooksSilent() const;
    // What the closing message says after "Сканирвание завершено".
    QString endingNotes(bool silent, bool returned) const;

    JobHost& m_host;
    MoveProtocol& m_protocol;
    ScanPicture& m_picture;
    ScanRecord& m_record;
    std::function<void(qint32)> m_sampleShown;
    std::mt19937 m_random;
    bool m_returnToStart = false;
    qint64 m_movedX = 0;  // motor steps sent since the scan began, as StepMove was given them
    qint64 m_movedY = 0;
    int m_linesAtStart = 0;
    qint64 m_keptCount = 0;  // points taken over from an earlier scan
    std::vector<double> m_keptHeights;
    bool m_keptMeasured = false;  // the earlier scan measured them
};
