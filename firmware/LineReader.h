#pragma once

#include <stdint.h>

// Move lines as they come in on the serial line: "dx,dy,dz;" with three signed 32-bit whole
// numbers in plain decimal. Blanks are no part of a line, and line ends between lines (someone
// at a terminal) are skipped. A line end in the middle of a line, a line that does not read as
// three numbers, and more than 64 characters without ";" (taken up to the next ";" or line end)
// each make one bad line, and reading goes on with the next.

struct MoveLine {
    int32_t steps[3];
};

enum class LineStatus : uint8_t { Pending, Move, Bad };

class LineReader {
public:
    // Takes one received byte. Returns Move with `line` filled when it completed a move line,
    // Bad when it completed a bad line, Pending otherwise.
    LineStatus take(uint8_t byte, MoveLine& line);

private:
    LineStatus finish(MoveLine& line);

    static constexpr uint8_t kLongest = 64;
    char m_text[kLongest + 1];
    uint8_t m_length = 0;
    bool m_tooLong = false;
};

// The three numbers of `text` (no ";", NUL-terminated), or false unless it is exactly three
// signed 32-bit whole numbers: an optional "-" and 1 to 10 digits each, separated by ",".
bool ParseMoveLine(const char* text, MoveLine& line);
