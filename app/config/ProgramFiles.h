#pragma once

#include <QString>
#include <QStringList>

// Where the program keeps its files. A build run from its own folder keeps everything beside
// the program, as it always has: "cnc.ini", "image.bmp", the journal and the default pictures.
// An installed program (its folder read-only, or in an installation prefix that has a share/cnc
// folder) keeps "cnc.ini" and the files it writes in the user's configuration folder,
// ~/.config/cnc, and reads the default pictures from the prefix's share/cnc when they are not
// beside it.

// What the choice depends on, gathered from the running program by ThisProgramPlace.
struct ProgramPlace {
    QString programDirectory;  // the folder of the executable
    bool programDirectoryWritable = false;
    QString installedDataDirectory;     // <prefix>/share/cnc, found from the program's folder
    bool installedDataPresent = false;  // that folder exists: the program is installed
    QString userConfigDirectory;        // the user's configuration folder for cnc (~/.config/cnc)
};

struct ProgramFiles {
    QString configPath;              // "cnc.ini"
    QString dataDirectory;           // the folder of the files the program writes itself
    QStringList pictureDirectories;  // searched in this order for the default pictures
    bool besideProgram = true;       // all of it in the program's folder (a build)

    // `fileName` in dataDirectory ("image.bmp", "cnc.journal").
    QString dataFile(const QString& fileName) const;
    // The first of pictureDirectories that holds `fileName`, joined with it; when none does,
    // the name in the first one (the place a build would have it).
    QString defaultPicture(const QString& fileName) const;
    // Creates the configuration folder and an empty "cnc.ini" (section [CNC] only) when the
    // files live in the user's folder and the file does not exist yet. A build's folder is left
    // as it is. Returns false when the folder or the file could not be made.
    bool createConfigFile() const;
};

// Everything in `place.programDirectory` when that folder can be written and is no installed
// program's folder; otherwise the configuration and written files in the user's folder.
ProgramFiles ChooseProgramFiles(const ProgramPlace& place);

// Everything beside the program in `programDirectory`: the places of a build.
ProgramFiles ProgramFilesBeside(const QString& programDirectory);

// The running program's place (needs a QCoreApplication): its folder, whether it can be
// written, its prefix's share/cnc, and Qt's generic configuration folder joined with "cnc".
ProgramPlace ThisProgramPlace();
