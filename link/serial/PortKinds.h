#pragma once

#include <QString>
#include <functional>
#include <map>

class SerialDriver;

// The kinds of port that a port name can ask for besides a serial device: "KIND" or
// "KIND:ADDRESS" ("sim", "sim:probe", "gcode:FILE", "grbl:DEVICE"). The program fills the table
// when it starts; the link itself knows none of them.
class PortKinds {
public:
    // Opens one kind of port: gets ADDRESS (empty for a bare "KIND") and the baud rate, and
    // returns a handle of the driver, or kPortCannotOpen / kPortSettingsRefused, having said why
    // with the driver's setOpenError.
    using Opener = std::function<int(const QString& address, int baud)>;

    // `driver` opens every other name as a serial device; it outlives the table.
    explicit PortKinds(SerialDriver& driver) : m_driver(driver) {}

    // Makes the kind `kind` (letters, digits, "-"; matched without regard to case) known to
    // every later open. A kind added twice keeps its last opener.
    void add(const QString& kind, Opener open);

    // Opens the port called `name`: a name "KIND" or "KIND:ADDRESS" of a known kind by its
    // opener, any other name as a serial device. Returns a positive handle, kPortCannotOpen or
    // kPortSettingsRefused; the driver's openError() then says why.
    int open(const QString& name, int baud) const;

    SerialDriver& driver() const { return m_driver; }

private:
    SerialDriver& m_driver;
    std::map<QString, Opener> m_kinds;
};
