#pragma once

#include <QByteArray>
#include <optional>

#include "link/job/JobHost.h"
#include "link/protocol/JobLines.h"
#include "link/serial/LineMeaning.h"

class MachineLink;
struct ProgramSettings;

// The move protocol as each working window speaks it: the move line "dx,dy,dz;" in motor steps,
// answered by "OK". Each window holds its own MoveProtocol; the windows' copies differ only in
// the third field of MovePixels and in how WaitForOk treats what it reads.
//
// Nothing unsafe reaches the wire: a step ratio of zero, a size field that is not a number or a
// step count that does not fit a signed 32-bit integer throws JobEnded(Refused) with the message
// for the user, and nothing is sent. Lines go through the MachineLink the protocol is handed,
// which counts the machine's position from the answers; the port is the link's PortHandle and
// the step ratios are those of the program's settings, read at every call, as are the host's
// size fields.

// The third field of the scanner's sample request.
inline constexpr qint32 kProbeRequestZ = 100;

// The move line for three signed 32-bit values: plain decimal, no blanks, ";" and no line end.
QByteArray formatMoveLine(qint32 x, qint32 y, qint32 z);

class MoveProtocol {
public:
    // `host`, `link` and `settings` outlive the protocol.
    MoveProtocol(MoveRules rules, JobHost& host, MachineLink& link, const ProgramSettings& settings)
        : m_rules(rules), m_host(host), m_link(link), m_settings(settings) {}

    // The width in pixels of the picture loaded in the window (MovePixels scales by it); 0 when
    // none is loaded, and MovePixels then refuses.
    void setPictureWidth(int pixels) { m_pictureWidth = pixels; }

    // A manual move in millimetres, each axis rounded to whole steps with halves to even. Sent
    // whenever the port is open, whatever the output check box says, and then waits for its own
    // "OK". An axis whose ratio is zero is refused unless it does not move.
    void ArduinoMoveMM(double dx, double dy, double dz);

    // A move in picture pixels (dz in grey levels for milling, a raw value for engraving and
    // outlining), scaled by the factors of the finished width (and milling depth). Sends nothing
    // when the output check box is clear; waits for "OK" when `wait`. Refused when the port is
    // not open while the box is ticked. `surfaceMm`, the probed surface's change over the move
    // (mm, up positive), is added to the line: in Z steps on our own controller (milling only;
    // the fractions carried to the next line, so the sum stays within half a step of the
    // surface's), in millimetres on the G-code ports (every job's lines).
    void MovePixels(int dx, int dy, int dz, bool wait, double surfaceMm = 0);
    // A job following a surface starts: no fraction of a step is carried from before.
    void startSurfaceSteps() { m_surfaceRemainder = 0; }

    // StepsPerPixelX and StepsPerPixelY as MovePixels computes them from the finished width;
    // refuses (JobEnded) as MovePixels does.
    struct PixelSteps {
        qint32 x = 0;
        qint32 y = 0;
    };
    PixelSteps stepsPerPixel() const;

    // Waits for one "OK" by the window's rule; returns at once when the output box is clear.
    // Throws JobEnded as PollUntilOk does.
    void WaitForOk();
    // Waits for one "OK" by the window's rule whatever the output box says now: the answer to a
    // line that went out while the box was ticked, which must not be left for a later wait.
    void awaitReply() { takeReply(); }

    // Sends the line x,y,z; as given (the scanner's steps, or already scaled values) and waits
    // for its "OK" when `wait`; does not consult the output box. Refused when a value does not
    // fit a signed 32-bit integer or the port is not open; an abandoned job sends nothing more.
    void sendLine(qint64 x, qint64 y, qint64 z, bool wait);

    // The scanner's sample request, the line 0,0,100; (its Z as the controller sees it), sent
    // without waiting; the machine does not move by it. Refused when the port is not open.
    void sendProbeRequest();
    // Reads the probe's answer to a sample request: its own text,
    // started empty, until "OK", and returns the sample it carries (ProbeSampleOf). The window's
    // reply text is left alone. Refused when the port is not open; throws JobEnded as
    // PollUntilOk does.
    qint32 readProbeReply();
    // How far below its start the probe touched in the last readProbeReply, mm, when the port's
    // controller reports it (GRBL); nothing otherwise.
    std::optional<double> lastProbeDepthMm() const { return m_probeDepth; }

    // Whether the open port writes G-code (and so moves a laser's Z with a probed surface).
    bool portSpeaksGcode() const;

    // A job starts: its lines are counted from 0 and `watcher` (none when null) is told of each.
    // With `resume`, the job's first resume->skipLines lines are counted but not sent: their
    // waits return at once and the probe's answers come from resume->samples. Before the first
    // line after them the tool is brought safely from resume->machine to where that line
    // starts: the cutter up to the surface, a travel, down to the depth the job had there; the
    // laser's border closed for the travel and opened again; the engraving's opening line sent
    // again after the travel.
    void trackJob(LineWatcher* watcher, std::optional<ResumeStart> resume = std::nullopt);
    // The job begins its section `number` (1-based): a figure of the milling and outlining
    // jobs (its number in the figure tree), a row of the engraving. A job started from a
    // section (ResumeStart::fromSection) sends nothing before the first section of that number.
    void beginSection(std::int64_t number);
    // After the job's last line: a job started from a section it never began is refused
    // (JobEnded), naming the range of its sections; nothing was sent. Does nothing otherwise.
    void requireSectionReached() const;
    // The job's own lines sent or skipped since trackJob (joining and safe-ending lines not).
    std::int64_t jobLines() const { return m_jobLines; }
    // The job's lines counted since trackJob but not sent (a resume's, a chosen start's).
    std::int64_t skippedLines() const { return m_skippedLines; }
    // Whether the tool has been brought to the resume point (true at once without one).
    bool joined() const { return m_joined; }
    // Lines sent to bring the tool to the resume point.
    int joinLines() const { return m_joinLines; }
    // Where the lines counted since trackJob leave the tool: the job's own, and the machine's.
    const ToolState& jobTool() const { return m_jobTool; }
    const ToolState& machineTool() const { return m_machineTool; }

    // Whether the port reports where the machine really is (GRBL), so that a job that ended
    // early resumes from resumeAtReportedPoint rather than from the lines sent.
    bool reportsPosition() const { return m_keepHistory; }
    // After a job that ended early on such a port: the machine stands where the port reports
    // it; the job goes on from the start of the line it stopped in (of the border that line
    // belongs to, when milling or outlining, whose passes the port makes in one go).
    ResumeStart resumeAtReportedPoint();

    // While one lives, lines sent leave the machine safe after a stop or a refusal: they move
    // the tool but are no line of the job (a resume does not count them).
    class SafeEnding {
    public:
        explicit SafeEnding(MoveProtocol& protocol) : m_protocol(protocol) {
            ++m_protocol.m_safeEnding;
        }
        ~SafeEnding() { --m_protocol.m_safeEnding; }
        SafeEnding(const SafeEnding&) = delete;
        SafeEnding& operator=(const SafeEnding&) = delete;

    private:
        MoveProtocol& m_protocol;
    };

    // The settings whose step ratios every move reads.
    const ProgramSettings& settings() const { return m_settings; }
    // Lines written to the port since this object was made.
    int linesSent() const { return m_linesSent; }
    // What the window keeps of the controller's answers between waits.
    const QByteArray& replyBuffer() const { return m_replyBuffer; }

private:
    void send(qint64 x, qint64 y, qint64 z, bool wait, bool manual, double surfaceMm = 0);
    // Whether the job's next line is one of a resume's or a chosen start's not to be sent.
    bool skipping() const {
        return m_jobLines < m_skipLines || (m_fromSection > 0 && !m_sectionReached);
    }
    // Counts a job line of a resume that is not sent.
    void skipLine(const QByteArray& line, const MachinePosition& move, qint64 z, bool wait);
    // Notes a line that went out: the job's (unless joining or ending safely) and the machine's.
    void noteSent(const QByteArray& line, const MachinePosition& move, qint64 z);
    void advance(ToolState& tool, const MachinePosition& move, qint64 z) const;
    // The job's tool before its line `line` (1-based) and after it.
    ToolState toolBefore(std::int64_t line) const;
    // Whether line `line` belongs to a border: the cutter below the surface or the laser on
    // at its start or end.
    bool inBorder(std::int64_t line) const;
    // Brings the tool from where the machine stands to where the job's next line starts.
    void joinResumePoint();
    // Reads and drops what the port holds from before the resume.
    void dropStaleAnswers();
    // `plainMove`: the port is told it is no line of the job's kind (a manual move).
    void joinLine(qint64 x, qint64 y, qint64 z, bool plainMove = false);
    // The answer to a line that waits: one owed by a skipped line, or the controller's.
    void takeReply();
    void waitForReply();
    // Reads up to the answer by the window's rule.
    void readReply(int handle);

    MoveRules m_rules;
    JobHost& m_host;
    MachineLink& m_link;
    const ProgramSettings& m_settings;
    int m_pictureWidth = 0;
    int m_linesSent = 0;
    QByteArray m_replyBuffer;
    double m_surfaceRemainder = 0;  // surface steps not sent yet, as a fraction of a step
    std::optional<double> m_probeDepth;

    LineWatcher* m_watcher = nullptr;
    std::int64_t m_jobLines = 0;
    std::int64_t m_skipLines = 0;
    std::int64_t m_skippedLines = 0;
    std::int64_t m_fromSection = 0;
    bool m_sectionReached = false;
    std::int64_t m_lowestSection = 0;  // the section numbers begun so far; 0: none
    std::int64_t m_highestSection = 0;
    std::vector<qint32> m_skippedSamples;
    std::size_t m_nextSample = 0;
    int m_owedReplies = 0;  // answers of skipped lines sent without waiting, still to be taken
    int m_owedSamples = 0;  // skipped sample requests whose answers are still to be read
    bool m_joined = true;
    bool m_joining = false;
    bool m_plainJoin = false;  // the next line sent is a joining line to go as a plain move
    int m_joinLines = 0;
    int m_safeEnding = 0;
    ToolState m_jobTool;
    ToolState m_machineTool;
    bool m_keepHistory = false;
    std::vector<ToolState> m_history;  // the job's tool after each of its lines
    MachinePosition m_linkAtStart;     // the link's position when the job started
    QByteArray m_openingLine;          // the engraving's first line
};
