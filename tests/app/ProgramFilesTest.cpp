#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/config/ProgramFiles.h"

namespace {

ProgramPlace place(bool writable, bool installed) {
    return ProgramPlace{"/p/bin", writable, "/p/share/cnc", installed, "/home/u/.config/cnc"};
}

void touch(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

}  // namespace

TEST(ChooseProgramFiles, OnlyAWritableFolderOfNoInstallationKeepsTheFilesBesideTheProgram) {
    const ProgramFiles build = ChooseProgramFiles(place(true, false));
    EXPECT_TRUE(build.besideProgram);
    EXPECT_EQ(build.configPath, "/p/bin/cnc.ini");
    EXPECT_EQ(build.dataFile("image.bmp"), "/p/bin/image.bmp");
    EXPECT_EQ(build.pictureDirectories, QStringList{"/p/bin"});

    // A read-only folder, or an installation (also one unpacked where it can be written).
    for (const ProgramPlace& installed :
         {place(false, false), place(false, true), place(true, true)}) {
        SCOPED_TRACE(installed.programDirectoryWritable);
        const ProgramFiles files = ChooseProgramFiles(installed);
        EXPECT_FALSE(files.besideProgram);
        EXPECT_EQ(files.configPath, "/home/u/.config/cnc/cnc.ini");
        EXPECT_EQ(files.dataFile("cnc.journal"), "/home/u/.config/cnc/cnc.journal");
        EXPECT_EQ(files.pictureDirectories, QStringList({"/p/bin", "/p/share/cnc"}));
    }
}

TEST(ProgramFiles, DefaultPictureIsTheFirstFoundElseTheOneBesideTheProgram) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("bin") && QDir(dir.path()).mkdir("share"));
    ProgramFiles files;
    files.pictureDirectories = {dir.filePath("bin"), dir.filePath("share")};
    EXPECT_EQ(files.defaultPicture("ornament.bmp"), dir.filePath("bin/ornament.bmp"));
    touch(dir.filePath("share/ornament.bmp"));
    EXPECT_EQ(files.defaultPicture("ornament.bmp"), dir.filePath("share/ornament.bmp"));
    touch(dir.filePath("bin/ornament.bmp"));
    EXPECT_EQ(files.defaultPicture("ornament.bmp"), dir.filePath("bin/ornament.bmp"));
}

TEST(ProgramFiles, ConfigFileIsMadeOnceInTheUsersFolderAndNeverBesideTheProgram) {
    QTemporaryDir dir;
    ProgramPlace here = place(true, true);
    here.userConfigDirectory = dir.filePath("home/.config/cnc");
    const ProgramFiles installed = ChooseProgramFiles(here);
    ASSERT_TRUE(installed.createConfigFile());
    QFile config(installed.configPath);
    ASSERT_TRUE(config.open(QIODevice::ReadWrite));
    EXPECT_EQ(config.readAll(), "[CNC]\n");
    config.write("Port=sim\n");
    config.close();
    ASSERT_TRUE(installed.createConfigFile());  // an existing file is kept as it is
    ASSERT_TRUE(config.open(QIODevice::ReadOnly));
    EXPECT_EQ(config.readAll(), "[CNC]\nPort=sim\n");

    const ProgramFiles build = ProgramFilesBeside(dir.filePath("build"));
    EXPECT_TRUE(build.createConfigFile());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("build")));

    touch(dir.filePath("file"));  // the configuration folder cannot be made under a file
    here.userConfigDirectory = dir.filePath("file/cnc");
    EXPECT_FALSE(ChooseProgramFiles(here).createConfigFile());
}
