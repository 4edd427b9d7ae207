#include "link/SimServer.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

enum class Wait { Ready, TimeUp, Stopped };

// Waits until `fd` is ready for `events` (fd -1: only the time) or `stopFd` is readable, at most
// `timeoutMs` (-1: no limit).
Wait waitFor(int fd, short events, int stopFd, int timeoutMs) {
    pollfd fds[2] = {{stopFd, POLLIN, 0}, {fd, events, 0}};
    const nfds_t count = fd >= 0 ? 2 : 1;
    for (;;) {
        const int ready = ::poll(fds, count, timeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0 || (fds[0].revents & POLLIN)) return Wait::Stopped;
        return ready == 0 ? Wait::TimeUp : Wait::Ready;
    }
}

void printLine(std::FILE* out, const char* prefix, const QByteArray& text) {
    std::fprintf(out, "%s%s\n", prefix, text.constData());
    std::fflush(out);
}

}  // namespace

SimServer::~SimServer() {
    if (m_slave >= 0) ::close(m_slave);
    if (m_master >= 0) ::close(m_master);
}

bool SimServer::open(QString* error) {
    termios raw{};
    ::cfmakeraw(&raw);
    ::cfsetspeed(&raw, B9600);
    if (::openpty(&m_master, &m_slave, nullptr, &raw, nullptr) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    char name[256] = {};
    if (::ptsname_r(m_master, name, sizeof name) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_devicePath = QString::fromLocal8Bit(name);
    return true;
}

void SimServer::serve(int stopFd, std::FILE* out) {
    char chunk[256];
    while (waitFor(m_master, POLLIN, stopFd, -1) == Wait::Ready) {
        const ssize_t count = ::read(m_master, chunk, sizeof chunk);
        if (count < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (count <= 0) return;
        for (const ControllerExchange& exchange :
             m_controller.receive(QByteArray(chunk, qsizetype(count)))) {
            printLine(out, "> ", exchange.line);
            if (m_delayMs > 0 && waitFor(-1, 0, stopFd, m_delayMs) == Wait::Stopped) return;
            if (!sendReply(exchange.reply, stopFd)) return;
            for (const QByteArray& part : exchange.reply.split('\n')) {
                const QByteArray text = part.endsWith('\r') ? part.chopped(1) : part;
                if (!text.isEmpty()) printLine(out, "< ", text);
            }
        }
    }
}

bool SimServer::sendReply(const QByteArray& reply, int stopFd) {
    qsizetype sent = 0;
    while (sent < reply.size()) {
        const ssize_t count = ::write(m_master, reply.constData() + sent, reply.size() - sent);
        if (count > 0) {
            sent += count;
        } else if (count < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else if (waitFor(m_master, POLLOUT, stopFd, -1) != Wait::Ready) {
            return false;
        }
    }
    return true;
}
