#include "tests/support/PtyPair.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QElapsedTimer>

PtyPair::PtyPair() {
    termios raw{};
    ::cfmakeraw(&raw);
    if (::openpty(&m_master, &m_slave, nullptr, &raw, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    // The program under test is started as a child: it must not inherit the controller's
    // side, or closing it here would never hang the line up.
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    char name[256] = {};
    ::ptsname_r(m_master, name, sizeof name);
    m_devicePath = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair() {
    if (m_slave >= 0) ::close(m_slave);
    if (m_master >= 0) ::close(m_master);
}

void PtyPair::send(const QByteArray& bytes) {
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t count = ::write(m_master, bytes.constData() + sent, bytes.size() - sent);
        if (count <= 0) return;
        sent += count;
    }
}

QByteArray PtyPair::receive(qsizetype count, int timeoutMs) {
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < count && clock.elapsed() < timeoutMs) {
        pollfd fd{m_master, POLLIN, 0};
        if (::poll(&fd, 1, int(timeoutMs - clock.elapsed())) <= 0) break;
        char chunk[256];
        const ssize_t n = ::read(m_master, chunk, sizeof chunk);
        if (n <= 0) break;
        got.append(chunk, n);
    }
    return got;
}

void PtyPair::hangUp() {
    if (m_slave >= 0) ::close(m_slave);
    if (m_master >= 0) ::close(m_master);
    m_slave = m_master = -1;
}
