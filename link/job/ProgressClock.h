#pragma once

#include <QString>
#include <cstdint>
#include <deque>
#include <optional>

#include "link/job/JobHost.h"

// Elapsed time and time left of one job, from what the job reports. The time per unit of work
// (a line, a figure, a row: whatever the job counts in done and total) is measured over the
// recent reports, so the estimate follows a machine that speeds up or slows down; a job that
// reports no total gets no estimate.
struct ProgressTimes {
    std::int64_t elapsedMs = 0;
    std::optional<std::int64_t> leftMs;  // none until the job has measurably progressed
};

class ProgressClock {
public:
    // A job starts at `nowMs` (a monotonic clock in milliseconds).
    void start(std::int64_t nowMs);
    // Notes the report `progress` made at `nowMs` and returns the times. Reports whose done
    // goes backwards (a job that starts a new ring) start the measurement afresh.
    ProgressTimes report(const JobProgress& progress, std::int64_t nowMs);
    // The time since the job started, at `nowMs`.
    std::int64_t elapsedMs(std::int64_t nowMs) const;

private:
    struct Sample {
        std::int64_t atMs;
        std::int64_t done;
    };
    std::int64_t m_startMs = 0;
    std::deque<Sample> m_recent;
};

// "1:05" for 65 s, "1:02:03" past an hour; negative counts as 0.
QString formatDuration(std::int64_t milliseconds);

// "прошло 0:41 · осталось ≈ 2:10"; without an estimate yet, the time elapsed alone.
QString timesLine(const ProgressTimes& times);

// How a job ended, for the times line that then takes the place of the time left.
enum class JobOutcome {
    Finished,   // ran to its end
    Stopped,    // "Стоп" (or Ctrl+C) carried out, the machine left safe
    Abandoned,  // the second "Стоп": ended at once
    Refused,    // a check refused it (its message says why)
    Failed,     // no answer, a controller's error, a lost link
};

// What a job's ending is called in the times line: "работа закончена", "работа остановлена",
// "работа прервана", "работа не выполнена", "работа прервана из-за ошибки".
QString outcomeText(JobOutcome outcome);

// The job's elapsed time and how it ended: "прошло 2:10 · работа закончена".
QString endedTimesLine(std::int64_t elapsedMs, JobOutcome outcome);

// "3 из 12" of a job that knows its total, "3" of one that does not.
QString countText(const JobProgress& progress);

// One line for the user: "3 из 12 · прошло 0:41 · осталось ≈ 2:10", then the job's own text.
QString progressLine(const JobProgress& progress, const ProgressTimes& times);
