#include "link/PtyIo.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

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
