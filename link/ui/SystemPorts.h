#pragma once

#include <QString>
#include <QStringList>

// The serial ports the system reports (QSerialPortInfo), as the user names them in "Настройка".

// Their names ("ttyUSB0"), sorted.
QStringList systemPortNames();

// A sentence for the user: the ports found (the first few of them), or, when there are none,
// that the virtual controller "sim" works without a machine.
QString systemPortsSentence();
