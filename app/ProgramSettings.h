#pragma once

#include <QString>

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
};

// The one instance of the program-wide settings.
ProgramSettings& Settings();

// Start-up: reads "SM_X_ratio", "SM_Y_ratio", "SM_Z_ratio" (default "0.005") and "Port" (default
// "com1") from the configuration file into `settings`. A ratio that
// is not a number is set to 0. Returns the message that tells the user, once, which key holds
// what (also for a ratio of 0, which refuses every move on its axis); empty when all is well.
QString loadProgramSettings(ProgramSettings& settings);
