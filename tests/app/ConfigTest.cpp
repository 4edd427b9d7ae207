#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <csignal>

#include "app/config/Config.h"
#include "tests/support/ConfigTestSupport.h"
#include "tests/support/TestProgram.h"

TEST(ReadSetting, GivesTheDefaultForAMissingFileSectionKeyOrEmptyValue) {
    ScopedConfig config;
    EXPECT_EQ(testProgram().config.ReadSetting("Port", "com1"), "com1");  // no file
    config.write("[Other]\nPort=com5\n");
    EXPECT_EQ(testProgram().config.ReadSetting("Port", "com1"), "com1");  // no section CNC
    config.write("[CNC]\nImage=x.bmp\nEtching_width=\n");
    EXPECT_EQ(testProgram().config.ReadSetting("Port", "com1"), "com1");           // no key
    EXPECT_EQ(testProgram().config.ReadSetting("Etching_width", "200"), "200");    // empty value
    EXPECT_EQ(testProgram().config.ReadSetting("image", "default.bmp"), "x.bmp");  // any case
}

TEST(ReadSetting, PortWrittenInLowerCaseIsReadUnderPort) {
    ScopedConfig config;
    ASSERT_TRUE(testProgram().config.WriteSetting("port", "com3"));
    EXPECT_EQ(testProgram().config.ReadSetting("Port", "com1"), "com3");
    ASSERT_TRUE(testProgram().config.WriteSetting("PORT", "/dev/ttyUSB0"));
    EXPECT_EQ(testProgram().config.ReadSetting("Port", "com1"), "/dev/ttyUSB0");
    EXPECT_EQ(config.bytes(), "[CNC]\nport=/dev/ttyUSB0\n");  // still one key
}

TEST(ReadSetting, CutsLongValuesTo254Characters) {
    ScopedConfig config;
    const QString ascii = QString(300, u'a');
    const QString cyrillic = QString(253, u'ж') + QStringLiteral("яю");  // 510 bytes of UTF-8
    for (const QString& value : {ascii, cyrillic, QString(254, u'b')}) {
        SCOPED_TRACE(value.size());
        ASSERT_TRUE(testProgram().config.WriteSetting("Image", value));
        EXPECT_EQ(testProgram().config.ReadSetting("Image", {}), value.left(254));
        EXPECT_EQ(testProgram().config.ReadSettingText("Image", {}).cut, value.size() > 254);
    }
    // A character beyond the 16-bit range is never split in two.
    const QString clef = QString::fromUcs4(U"\U0001D11E");
    ASSERT_TRUE(testProgram().config.WriteSetting("Image", QString(253, u'a') + clef + clef));
    EXPECT_EQ(testProgram().config.ReadSetting("Image", {}), QString(253, u'a') + clef);
}

TEST(WriteSetting, KeepsValuesExactlyAsTyped) {
    ScopedConfig config;
    for (const char16_t* value :
         {u"0,01", u"0.01", u" 200 ", u"abc", u"/home/пользователь/узор.bmp"}) {
        SCOPED_TRACE(QString::fromUtf16(value).toStdString());
        ASSERT_TRUE(testProgram().config.WriteSetting("SM_Y_ratio", QString::fromUtf16(value)));
        EXPECT_EQ(testProgram().config.ReadSetting("SM_Y_ratio", "0.005"),
                  QString::fromUtf16(value));
    }
    EXPECT_TRUE(config.bytes().contains("SM_Y_ratio=/home/\xD0\xBF"));  // UTF-8 on disk
}

TEST(WriteSetting, PreservesOtherSectionsKeysCommentsAndTheirOrder) {
    ScopedConfig config;
    config.write(
        "; cnc settings\r\n[Other]\r\nWidth=1\r\n\r\n[CNC]\r\nSM_X_ratio=-0,005\r\n"
        "; the port\r\nPort=com1\r\nImage=a.bmp\r\n\r\n[Last]\r\nk=v\r\n");
    ASSERT_TRUE(testProgram().config.WriteSetting("port", "com4"));
    ASSERT_TRUE(testProgram().config.WriteSetting("cncrez_width", "150"));
    EXPECT_EQ(
        config.bytes(),
        "; cnc settings\r\n[Other]\r\nWidth=1\r\n\r\n[CNC]\r\nSM_X_ratio=-0,005\r\n"
        "; the port\r\nPort=com4\r\nImage=a.bmp\r\ncncrez_width=150\r\n\r\n[Last]\r\nk=v\r\n");
}

// A write that cannot take place leaves whatever was there and the program running.
TEST(WriteSetting, FailsQuietlyWhereTheFileCannotBeWritten) {
    QTemporaryDir dir;
    const ConfigFile missing(dir.filePath("missing/cnc.ini"));  // its directory does not exist
    EXPECT_FALSE(missing.WriteSetting("Port", "com2"));
    EXPECT_FALSE(QDir(dir.filePath("missing")).exists());

    ASSERT_TRUE(QDir(dir.path()).mkdir("cnc.ini"));  // the path is a directory
    const ConfigFile directory(dir.filePath("cnc.ini"));
    EXPECT_FALSE(directory.WriteSetting("Port", "com2"));
    EXPECT_EQ(directory.ReadSetting("Port", "com1"), "com1");
    EXPECT_TRUE(QDir(dir.filePath("cnc.ini")).exists());
}

// WriteSetting in a child process whose files may grow to 64 bytes at most, like a full disk:
// with `crash` the oversized write kills the child in the middle of saving; otherwise the write
// fails and the child reports WriteSetting's result (exit status 3 for false). Either way the
// old file stays whole, and the next write works as usual.
TEST(WriteSetting, FullDiskOrCrashBeforeTheRenameLeavesTheOldFileWhole) {
    const QByteArray oldFile = "[CNC]\nPort=com2\nImage=old.bmp\n";
    for (const bool crash : {false, true}) {
        SCOPED_TRACE(crash ? "crash" : "full disk");
        ScopedConfig config;
        config.write(oldFile);
        const pid_t child = fork();
        if (child == 0) {
            std::signal(SIGXFSZ, crash ? SIG_DFL : SIG_IGN);
            const rlimit limit{64, 64};
            setrlimit(RLIMIT_FSIZE, &limit);
            _exit(testProgram().config.WriteSetting("Image", QString(500, u'x')) ? 0 : 3);
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (crash) {
            ASSERT_TRUE(WIFSIGNALED(status));
            EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
        } else {
            ASSERT_TRUE(WIFEXITED(status));
            EXPECT_EQ(WEXITSTATUS(status), 3);
            EXPECT_EQ(QDir(config.dir()).entryList(QDir::Files), QStringList{"cnc.ini"});
        }
        EXPECT_EQ(config.bytes(), oldFile);
        ASSERT_TRUE(testProgram().config.WriteSetting("Image", "new.bmp"));
        EXPECT_EQ(testProgram().config.ReadSetting("Image", {}), "new.bmp");
        EXPECT_EQ(testProgram().config.ReadSetting("Port", {}), "com2");
    }
}

TEST(ParseDecimal, ReadsEitherSeparatorAndRefusesNonNumbers) {
    const std::pair<const char16_t*, double> numbers[] = {
        {u"0.005", 0.005}, {u"-0.005", -0.005}, {u"0,01", 0.01}, {u"1e-3", 0.001}};
    for (const auto& [text, value] : numbers) {
        SCOPED_TRACE(QString::fromUtf16(text).toStdString());
        ASSERT_TRUE(ParseDecimal(QString::fromUtf16(text)).has_value());
        EXPECT_DOUBLE_EQ(*ParseDecimal(QString::fromUtf16(text)), value);
    }
    for (const char16_t* text : {u"", u"-", u"0.005abc", u"1,2,3", u"1.2,3"}) {
        SCOPED_TRACE(QString::fromUtf16(text).toStdString());
        EXPECT_FALSE(ParseDecimal(QString::fromUtf16(text)).has_value());
    }
}
