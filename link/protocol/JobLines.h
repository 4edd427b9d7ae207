#pragma once

#include <QtGlobal>
#include <cstdint>
#include <vector>

#include "link/protocol/MachinePosition.h"

// What the move protocol counts of a job's lines, so that a job that ended early can be
// recomputed and resumed where the machine stands.

// The tool as the lines carried out have left it: its position in motor steps from where the
// job started (Z only where the third field moves the tool: milling, scanning), and whether the
// outlining laser's border is open (the line 0,0,1 went out and 0,0,-1 did not since).
struct ToolState {
    MachinePosition at;
    bool laserOn = false;
    friend bool operator==(const ToolState&, const ToolState&) = default;
};

// Told of every line a job sends, as it goes out; the job journal is one.
class LineWatcher {
public:
    virtual ~LineWatcher() = default;
    // The machine has the line: `jobLines` of the job's own lines have now gone to it (lines
    // skipped on a resume counted), and `machine` is where the tool stands after everything
    // sent, the joining and safe-ending lines included.
    virtual void lineCarried(std::int64_t jobLines, const ToolState& machine) = 0;
    // The probe's answer to the sample request that was job line `jobLines`.
    virtual void sampleRead(std::int64_t jobLines, qint32 sample) = 0;
};

// Where a resumed job takes up its work: its first `skipLines` lines are recomputed without
// being sent, the probe's answers to the skipped sample requests are `samples` in order, and
// the machine stands at `machine`. With `fromSection` (a job started from a chosen figure or
// row), the lines before the first section of that number begins (MoveProtocol::beginSection)
// are not sent either; the machine then normally stands at the job's start.
struct ResumeStart {
    std::int64_t skipLines = 0;
    ToolState machine;
    std::vector<qint32> samples;
    std::int64_t fromSection = 0;  // 0: none
};

// A job started from its section `number`, the machine standing at the job's start.
inline ResumeStart startFromSection(std::int64_t number) {
    ResumeStart start;
    start.fromSection = number;
    return start;
}
