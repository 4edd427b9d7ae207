#include "link/virtual/PtyIo.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QList>
#include <cerrno>
#include <cstring>

bool openRawPty(int* master, int* slave, QString* path, QString* error) {
    termios raw{};
    ::cfmakeraw(&raw);
    ::cfsetspeed(&raw, B9600);
    if (::openpty(master, slave, nullptr, &raw, nullptr) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    ::fcntl(*master, F_SETFL, ::fcntl(*master, F_GETFL) | O_NONBLOCK);
    char name[256] = {};
    if (::ptsname_r(*master, name, sizeof name) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    *path = QString::fromLocal8Bit(name);
    return true;
}

PtyWait waitForFd(int fd, short events, int stopFd, int timeoutMs) {
    pollfd fds[2] = {{stopFd, POLLIN, 0}, {fd, events, 0}};
    const nfds_t count = fd >= 0 ? 2 : 1;
    for (;;) {
        const int ready = ::poll(fds, count, timeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0 || (fds[0].revents & POLLIN)) return PtyWait::Stopped;
        return ready == 0 ? PtyWait::TimeUp : PtyWait::Ready;
    }
}

bool writeAllTo(int fd, const QByteArray& bytes, int stopFd) {
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.constData() + sent, bytes.size() - sent);
        if (count > 0) {
            sent += count;
        } else if (count < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else if (waitForFd(fd, POLLOUT, stopFd, -1) != PtyWait::Ready) {
            return false;
        }
    }
    return true;
}

void printTranscriptLine(std::FILE* out, const char* prefix, const QByteArray& text) {
    std::fprintf(out, "%s%s\n", prefix, text.constData());
    std::fflush(out);
}

PtyEndpoint::~PtyEndpoint() {
    if (m_slave >= 0) ::close(m_slave);
    if (m_master >= 0) ::close(m_master);
}

bool PtyEndpoint::open(QString* error) {
    return openRawPty(&m_master, &m_slave, &m_devicePath, error);
}

PtyWait PtyEndpoint::waitForBytes(int stopFd, int timeoutMs) const {
    return waitForFd(m_master, POLLIN, stopFd, timeoutMs);
}

bool PtyEndpoint::read(QByteArray& into) const {
    char chunk[256];
    const ssize_t count = ::read(m_master, chunk, sizeof chunk);
    if (count < 0) return errno == EAGAIN || errno == EINTR;
    if (count == 0) return false;
    into.append(chunk, qsizetype(count));
    return true;
}

bool PtyEndpoint::answer(const QByteArray& reply, int stopFd, std::FILE* out,
                         const std::function<bool(const QByteArray&)>& shown) const {
    if (reply.isEmpty()) return true;
    if (!writeAllTo(m_master, reply, stopFd)) return false;
    for (const QByteArray& part : reply.split('\n')) {
        const QByteArray text = part.trimmed();
        if (!text.isEmpty() && (!shown || shown(text))) printTranscriptLine(out, "< ", text);
    }
    return true;
}
