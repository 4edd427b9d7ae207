#pragma once

#include <QByteArray>
#include <QList>
#include <memory>

#include "link/protocol/MachinePosition.h"
#include "link/protocol/MoveLineReader.h"
#include "link/serial/SerialTransport.h"

class SerialDriver;

// The machine controller inside the program: it carries out move lines "dx,dy,dz;" by keeping
// the machine's position in motor steps, records the path, and answers "OK" CR LF to each line.
// With the probe mounted, the line "0,0,100;" takes a sample of a built-in test surface instead
// and is answered with the sample's digits, CR LF, then "OK" CR LF.

// One line the controller received (with its ";") and the bytes it answered.
struct ControllerExchange {
    QByteArray line;
    QByteArray reply;
};

class VirtualController {
public:
    explicit VirtualController(bool probe) : m_probe(probe) {}

    // Takes bytes as they arrive; every line completed by them is carried out and answered.
    // Returns those lines with their answers, in order. A line that is not three whole numbers
    // (signed 32-bit) is answered "ERR" CR LF and moves nothing.
    QList<ControllerExchange> receive(const QByteArray& bytes);

    bool hasProbe() const { return m_probe; }
    MachinePosition position() const { return m_path.back(); }
    // The origin, then the position after each move carried out.
    const QList<MachinePosition>& path() const { return m_path; }
    // Every line received, with its ";".
    const QList<QByteArray>& lines() const { return m_lines; }

private:
    QByteArray answer(const QByteArray& line);

    bool m_probe;
    MoveLineReader m_reader;
    QList<MachinePosition> m_path{MachinePosition{}};
    QList<QByteArray> m_lines;
};

// The probe's sample (0..255) of the built-in test surface at a position in motor steps: a
// dome with a ripple over a tilt, about 20000 steps across, so that the scanner's default grid
// (from the start point towards -X and +Y) sees a recognisable relief.
int TestSurfaceSample(qint64 x, qint64 y);

// A transport that talks to a fresh virtual controller; its answers are there to read at once.
std::unique_ptr<SerialTransport> makeVirtualControllerTransport(bool probe);

// The controller behind a port of `driver` opened as "sim" or "sim:probe"; nullptr for any other
// handle.
VirtualController* VirtualControllerOf(const SerialDriver& driver, int handle);
