#pragma once

#include <QList>
#include <QString>
#include <optional>
#include <utility>

struct ProgramFiles;

// The configuration file "cnc.ini": the program's settings and each window's last values, all
// in section "CNC". Every read opens the file anew; every write replaces it atomically.

inline constexpr char16_t kConfigSection[] = u"CNC";
// The longest value ReadSetting returns, in characters.
inline constexpr int kMaxSettingLength = 254;
// Pictures that the windows open when none has been chosen yet.
inline constexpr char kOrnamentPicture[] = "ornament.bmp";
inline constexpr char kEngravingPicture[] = "gepard2.jpg";

// The directory of the program's executable (needs a QCoreApplication).
QString ProgramDirectory();

// Where the program's files live (see ProgramFiles.h), chosen once at start-up for the whole
// process, as its own folder is; until then, and in tests, everything is beside the program.
void setProgramFiles(const ProgramFiles& files);

// Makes the configuration file at the first start of an installed program (see
// ProgramFiles::createConfigFile); a failure is logged with qWarning and returned as false.
bool CreateProgramConfigFile();

// A file the program writes itself ("image.bmp", "job.nc"): `fileName` in the folder of its
// files, the program's directory for a build, the user's configuration folder when installed.
QString ProgramFilePath(const QString& fileName);

// The default picture `fileName` where it is found: beside the program, else in the
// installation's share/cnc.
QString DefaultPicturePath(const QString& fileName);

// The folder the picture dialogs open in: the one that holds the default pictures.
QString PictureDirectory();

// "cnc.ini" in the folder of the program's files, the configuration file when none is named.
QString DefaultConfigPath();

// The configuration file at one path: "cnc.ini" beside the program, or the file named by the
// batch option --config (or a test).
class ConfigFile {
public:
    explicit ConfigFile(QString path) : m_path(std::move(path)) {}

    const QString& ConfigPath() const { return m_path; }

    // The value of `key` in section "CNC", exactly as stored but cut to its first 254
    // characters. Key names are matched without regard to case. A missing file, section or
    // key, an empty value or an unreadable file gives `defaultValue`.
    QString ReadSetting(const QString& key, const QString& defaultValue) const;

    // ReadSetting's text, and whether the stored value was longer than 254 characters and so
    // cut: a number cut that way reads as another number and must be refused.
    struct SettingText {
        QString text;
        bool cut = false;
    };
    SettingText ReadSettingText(const QString& key, const QString& defaultValue) const;

    // Stores `value` under `key` in section "CNC", exactly as given, keeping the rest of the
    // file. A failure (unwritable place, full disk, a value holding a line break) leaves the old
    // file as it was and is logged with qWarning, never shown to the user; the result tells it
    // for tests.
    bool WriteSetting(const QString& key, const QString& value) const;

    // Stores every (key, value) of `values` as WriteSetting does, reading and replacing the
    // file once. Returns an empty text, or the message naming the file and the reason (also
    // written to standard error); nothing is stored then.
    QString WriteSettings(const QList<std::pair<QString, QString>>& values) const;

private:
    QString m_path;
};

// Reads a decimal number in which "." and "," both act as the decimal separator ("0.005",
// "-0,005", "1e-3"). Returns nothing for a text that is not a number ("", "-", "1,2,3").
std::optional<double> ParseDecimal(const QString& text);
