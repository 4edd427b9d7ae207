#include "app/config/ProgramFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "InstallLayout.h"

QString ProgramFiles::dataFile(const QString& fileName) const {
    return dataDirectory + u'/' + fileName;
}

QString ProgramFiles::defaultPicture(const QString& fileName) const {
    for (const QString& directory : pictureDirectories) {
        const QString path = directory + u'/' + fileName;
        if (QFileInfo::exists(path)) return path;
    }
    return pictureDirectories.value(0) + u'/' + fileName;
}

bool ProgramFiles::createConfigFile() const {
    if (besideProgram || QFileInfo::exists(configPath)) return true;
    if (!QDir().mkpath(QFileInfo(configPath).absolutePath())) return false;
    QFile file(configPath);
    // NewOnly: a file made meanwhile by another start of the program is left alone.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return QFileInfo::exists(configPath);
    return file.write("[CNC]\n") == 6 && file.flush();
}

ProgramFiles ProgramFilesBeside(const QString& programDirectory) {
    return ProgramFiles{programDirectory + QStringLiteral("/cnc.ini"), programDirectory,
                        QStringList{programDirectory}, true};
}

ProgramFiles ChooseProgramFiles(const ProgramPlace& place) {
    if (place.programDirectoryWritable && !place.installedDataPresent) {
        return ProgramFilesBeside(place.programDirectory);
    }
    const QString home = place.userConfigDirectory;
    return ProgramFiles{home + QStringLiteral("/cnc.ini"), home,
                        QStringList{place.programDirectory, place.installedDataDirectory}, false};
}

ProgramPlace ThisProgramPlace() {
    ProgramPlace place;
    place.programDirectory = QCoreApplication::applicationDirPath();
    place.programDirectoryWritable = QFileInfo(place.programDirectory).isWritable();
    place.installedDataDirectory =
        QDir::cleanPath(place.programDirectory + u'/' + QLatin1String(kDataDirectoryFromProgram));
    place.installedDataPresent = QFileInfo(place.installedDataDirectory).isDir();
    place.userConfigDirectory =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        QStringLiteral("/cnc");
    return place;
}
