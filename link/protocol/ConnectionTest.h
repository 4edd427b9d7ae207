#pragma once

#include <QString>

class JobHost;
class MachineLink;

// The settings window's connection test, apart from its window: the typed port is opened as the
// program's port and asked who is at the other end.

// How long the test waits for our controller's "OK" to its zero move.
inline constexpr int kConnectionAnswerMs = 2000;

struct ConnectionTestResult {
    bool open = false;      // the link holds the port now
    bool answered = false;  // the far end answered (a G-code file: its folder can be written)
    // For the user: "Com-порт открыт" or "Ошибка открытия Com-порта" first, then the port's name
    // and what was found, one sentence a line.
    QString text;
};

// Opens `name` through `link` (the open port is closed first; every window follows the link)
// and tests it. Our own protocol (serial devices, "sim") gets the zero move "0,0,0;", which
// moves nothing, and its "OK" is awaited up to kConnectionAnswerMs while the host's events run;
// a stop asked through the host ends the wait at once. Ports that know their far end say what
// it is (a G-code file the file it writes, GRBL its version). The port stays open whatever was
// found, unless its line broke.
ConnectionTestResult TestConnection(JobHost& host, MachineLink& link, const QString& name);

// The message for a port `name` that could not be opened: "Ошибка открытия Com-порта", the name,
// and `reason` (the system's words) when known.
QString portOpenFailure(const QString& name, const QString& reason);
