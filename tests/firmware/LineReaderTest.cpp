#include <gtest/gtest.h>

#include <random>

#include "firmware/LineReader.h"
#include "link/protocol/MoveLineReader.h"

// The firmware's line reader, built for the host: it reads numbers exactly as the program's own
// reader does, and keeps reading after junk.

namespace {

std::optional<std::array<qint32, 3>> firmwareParse(const QByteArray& text) {
    MoveLine line{};
    if (!ParseMoveLine(text.constData(), line)) return std::nullopt;
    return std::array<qint32, 3>{line.steps[0], line.steps[1], line.steps[2]};
}

TEST(FirmwareLineReader, ReadsNumbersAsTheProgramsReaderDoes) {
    const QList<QByteArray> edges = {"2147483647,-2147483648,0",
                                     "2147483648,0,0",
                                     "-2147483649,0,0",
                                     "0000000001,0,0",
                                     "00000000001,0,0",
                                     "-0,0,0",
                                     "-,0,0",
                                     "1,2",
                                     "1,2,3,4",
                                     ",1,2",
                                     "1,,2",
                                     "12,0,-3",
                                     "+1,0,0",
                                     "1,2,3,",
                                     "9999999999,0,0"};
    for (const QByteArray& text : edges) {
        SCOPED_TRACE(text.constData());
        EXPECT_EQ(firmwareParse(text), ParseMoveLine(text));
    }
    // Random texts over the characters that matter, with numbers near the 32-bit limits.
    std::mt19937 random(26);
    const QByteArray alphabet = "0123456789-,,,x";
    const QList<QByteArray> numbers = {"2147483647",  "2147483648", "-2147483648",
                                       "-2147483649", "4294967296", "1000000000"};
    for (int i = 0; i < 20000; ++i) {
        QByteArray text;
        const int length = int(random() % 24);
        for (int c = 0; c < length; ++c) {
            if (random() % 8 == 0) {
                text += numbers[random() % numbers.size()];
            } else {
                text += alphabet[random() % alphabet.size()];
            }
        }
        SCOPED_TRACE(text.constData());
        ASSERT_EQ(firmwareParse(text), ParseMoveLine(text));
    }
}

// Feeds `bytes` to a fresh reader; each completed line as its numbers or "bad".
QList<QByteArray> readAll(const QByteArray& bytes) {
    LineReader reader;
    QList<QByteArray> lines;
    for (const char byte : bytes) {
        MoveLine line{};
        switch (reader.take(std::uint8_t(byte), line)) {
            case LineStatus::Pending:
                break;
            case LineStatus::Bad:
                lines << "bad";
                break;
            case LineStatus::Move:
                lines << QByteArray::number(line.steps[0]) + ' ' +
                             QByteArray::number(line.steps[1]) + ' ' +
                             QByteArray::number(line.steps[2]);
                break;
        }
    }
    return lines;
}

TEST(FirmwareLineReader, JunkMakesOneBadLineAndTheNextLineIsRead) {
    using Lines = QList<QByteArray>;
    EXPECT_EQ(readAll("1, 2 ,3;\r\n\r\n-4,5,6;"), (Lines{"1 2 3", "-4 5 6"}));
    EXPECT_EQ(readAll("hello\r\n7,8,9;"), (Lines{"bad", "7 8 9"}));
    EXPECT_EQ(readAll("junk;7,8,9;"), (Lines{"bad", "7 8 9"}));
    EXPECT_EQ(readAll(QByteArray(100, ' ') + "1,2,3;"), (Lines{"1 2 3"})) << "blanks do not count";
    EXPECT_EQ(readAll(QByteArray(200, '5') + ";7,8,9;"), (Lines{"bad", "7 8 9"}));
    EXPECT_EQ(readAll(QByteArray(200, '5') + "\n7,8,9;"), (Lines{"bad", "7 8 9"}));
}

}  // namespace
