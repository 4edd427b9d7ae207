#include <sys/mount.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>

#include "CncRun.h"
#include "app/config/Config.h"
#include "tests/support/DamagedPictures.h"

// The program's inputs and outputs end to end, through the cnc executable: damaged pictures,
// nonsense numbers, a full disk and a very large export are refused or reported, never passed
// for success.

namespace {

class CncFilesTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        writeConfig("0.005");
    }
    void writeConfig(const QByteArray& ratioX) {
        QFile file(path("cnc.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[CNC]\nSM_X_ratio=" + ratioX + "\nSM_Y_ratio=0.005\nSM_Z_ratio=0.005\n");
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    CncRun run(const QStringList& words) const {
        return runCncMeasured(QStringList{"--config", path("cnc.ini")} + words);
    }

    QTemporaryDir m_dir;
};

// Every command that reads a picture refuses each damaged one with status 1, "Ошибка открытия
// файла!", the file's name and what is wrong, on lines that end in LF alone.
TEST_F(CncFilesTest, EveryCommandRefusesADamagedPicture) {
    const QList<QStringList> commands = {{"parse"},
                                         {"mill", "all", "--dry-run"},
                                         {"outline", "all", "--dry-run"},
                                         {"engrave", "--dry-run"}};
    for (const DamagedPicture& picture : writeDamagedPictures(m_dir.path())) {
        for (const QStringList& command : commands) {
            SCOPED_TRACE((command.first() + u' ' + picture.name).toStdString());
            const CncRun result = run(command + QStringList{picture.path});
            EXPECT_EQ(result.exitCode, 1);
            EXPECT_TRUE(result.err.startsWith(QStringLiteral("Ошибка открытия файла!\n") +
                                              picture.name + QStringLiteral(": ")))
                << result.err.toStdString();
            EXPECT_TRUE(result.err.contains(picture.reason)) << result.err.toStdString();
            EXPECT_FALSE(result.err.contains(u'\r'));
        }
    }
}

// Numbers that make no sense are refused naming the field or the option, and no message shows
// "nan" or "inf".
TEST_F(CncFilesTest, NonsenseNumbersAreRefusedByName) {
    const QString picture = writeWholePicture(m_dir.path(), QStringLiteral("discs.bmp"));
    struct Case {
        QStringList words;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {{"mill", "all", "--dry-run", "--depth", "0"}, 1, "Задано: --depth 0."},
        {{"mill", "all", "--dry-run", "--depth", "-1"}, 1, "Задано: --depth -1."},
        {{"mill", "all", "--dry-run", "--diameter", "0"}, 1, "Задано: --diameter 0."},
        {{"mill", "all", "--dry-run", "--timeout", "0"}, 2, "--timeout"},
        {{"mill", "all", "--dry-run", "--timeout", "-2"}, 2, "--timeout"},
        {{"mill", "all", "--dry-run", "--width", "1e-308"}, 1, "Фреза слишком велика"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words.join(u' ').toStdString());
        const CncRun result = run(c.words + QStringList{picture});
        EXPECT_EQ(result.exitCode, c.status);
        EXPECT_TRUE(result.err.contains(QString::fromUtf8(c.says))) << result.err.toStdString();
        EXPECT_FALSE(result.err.contains(QStringLiteral("nan"), Qt::CaseInsensitive));
        EXPECT_FALSE(result.err.contains(QStringLiteral("inf"), Qt::CaseInsensitive));
    }
}

// The command line's mistakes are named in its own words, not in a window's: the wrong mode
// word with the allowed ones, the option whose value is not a number, the missing picture with
// its path, and a picture without a dark figure.
TEST_F(CncFilesTest, BatchMessagesSpeakOfTheCommandLine) {
    const QString picture = writeWholePicture(m_dir.path(), QStringLiteral("discs.bmp"));
    QImage white(40, 30, QImage::Format_RGB32);
    white.fill(Qt::white);
    ASSERT_TRUE(white.save(path("white.bmp")));
    struct Case {
        QStringList words;
        int status;
        QString says;
    };
    const Case cases[] = {
        {{"mill", "sideways", picture}, 2, "«sideways»; возможны: selected, all, 3d"},
        {{"outline", "all", "--width", "abc", picture}, 1, "--width abc: значение не число"},
        {{"mill", "all", "--diameter", "2mm", picture}, 1, "--diameter 2mm: значение не число"},
        {{"engrave", path("missing.bmp")}, 1, "Файл картинки не найден: " + path("missing.bmp")},
        {{"mill", "all", path("white.bmp")}, 1, "В картинке white.bmp нет тёмной фигуры"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words.join(u' ').toStdString());
        const CncRun result = run(QStringList{"--dry-run"} + c.words);
        EXPECT_EQ(result.exitCode, c.status);
        EXPECT_TRUE(result.err.contains(c.says)) << result.err.toStdString();
        for (const char* windowWord : {"поле", "Выберите", "Разобрать"})
            EXPECT_FALSE(result.err.contains(QString::fromUtf8(windowWord)));
    }
}

// A number longer than the reader's 254 characters would be cut to another number (here 1e253
// instead of 0.001): a step ratio cut so is refused and no move along X is made; a window's
// field cut so is refused by the field's name.
TEST_F(CncFilesTest, CutNumbersAreRefused) {
    const QByteArray cut = "1" + QByteArray(300, '0') + "e-303";
    writeConfig(cut);
    const CncRun move = run({"--port", "sim", "move", "1", "1", "1"});
    EXPECT_EQ(move.exitCode, 1);
    EXPECT_TRUE(move.err.contains(QStringLiteral("SM_X_ratio"))) << move.err.toStdString();
    EXPECT_TRUE(move.err.contains(QStringLiteral("не целиком"))) << move.err.toStdString();

    writeConfig("0.005\ncncrez_depth=" + cut);
    const QString picture = writeWholePicture(m_dir.path(), QStringLiteral("discs.bmp"));
    const CncRun mill = run({"mill", "all", "--dry-run", picture});
    EXPECT_EQ(mill.exitCode, 1);
    EXPECT_TRUE(mill.err.contains(QStringLiteral("«Глубина»"))) << mill.err.toStdString();
}

TEST_F(CncFilesTest, DirectoryGivenAsTheConfigurationIsNamedAsOne) {
    const CncRun result = runCncMeasured({"--config", m_dir.path(), "ports"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, QStringLiteral("Файл настроек %1 — это каталог\n").arg(m_dir.path()));
}

// The STL export streams its triangles: a 400 MB surface is written with a small fraction of
// that in memory. One larger than 1 GB is refused before the scan unless --force is given.
TEST_F(CncFilesTest, StlExportStreamsAndALargeOneNeedsForce) {
    const QStringList scan = {"scan", "--dry-run", "--mesh", "4,5", "--interpolate"};
    const QString big = path("big.stl");
    const CncRun refused = run(scan + QStringList{"--image", "5000,5000", "--export", big});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("big.stl займёт 2,5 ГБ")))
        << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains(QStringLiteral("--force")));
    EXPECT_FALSE(QFileInfo::exists(big));

    const QString surface = path("s.stl");
    const CncRun written = run(scan + QStringList{"--image", "2000,2000", "--export", surface});
    ASSERT_EQ(written.exitCode, 0) << written.err.toStdString();
    EXPECT_EQ(QFileInfo(surface).size(), 84 + 2LL * 2000 * 2000 * 50);
    EXPECT_LT(written.peakKb, 200 * 1024) << "peak " << written.peakKb << " KB";
    QFile::remove(surface);
}

// A small tmpfs mounted for the test (we may be root in a container that allows it), filled
// up to its last 4 KB: each file below is larger, so its writes start and then fail.
class FullDiskTest : public CncFilesTest {
protected:
    void SetUp() override {
        CncFilesTest::SetUp();
        m_full = path("full");
        ASSERT_TRUE(QDir().mkpath(m_full));
        if (::mount("tmpfs", m_full.toLocal8Bit().constData(), "tmpfs", 0, "size=1m") != 0)
            GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno)
                         << "): the full-disk test needs root and a mount namespace of its own";
        m_mounted = true;
        // Written before the disk fills: the configuration file that must stay whole.
        QFile ini(fullPath("cnc.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(kOldIni);
        ini.close();
        QFile filler(fullPath("filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size()) {
        }
        // A little room, so that the writes start and then fail part way.
        filler.resize(filler.size() - 4096);
    }
    void TearDown() override {
        if (m_mounted) ::umount2(m_full.toLocal8Bit().constData(), MNT_DETACH);
    }
    QString fullPath(const QString& name) const { return QDir(m_full).filePath(name); }
    // Nothing but what was there before the test's writes.
    void expectNothingLeft() const {
        EXPECT_EQ(QDir(m_full).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  (QStringList{"cnc.ini", "filler"}));
        QFile ini(fullPath("cnc.ini"));
        ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
        EXPECT_EQ(ini.readAll(), kOldIni);
    }

    static constexpr char kOldIni[] = "[CNC]\nImage=old.bmp\n";
    QString m_full;
    bool m_mounted = false;
};

TEST_F(FullDiskTest, EveryWrittenFileFailsWholeNamingTheFile) {
    const QString picture = writeWholePicture(m_dir.path(), QStringLiteral("discs.bmp"));
    struct Case {
        const char* file;
        QStringList words;
    };
    const QList<Case> cases = {
        {"out.gcode", {"--port", "gcode:" + fullPath("out.gcode"), "mill", "all", picture}},
        {"preview.bmp", {"engrave", "--dry-run", picture, "--preview", fullPath("preview.bmp")}},
        {"image.bmp", {"scan", "--dry-run", "--save", fullPath("image.bmp")}},
        {"scan.csv", {"scan", "--dry-run", "--mesh", "20,21", "--export", fullPath("scan.csv")}},
        {"scan.stl",
         {"scan", "--dry-run", "--mesh", "4,5", "--interpolate", "--export", fullPath("scan.stl")}},
        {"labels.txt", {"parse", picture, "--labels", fullPath("labels.txt")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const CncRun result = run(c.words);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.err.contains(QStringLiteral("Не удалось записать файл ") +
                                        fullPath(QString::fromLatin1(c.file)) +
                                        QStringLiteral(": No space left on device")))
            << result.err.toStdString();
        expectNothingLeft();
    }
}

// "cnc.ini" on the full disk: the windows' settings are not stored, the message names the file
// and the system's reason, and the old file stays whole.
TEST_F(FullDiskTest, ConfigurationFileStaysWhole) {
    const ConfigFile config(fullPath("cnc.ini"));
    const QString error =
        config.WriteSettings({{"cncrez_width", "150"}, {"Image", QString(20000, u'x')}});
    EXPECT_EQ(error, QStringLiteral("Не удалось записать файл %1: No space left on device")
                         .arg(fullPath("cnc.ini")));
    expectNothingLeft();
}

}  // namespace
