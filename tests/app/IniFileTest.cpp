#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "app/config/IniFile.h"

namespace {

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

TEST(IniFileRead, MatchesNamesWithoutRegardToCaseAndReturnsValuesExactlyAsStored) {
    const IniFile ini = IniFile::fromBytes(
        "\xEF\xBB\xBF[cnc]\r\nport=com3\r\nA= 200 \r\nB=a=b;c\r\nC=\r\n  D  =x\n"
        "Image=D:\\картинки\\узор.bmp\n[Кириллица]\nКлюч=значение\n");
    EXPECT_EQ(ini.value(u"CNC", u"Port"), u"com3");
    EXPECT_EQ(ini.value(u"Cnc", u"PORT"), u"com3");
    EXPECT_EQ(ini.value(u"CNC", u"a"), u" 200 ");
    EXPECT_EQ(ini.value(u"CNC", u"B"), u"a=b;c");
    EXPECT_EQ(ini.value(u"CNC", u"C"), u"");
    EXPECT_EQ(ini.value(u"CNC", u"D"), u"x");
    EXPECT_EQ(ini.value(u"CNC", u"Image"), u"D:\\картинки\\узор.bmp");
    EXPECT_EQ(ini.value(u"кириллица", u"КЛЮЧ"), u"значение");
}

TEST(IniFileRead, FindsOnlyKeysOfTheNamedSectionAndTheFirstOfDuplicates) {
    const IniFile ini = IniFile::fromBytes(
        "Port=top\n[Other]\nPort=other\n; Port=comment\n[CNC]\n;Port=commented\nPort=first\n"
        "Port=second\n[CNC]\nPort=third\n");
    EXPECT_EQ(ini.value(u"CNC", u"Port"), u"first");
    EXPECT_EQ(ini.value(u"Other", u"Port"), u"other");
    EXPECT_FALSE(ini.value(u"CNC", u"Missing"));
    EXPECT_FALSE(ini.value(u"Missing", u"Port"));
    EXPECT_FALSE(IniFile::fromBytes("").value(u"CNC", u"Port"));
}

// Replacing a value in place, with other content kept, is checked through WriteSetting.
TEST(IniFileWrite, CreatesTheSectionWithTheFilesLineEnds) {
    IniFile empty;
    ASSERT_TRUE(empty.setValue(u"CNC", u"Port", QStringLiteral("com1")));
    EXPECT_EQ(empty.toBytes(), "[CNC]\nPort=com1\n");

    IniFile windows = IniFile::fromBytes("[Other]\r\nB=2");
    ASSERT_TRUE(windows.setValue(u"CNC", u"Port", QStringLiteral("com1")));
    EXPECT_EQ(windows.toBytes(), "[Other]\r\nB=2\r\n\r\n[CNC]\r\nPort=com1\r\n");
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
        for (int i = random.bounded(12); i > 0; --i) {
            const int kind = random.bounded(5);
            if (kind == 0) file += '[' + sections[random.bounded(sections.size())] + ']';
            if (kind == 1) file += "; comment " + QByteArray::number(i);
            if (kind > 2) file += keys[random.bounded(keys.size())] + '=' + QByteArray::number(i);
            file += end;
        }
        const IniFile before = IniFile::fromBytes(file);
        IniFile after = before;
        const QString key = QString::fromUtf8(keys[random.bounded(keys.size())]);
        const QString value = QStringLiteral(" v,%1 ").arg(round);
        ASSERT_TRUE(after.setValue(u"CNC", key, value));

        EXPECT_EQ(IniFile::fromBytes(after.toBytes()).value(u"CNC", key), value);
        for (const QByteArray& section : sections) {
            for (const QByteArray& other : keys) {
                const QString s = QString::fromUtf8(section);
                const QString k = QString::fromUtf8(other);
                if (s.compare(u"CNC", Qt::CaseInsensitive) != 0 ||
                    k.compare(key, Qt::CaseInsensitive) != 0) {
                    EXPECT_EQ(after.value(s, k), before.value(s, k));
                }
            }
        }
        // The old lines stay in order; at most one of them changed, at most three were added.
        const QList<QByteArray> oldLines = before.toBytes().split('\n');
        const QList<QByteArray> newLines = after.toBytes().split('\n');
        ASSERT_GE(newLines.size(), oldLines.size());
        ASSERT_LE(newLines.size(), oldLines.size() + 3);
        EXPECT_GE(commonLineCount(oldLines, newLines), oldLines.size() - 1);
    }
}
