#pragma once

#include <QByteArray>
#include <QList>
#include <array>
#include <optional>

// How a controller reads move lines from its serial line: a line ends at ";", line ends and
// blanks between lines (someone typing at a terminal) are no part of it, and more than 64
// characters without ";" are noise, taken as one bad line.
class MoveLineReader {
public:
    struct Line {
        QByteArray text;  // without its ";"
        bool ended;       // false for noise cut off at the length limit
    };
    // Every line completed by `bytes`, in order.
    QList<Line> take(const QByteArray& bytes);

private:
    QByteArray m_partial;
};

// The three steps of a line's text "dx,dy,dz" (no ";"), or none unless it is three signed
// 32-bit whole numbers in plain decimal.
std::optional<std::array<qint32, 3>> ParseMoveLine(const QByteArray& text);
