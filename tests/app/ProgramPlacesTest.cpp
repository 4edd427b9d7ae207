#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include "tests/support/CncProcess.h"

namespace {

// The program copied into a folder laid out as a build's or an installation's under a fresh
// temporary root, and run with HOME in that root.
class ProgramPlaces : public testing::Test {
protected:
    // Copies the program to `folder`/cnc (relative to the root) and the default picture into
    // `pictureFolder`; returns the program's path.
    QString placeProgram(const QString& folder, const QString& pictureFolder) {
        EXPECT_TRUE(QDir().mkpath(path(folder)) && QDir().mkpath(path(pictureFolder)));
        EXPECT_TRUE(QFile::copy(QStringLiteral(CNC_ORNAMENT_PATH), ornament(pictureFolder)));
        const QString program = path(folder + QStringLiteral("/cnc"));
        EXPECT_TRUE(QFile::copy(QStringLiteral(CNC_EXECUTABLE), program));
        return program;
    }

    QString path(const QString& relative) const { return m_root.filePath(relative); }
    QString ornament(const QString& folder) const {
        return path(folder + QStringLiteral("/ornament.bmp"));
    }
    QString userConfig() const { return path(QStringLiteral("home/.config/cnc/cnc.ini")); }

    ProcessRun run(const QString& program, const QStringList& arguments) const {
        QProcessEnvironment environment = environmentWithoutDisplay();
        environment.insert(QStringLiteral("HOME"), path(QStringLiteral("home")));
        environment.remove(QStringLiteral("XDG_CONFIG_HOME"));
        return runProgram(program, arguments, environment);
    }

    // Every file and folder under `folder`, relative to the root, in order.
    QStringList filesUnder(const QString& folder) const {
        QStringList files;
        QDirIterator it(path(folder), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) files << QDir(m_root.path()).relativeFilePath(it.next());
        files.sort();
        return files;
    }

    static void write(const QString& file, const QByteArray& bytes) {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }

private:
    QTemporaryDir m_root;
};

}  // namespace

TEST_F(ProgramPlaces, InstalledProgramKeepsItsSettingsInTheUsersFolder) {
    const QString program = placeProgram("usr/bin", "usr/share/cnc");
    ASSERT_TRUE(QDir().mkpath(path("home")));
    const QStringList installed = filesUnder("usr");

    const ProcessRun help = run(program, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const QString& named :
         {userConfig(), path("home/.config/cnc/image.bmp"), path("usr/share/cnc")}) {
        EXPECT_TRUE(help.out.contains("  " + named + "\n")) << named.toStdString();
    }
    EXPECT_FALSE(QFile::exists(userConfig()));  // --help writes nothing

    // First start: the settings file is made, nothing is written beside the program.
    const ProcessRun first = run(program, {"--port", "sim", "move", "1", "0", "0"});
    EXPECT_EQ(first.exitCode, 0) << first.err.toStdString();
    QFile config(userConfig());
    ASSERT_TRUE(config.open(QIODevice::ReadOnly));
    EXPECT_EQ(config.readAll(), "[CNC]\n");
    config.close();
    EXPECT_EQ(filesUnder("usr"), installed);

    // The user's settings are the ones read: its port lets the move run without --port (the
    // default port com1 cannot be opened).
    write(userConfig(), "[CNC]\nPort=sim\n");
    const ProcessRun second = run(program, {"move", "1", "0", "0"});
    EXPECT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_EQ(filesUnder("home"),
              QStringList({"home/.config", "home/.config/cnc", "home/.config/cnc/cnc.ini"}));
}

TEST_F(ProgramPlaces, InstalledProgramsWindowsMakeTheSettingsFileAtTheFirstStart) {
    const QString program = placeProgram("usr/bin", "usr/share/cnc");
    const QStringList installed = filesUnder("usr");
    QProcessEnvironment environment = environmentWithoutDisplay();
    environment.insert(QStringLiteral("HOME"), path(QStringLiteral("home")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.remove(QStringLiteral("XDG_CONFIG_HOME"));
    QProcess windows;
    windows.setProcessEnvironment(environment);
    windows.start(program, {});
    ASSERT_TRUE(windows.waitForStarted());
    // The main window runs until it is closed: wait for the file, then end it.
    for (int n = 0; n < 300 && !QFileInfo::exists(userConfig()); ++n) {
        if (windows.waitForFinished(100)) break;
    }
    EXPECT_EQ(windows.state(), QProcess::Running) << windows.readAllStandardError().toStdString();
    windows.kill();
    windows.waitForFinished();
    EXPECT_TRUE(QFileInfo::exists(userConfig()));
    EXPECT_EQ(filesUnder("usr"), installed);
}

TEST_F(ProgramPlaces, ConfigOptionWinsAndMakesNoSettingsFileOfItsOwn) {
    const QString program = placeProgram("usr/bin", "usr/share/cnc");
    write(path("other.ini"), "[CNC]\nPort=sim\n");
    const ProcessRun job = run(program, {"--config", path("other.ini"), "move", "1", "0", "0"});
    EXPECT_EQ(job.exitCode, 0) << job.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(path("home/.config/cnc")));
}

TEST_F(ProgramPlaces, BuildFolderKeepsEverythingBesideTheProgram) {
    const QString program = placeProgram("build", "build");
    const ProcessRun help = run(program, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const QString& named : {path("build/cnc.ini"), path("build/image.bmp"), path("build")}) {
        EXPECT_TRUE(help.out.contains("  " + named + "\n")) << named.toStdString();
    }

    // As before: no settings file is made, and the one beside the program is the one read.
    const QStringList built = filesUnder("build");
    const ProcessRun first = run(program, {"--port", "sim", "move", "1", "0", "0"});
    EXPECT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_EQ(filesUnder("build"), built);
    write(path("build/cnc.ini"), "[CNC]\nPort=sim\n");
    const ProcessRun second = run(program, {"move", "1", "0", "0"});
    EXPECT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(path("home")));
}
