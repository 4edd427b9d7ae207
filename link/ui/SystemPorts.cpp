#include "link/ui/SystemPorts.h"

#include <QSerialPortInfo>
#include <algorithm>

namespace {

// A message names at most this many ports.
constexpr qsizetype kNamedPorts = 5;

}  // namespace

QStringList systemPortNames() {
    QStringList names;
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts())
        names.append(port.portName());
    std::sort(names.begin(), names.end());
    return names;
}

QString systemPortsSentence() {
    const QStringList names = systemPortNames();
    if (names.isEmpty()) {
        return QStringLiteral(
            "Последовательных портов в системе нет; без станка работает "
            "порт sim (виртуальный станок).");
    }
    QString listed = names.mid(0, kNamedPorts).join(QStringLiteral(", "));
    if (names.size() > kNamedPorts)
        listed += QStringLiteral(" и ещё %1").arg(names.size() - kNamedPorts);
    return QStringLiteral("Порты в системе: %1.").arg(listed);
}
