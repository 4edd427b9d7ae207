#include "LineReader.h"

namespace {

// One field from `text` up to the next "," or the end; advances `text` past it.
bool parseField(const char*& text, int32_t& value) {
    const bool negative = *text == '-';
    if (negative) ++text;
    uint32_t magnitude = 0;
    uint8_t digits = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (++digits > 10) return false;
        const uint32_t digit = uint32_t(*text - '0');
        // 2147483648 is the largest magnitude: only with a "-".
        const uint32_t limit = negative ? 2147483648UL : 2147483647UL;
        if (magnitude > (limit - digit) / 10) return false;
        magnitude = magnitude * 10 + digit;
    }
    if (digits == 0) return false;
    value = negative ? int32_t(0 - magnitude) : int32_t(magnitude);
    return true;
}

}  // namespace

bool ParseMoveLine(const char* text, MoveLine& line) {
    for (uint8_t i = 0; i < 3; ++i) {
        if (!parseField(text, line.steps[i])) return false;
        if (i < 2 && *text++ != ',') return false;
    }
    return *text == '\0';
}

LineStatus LineReader::finish(MoveLine& line) {
    m_text[m_length] = '\0';
    const bool good = !m_tooLong && ParseMoveLine(m_text, line);
    m_length = 0;
    m_tooLong = false;
    return good ? LineStatus::Move : LineStatus::Bad;
}

LineStatus LineReader::take(uint8_t byte, MoveLine& line) {
    switch (byte) {
        case ' ':
            return LineStatus::Pending;
        case '\r':
        case '\n':
            if (m_length == 0 && !m_tooLong) return LineStatus::Pending;
            finish(line);
            return LineStatus::Bad;
        case ';':
            return finish(line);
        default:
            if (m_tooLong) return LineStatus::Pending;
            if (m_length == kLongest) {
                m_tooLong = true;
                return LineStatus::Pending;
            }
            m_text[m_length++] = char(byte);
            return LineStatus::Pending;
    }
}
