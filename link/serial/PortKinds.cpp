#include "link/serial/PortKinds.h"

#include "link/serial/SerialDriver.h"

void PortKinds::add(const QString& kind, Opener open) {
    m_kinds[kind.toLower()] = std::move(open);
}

int PortKinds::open(const QString& name, int baud) const {
    const qsizetype colon = name.indexOf(u':');
    const QString kind = (colon < 0 ? name : name.left(colon)).toLower();
    m_driver.setOpenError(QString());
    const auto found = m_kinds.find(kind);
    if (found != m_kinds.end())
        return found->second(colon < 0 ? QString() : name.mid(colon + 1), baud);
    return m_driver.SerialOpen(name, baud);
}
