#pragma once

#include <QObject>
#include <QString>

class ConfigFile;

// How jobs are written as G-code for a GRBL controller or a file. Feeds in mm/min, heights in mm.
struct GcodeSettings {
    double MillFeed = 600;       // G1 of the cutter along a border
    double PlungeFeed = 200;     // G1 of the cutter going down
    double LaserFeed = 1500;     // G1 of the laser
    double ProbeFeed = 100;      // G38.2 of the scanner's probe
    double OutlinePower = 1000;  // S of the laser along a border
    double LaserScale = 1000;    // S of a pixel of darkness 255; lighter pixels get less
    double ProbeLimit = 10;      // how far below its start the probe may go looking for contact
    double HeightRange = 5;      // contact this far below the start is sample 0, at the start 255
    double SafeHeight = 5;       // the cutter's travels between borders, above the surface
    double PassDepth = 1;        // the most the cutter goes below the pass before it
};

// The default of ReplyTimeoutSeconds: a 200 mm move at 100 mm/min.
inline constexpr double kDefaultReplyTimeoutSeconds = 120;

// The machine settings the whole program shares: loaded at start-up from the configuration
// file, replaced by the settings window, read by every move.
struct ProgramSettings {
    // Millimetres moved by one motor step on each axis; negative reverses the axis. A stored
    // ratio that is not a number is kept as 0, and every move on that axis is refused.
    double StepRatioX = 0.005;
    double StepRatioY = 0.005;
    double StepRatioZ = 0.005;
    // The port the program opens at start-up (PortHandle is held by the machine link).
    QString PortName = QStringLiteral("com1");
    // How long a job waits for the controller's answer to one line before it counts the link
    // as lost, in seconds: enough for the longest single move at the machine's slowest speed.
    double ReplyTimeoutSeconds = kDefaultReplyTimeoutSeconds;
    GcodeSettings Gcode;
    // Millimetres of surface height per unit of our own controller's probe sample: a scan's
    // heights on that protocol (the G-code ports measure millimetres themselves). Not 0; a
    // negative scale is a probe whose sample falls as the surface rises.
    double ProbeScaleMm = 0.01;
};

// One G-code setting: its key in the configuration file, its caption in the settings window
// and its place in GcodeSettings. Every value must be a number above 0.
struct GcodeSettingKey {
    const char* key;
    const char16_t* caption;
    double GcodeSettings::*value;
};

// The G-code settings in the order the settings window shows them.
extern const GcodeSettingKey kGcodeSettingKeys[10];

// The program-wide settings, made once with the program and handed to whatever reads them.
// The settings window replaces them as a whole and the change is announced, so that windows
// showing millimetres convert anew.
class SharedSettings : public QObject {
    Q_OBJECT
public:
    const ProgramSettings& values() const { return m_values; }
    // For start-up and tests, before anything observes the settings; announces nothing.
    ProgramSettings& values() { return m_values; }
    // Replaces every setting and announces changed().
    void replace(const ProgramSettings& values);

signals:
    void changed();

private:
    ProgramSettings m_values;
};

// Start-up: reads from `config` "SM_X_ratio", "SM_Y_ratio", "SM_Z_ratio" (default "0.005"),
// "Port" (default "com1") and "port_timeout" (seconds; default 120) into `settings`, and the
// G-code keys (a missing value, or one that is not a number above 0, keeps the default, for the
// time limit too). A ratio that is not a number is set to 0. Returns the message that tells the
// user, once, which key holds what (also for a ratio of 0, which refuses every move on its
// axis); empty when all is well.
QString loadProgramSettings(const ConfigFile& config, ProgramSettings& settings);
