#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "app/IniFile.h"

namespace {

std::optional<QString> valueIn(const QByteArray& file, const char16_t* section,
                               const char16_t* key) {
    return IniFile::fromBytes(file).value(section, key);
}

// The length of the longest common subsequence of two lists of lines.
qsizetype commonLineCount(const QList<QByteArray>& a, const QList<QByteArray>& b) {
    QList<QList<qsizetype>> table(a.size() + 1, QList<qsizetype>(b.size() + 1, 0));
    for (qsizetype i = 1; i <= a.size(); ++i) {
        for (qsizetype j = 1; j <= b.size(); ++j) {
            table[i][j] = a[i - 1] == b[j - 1] ? table[i - 1][j - 1] + 1
                                               : std::max(table[i - 1][j], table[i][j - 1]);
        }
    }
    return table[a.size()][b.size()];
}

}  // namespace

TEST(IniFileRead, MatchesSectionAndKeyNamesWithoutRegardToCase) {
    const QByteArray file = "[cnc]\nport=com3\nSM_X_Ratio=-0,005\n[Кириллица]\nКлюч=значение\n";
    EXPECT_EQ(valueIn(file, u"CNC", u"Port"), u"com3");
    EXPECT_EQ(valueIn(file, u"Cnc", u"PORT"), u"com3");
    EXPECT_EQ(valueIn(file, u"CNC", u"sm_x_ratio"), u"-0,005");
    EXPECT_EQ(valueIn(file, u"кириллица", u"КЛЮЧ"), u"значение");
}

TEST(IniFileRead, ReturnsValuesExactlyAsStored) {
    const QByteArray file =
        "[CNC]\r\nA= 200 \r\nB=a=b;c\r\nC=\r\nImage=D:\\картинки\\узор.bmp\r\n  D  =x\n";
    EXPECT_EQ(valueIn(file, u"CNC", u"A"), u" 200 ");
    EXPECT_EQ(valueIn(file, u"CNC", u"B"), u"a=b;c");
    EXPECT_EQ(valueIn(file, u"CNC", u"C"), u"");
    EXPECT_EQ(valueIn(file, u"CNC", u"Image"), u"D:\\картинки\\узор.bmp");
    EXPECT_EQ(valueIn(file, u"CNC", u"D"), u"x");
}

TEST(IniFileRead, FindsOnlyKeysOfTheNamedSectionAndTheFirstOfDuplicates) {
    const QByteArray file =
        "Port=top\n[Other]\nPort=other\n; Port=comment\n[CNC]\n;Port=commented\nPort=first\n"
        "Port=second\n[CNC]\nPort=third\n";
    EXPECT_EQ(valueIn(file, u"CNC", u"Port"), u"first");
    EXPECT_EQ(valueIn(file, u"Other", u"Port"), u"other");
    EXPECT_FALSE(valueIn(file, u"CNC", u"Missing"));
    EXPECT_FALSE(valueIn(file, u"Missing", u"Port"));
    EXPECT_FALSE(valueIn("", u"CNC", u"Port"));
}

TEST(IniFileRead, IgnoresAByteOrderMarkBeforeTheFirstSection) {
    EXPECT_EQ(valueIn("\xEF\xBB\xBF[CNC]\nPort=com2\n", u"CNC", u"Port"), u"com2");
}

TEST(IniFileWrite, ReplacesOnlyTheValueAndKeepsEveryOtherByte) {
    const QByteArray before =
        "; settings\r\n[Other]\r\nport=keep\r\n\r\n[CNC]\r\n  Port = com1\r\nX=1\r\n\r\n[Z]\r\nq=w";
    IniFile ini = IniFile::fromBytes(before);
    ASSERT_TRUE(ini.setValue(u"cnc", u"port", QStringLiteral("com7")));
    EXPECT_EQ(ini.toBytes(),
              "; settings\r\n[Other]\r\nport=keep\r\n\r\n[CNC]\r\n  Port =com7\r\nX=1\r\n\r\n"
              "[Z]\r\nq=w\r\n");
}

TEST(IniFileWrite, AddsANewKeyAtTheEndOfItsSectionBeforeTheBlankLines) {
    IniFile ini = IniFile::fromBytes("[CNC]\nA=1\n\n[Other]\nB=2\n");
    ASSERT_TRUE(ini.setValue(u"CNC", u"cncrez_width", QStringLiteral("200")));
    ASSERT_TRUE(ini.setValue(u"CNC", u"cncrez_depth", QStringLiteral("10")));
    EXPECT_EQ(ini.toBytes(), "[CNC]\nA=1\ncncrez_width=200\ncncrez_depth=10\n\n[Other]\nB=2\n");
}

TEST(IniFileWrite, CreatesTheSectionWithTheFilesLineEnds) {
    IniFile empty;
    ASSERT_TRUE(empty.setValue(u"CNC", u"Port", QStringLiteral("com1")));
    EXPECT_EQ(empty.toBytes(), "[CNC]\nPort=com1\n");

    IniFile windows = IniFile::fromBytes("[Other]\r\nB=2");
    ASSERT_TRUE(windows.setValue(u"CNC", u"Port", QStringLiteral("com1")));
    EXPECT_EQ(windows.toBytes(), "[Other]\r\nB=2\r\n\r\n[CNC]\r\nPort=com1\r\n");
    EXPECT_EQ(IniFile::fromBytes(windows.toBytes()).value(u"CNC", u"Port"), u"com1");
    EXPECT_EQ(IniFile::fromBytes(windows.toBytes()).value(u"Other", u"B"), u"2");
}

TEST(IniFileWrite, RefusesTextThatWouldChangeOtherLines) {
    const QByteArray before = "[CNC]\nPort=com1\n";
    IniFile ini = IniFile::fromBytes(before);
    EXPECT_FALSE(ini.setValue(u"CNC", u"Port", QStringLiteral("com1\nSM_X_ratio=5")));
    EXPECT_FALSE(ini.setValue(u"CNC", u"Port", QStringLiteral("com1\r")));
    for (const char16_t* key : {u"", u"  ", u"a=b", u"[CNC]", u";x", u"#x", u"a\nb"}) {
        SCOPED_TRACE(QString::fromUtf16(key).toStdString());
        EXPECT_FALSE(ini.setValue(u"CNC", key, QStringLiteral("1")));
    }
    EXPECT_EQ(ini.toBytes(), before);
}

// Random files of sections, keys in any case, comments and blank lines: after any write, the
// written key reads back exactly, every other key keeps its value, and every other line is kept.
TEST(IniFileWrite, RandomFilesKeepEverythingButTheWrittenValue) {
    QRandomGenerator random(20240607);
    const QList<QByteArray> sections = {"CNC", "cnc", "Other", "Кнопки"};
    const QList<QByteArray> keys = {"Port", "PORT", "port", "Image", "X", "ширина"};
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        QByteArray file;
        const QByteArray end = random.bounded(2) ? "\r\n" : "\n";
        const int lineCount = random.bounded(12);
        for (int i = 0; i < lineCount; ++i) {
            switch (random.bounded(5)) {
                case 0:
                    file += '[' + sections[random.bounded(sections.size())] + ']';
                    break;
                case 1:
                    file += "; comment " + QByteArray::number(i);
                    break;
                case 2:
                    break;
                default:
                    file += keys[random.bounded(keys.size())] + '=' + QByteArray::number(i);
            }
            file += end;
        }
        const IniFile before = IniFile::fromBytes(file);
        IniFile after = before;
        const QString key = QString::fromUtf8(keys[random.bounded(keys.size())]);
        const QString value = QStringLiteral(" v,%1 ").arg(round);
        ASSERT_TRUE(after.setValue(u"CNC", key, value));

        EXPECT_EQ(after.value(u"CNC", key), value);
        for (const QByteArray& section : sections) {
            for (const QByteArray& other : keys) {
                const QString s = QString::fromUtf8(section);
                const QString k = QString::fromUtf8(other);
                if (s.compare(u"CNC", Qt::CaseInsensitive) == 0 &&
                    k.compare(key, Qt::CaseInsensitive) == 0) {
                    continue;
                }
                EXPECT_EQ(after.value(s, k), before.value(s, k));
            }
        }
        // The old lines stay in order; at most one of them changed, at most three were added.
        const QList<QByteArray> oldLines = before.toBytes().split('\n');
        const QList<QByteArray> newLines = after.toBytes().split('\n');
        ASSERT_GE(newLines.size(), oldLines.size());
        ASSERT_LE(newLines.size(), oldLines.size() + 3);
        EXPECT_GE(commonLineCount(oldLines, newLines), oldLines.size() - 1);
        // Reading the bytes again gives the same file.
        EXPECT_EQ(IniFile::fromBytes(after.toBytes()).value(u"CNC", key), value);
    }
}
