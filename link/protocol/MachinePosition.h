#pragma once

#include <QtGlobal>

// Where the machine stands in motor steps, from the origin where its port was opened.
struct MachinePosition {
    qint64 x = 0;
    qint64 y = 0;
    qint64 z = 0;
    friend bool operator==(const MachinePosition&, const MachinePosition&) = default;
};
