#pragma once

#include <QByteArray>
#include <QList>
#include <optional>
#include <utility>

// A distance or position in millimetres on the three axes.
struct Millimetres {
    double x = 0;
    double y = 0;
    double z = 0;
};

// Writes relative moves (G91) as G-code lines. A move is held until the next one shows whether
// it goes on in the same direction with the same code, feed and power; such moves become one
// line. Feeds (F) and powers (S) are modal and written when they change; powers are whole
// numbers. Each line's distances are rounded to six decimals against what the lines before it
// wrote, so that the rounding never adds up over a long job.
class GcodeWriter {
public:
    // A move by `delta` with `code` ("G0", "G1"), at `feed` (mm/min, G1) and laser power `power`
    // (S), both left as they are when not given.
    void move(const char* code, const Millimetres& delta, std::optional<double> feed = std::nullopt,
              std::optional<int> power = std::nullopt);
    // A line that is no move ("M4 S1000", "M5"): it comes after the move held. `power` is the S
    // it sets, if any.
    void line(const QByteArray& text, std::optional<int> power = std::nullopt);
    // Writes the move held, if any.
    void flush();
    // Whether moves that go on the same way become one line (on unless turned off, as the
    // benchmark of the merging does).
    void setMerging(bool merging) { m_merging = merging; }
    // The lines written since the last take.
    QList<QByteArray> take() { return std::exchange(m_out, {}); }

    // The position the moves so far command (the move held included), from the opening.
    const Millimetres& position() const { return m_position; }
    // Drops the move held and anything not taken, and starts again at `position` with no feed
    // and no power known (after the controller was reset).
    void restart(const Millimetres& position);

    // A number of millimetres or a feed as G-code writes it: up to six decimals, no trailing
    // zeros, no "-0".
    static QByteArray number(double value);

private:
    struct Held {
        const char* code;
        Millimetres delta;
        std::optional<double> feed;
        std::optional<int> power;
    };
    bool continues(const Held& held, const char* code, const Millimetres& delta,
                   std::optional<double> feed, std::optional<int> power) const;

    QList<QByteArray> m_out;
    std::optional<Held> m_held;
    Millimetres m_position;  // commanded
    Millimetres m_written;   // as the written lines add up
    double m_feed = 0;       // 0: none written yet
    std::optional<int> m_power;
    bool m_merging = true;
};
