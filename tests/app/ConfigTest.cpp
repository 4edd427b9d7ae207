#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <csignal>

#include "app/Config.h"
#include "tests/app/ConfigTestSupport.h"

TEST(ReadSetting, GivesTheDefaultForAMissingFileSectionKeyOrEmptyValue) {
    ScopedConfig config;
    EXPECT_EQ(ReadSetting("Port", "com1"), "com1");  // no file
    config.write("[Other]\nPort=com5\n");
    EXPECT_EQ(ReadSetting("Port", "com1"), "com1");  // no section CNC
    config.write("[CNC]\nImage=x.bmp\nEtching_width=\n");
    EXPECT_EQ(ReadSetting("Port", "com1"), "com1");           // no key
    EXPECT_EQ(ReadSetting("Etching_width", "200"), "200");    // empty value
    EXPECT_EQ(ReadSetting("image", "default.bmp"), "x.bmp");  // any case
}

TEST(ReadSetting, PortWrittenInLowerCaseIsReadUnderPort) {
    ScopedConfig config;
    ASSERT_TRUE(WriteSetting("port", "com3"));
    EXPECT_EQ(ReadSetting("Port", "com1"), "com3");
    ASSERT_TRUE(WriteSetting("PORT", "/dev/ttyUSB0"));
    EXPECT_EQ(ReadSetting("Port", "com1"), "/dev/ttyUSB0");
    EXPECT_EQ(config.bytes(), "[CNC]\nport=/dev/ttyUSB0\n");  // still one key
}

TEST(ReadSetting, CutsLongValuesTo254Characters) {
    ScopedConfig config;
    const QString ascii = QString(300, u'a');
    ASSERT_TRUE(WriteSetting("Image", ascii));
    EXPECT_EQ(ReadSetting("Image", {}), ascii.left(254));

    const QString cyrillic =
        QString(253, u'ж') + QStringLiteral("яю");  // 255 characters, 510 bytes of UTF-8
    ASSERT_TRUE(WriteSetting("Image", cyrillic));
    EXPECT_EQ(ReadSetting("Image", {}), cyrillic.left(254));

    // A character beyond the 16-bit range is never split in two.
    const QString clef = QString(253, u'a') + QString::fromUcs4(U"\U0001D11E\U0001D11E");
    ASSERT_TRUE(WriteSetting("Image", clef));
    EXPECT_EQ(ReadSetting("Image", {}), QString(253, u'a') + QString::fromUcs4(U"\U0001D11E"));

    ASSERT_TRUE(WriteSetting("Image", QString(254, u'b')));
    EXPECT_EQ(ReadSetting("Image", {}), QString(254, u'b'));
}

TEST(WriteSetting, KeepsValuesExactlyAsTyped) {
    ScopedConfig config;
    for (const char16_t* value : {u"0,01", u"0.01", u"-0.005", u" 200 ", u"1e-3", u"abc",
                                  u"/home/пользователь/узор.bmp", u"C:\\картинки\\гепард.jpg"}) {
        SCOPED_TRACE(QString::fromUtf16(value).toStdString());
        ASSERT_TRUE(WriteSetting("SM_Y_ratio", QString::fromUtf16(value)));
        EXPECT_EQ(ReadSetting("SM_Y_ratio", "0.005"), QString::fromUtf16(value));
    }
    EXPECT_TRUE(config.bytes().contains("SM_Y_ratio=C:\\\xD0\xBA"));  // UTF-8 on disk
}

TEST(WriteSetting, PreservesOtherSectionsKeysCommentsAndTheirOrder) {
    ScopedConfig config;
    config.write(
        "; cnc settings\r\n[Other]\r\nWidth=1\r\n\r\n[CNC]\r\nSM_X_ratio=-0,005\r\n"
        "; the port\r\nPort=com1\r\nImage=a.bmp\r\n\r\n[Last]\r\nk=v\r\n");
    ASSERT_TRUE(WriteSetting("port", "com4"));
    ASSERT_TRUE(WriteSetting("cncrez_width", "150"));
    EXPECT_EQ(
        config.bytes(),
        "; cnc settings\r\n[Other]\r\nWidth=1\r\n\r\n[CNC]\r\nSM_X_ratio=-0,005\r\n"
        "; the port\r\nPort=com4\r\nImage=a.bmp\r\ncncrez_width=150\r\n\r\n[Last]\r\nk=v\r\n");
}

TEST(WriteSetting, RefusesAValueThatWouldAddLinesToTheFile) {
    ScopedConfig config;
    config.write("[CNC]\nPort=com1\n");
    EXPECT_FALSE(WriteSetting("Port", "com2\nSM_X_ratio=1"));
    EXPECT_EQ(config.bytes(), "[CNC]\nPort=com1\n");
}

// A write that cannot take place leaves whatever was there and the program running.
TEST(WriteSetting, FailsQuietlyWhereTheFileCannotBeWritten) {
    QTemporaryDir dir;
    QFile blocker(dir.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    setConfigPath(dir.filePath("file/cnc.ini"));  // its directory is a file
    EXPECT_FALSE(WriteSetting("Port", "com2"));
    EXPECT_EQ(ReadSetting("Port", "com1"), "com1");

    setConfigPath(dir.filePath("missing/cnc.ini"));  // its directory does not exist
    EXPECT_FALSE(WriteSetting("Port", "com2"));
    EXPECT_FALSE(QDir(dir.filePath("missing")).exists());

    ASSERT_TRUE(QDir(dir.path()).mkdir("cnc.ini"));  // the path is a directory
    setConfigPath(dir.filePath("cnc.ini"));
    EXPECT_FALSE(WriteSetting("Port", "com2"));
    EXPECT_EQ(ReadSetting("Port", "com1"), "com1");
    EXPECT_TRUE(QDir(dir.filePath("cnc.ini")).exists());
    setConfigPath({});
}

namespace {

// Runs WriteSetting in a child process whose files may grow to `fileSizeLimit` bytes at most,
// like a disk that is full. With `crash` the child is killed by the oversized write, in the
// middle of saving; otherwise the write fails and the child reports WriteSetting's result.
int writeInLimitedChild(rlim_t fileSizeLimit, bool crash) {
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, crash ? SIG_DFL : SIG_IGN);
        const rlimit limit{fileSizeLimit, fileSizeLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
        const bool written = WriteSetting("Image", QString(500, u'x'));
        _exit(written ? 0 : 3);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

const QByteArray kOldFile = "[CNC]\nPort=com2\nImage=old.bmp\n";

}  // namespace

TEST(WriteSetting, FullDiskLeavesTheOldFileWholeAndNoTemporaryFile) {
    ScopedConfig config;
    config.write(kOldFile);
    const int status = writeInLimitedChild(64, false);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);  // WriteSetting returned false, the child went on
    EXPECT_EQ(config.bytes(), kOldFile);
    EXPECT_EQ(QDir(config.dir()).entryList(QDir::Files), QStringList{"cnc.ini"});
}

TEST(WriteSetting, CrashBeforeTheRenameLeavesTheOldFileWhole) {
    ScopedConfig config;
    config.write(kOldFile);
    const int status = writeInLimitedChild(64, true);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
    EXPECT_EQ(config.bytes(), kOldFile);
    EXPECT_EQ(ReadSetting("Image", {}), "old.bmp");
    // The next start writes as usual, whatever the crash left beside the file.
    ASSERT_TRUE(WriteSetting("Image", "new.bmp"));
    EXPECT_EQ(ReadSetting("Image", {}), "new.bmp");
    EXPECT_EQ(ReadSetting("Port", {}), "com2");
}

struct DecimalCase {
    const char16_t* text;
    std::optional<double> value;
};

class ParseDecimalTest : public testing::TestWithParam<DecimalCase> {};

TEST_P(ParseDecimalTest, ReadsEitherSeparatorAndRefusesNonNumbers) {
    const DecimalCase& c = GetParam();
    const std::optional<double> value = ParseDecimal(QString::fromUtf16(c.text));
    ASSERT_EQ(value.has_value(), c.value.has_value());
    if (c.value) {
        EXPECT_DOUBLE_EQ(*value, *c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    StepRatios, ParseDecimalTest,
    testing::Values(DecimalCase{u"0.005", 0.005}, DecimalCase{u"-0.005", -0.005},
                    DecimalCase{u"0,01", 0.01}, DecimalCase{u"0.01", 0.01},
                    DecimalCase{u"-0,005", -0.005}, DecimalCase{u"1e-3", 0.001},
                    DecimalCase{u"", std::nullopt}, DecimalCase{u"-", std::nullopt},
                    DecimalCase{u"0.005abc", std::nullopt}, DecimalCase{u"1,2,3", std::nullopt},
                    DecimalCase{u"1.2,3", std::nullopt}));
