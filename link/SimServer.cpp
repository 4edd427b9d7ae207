#include "link/SimServer.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "link/PtyIo.h"

SimServer::~SimServer() {
    if (m_slave >= 0) ::close(m_slave);
    if (m_master >= 0) ::close(m_master);
}

bool SimServer::open(QString* error) {
    return openRawPty(&m_master, &m_slave, &m_devicePath, error);
}

void SimServer::serve(int stopFd, std::FILE* out) {
    char chunk[256];
    while (waitForFd(m_master, POLLIN, stopFd, -1) == PtyWait::Ready) {
        const ssize_t count = ::read(m_master, chunk, sizeof chunk);
        if (count < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (count <= 0) return;
        for (const ControllerExchange& exchange :
             m_controller.receive(QByteArray(chunk, qsizetype(count)))) {
            printTranscriptLine(out, "> ", exchange.line);
            if (m_delayMs > 0 && waitForFd(-1, 0, stopFd, m_delayMs) == PtyWait::Stopped) return;
            if (!sendReply(exchange.reply, stopFd)) return;
            for (const QByteArray& part : exchange.reply.split('\n')) {
                const QByteArray text = part.endsWith('\r') ? part.chopped(1) : part;
                if (!text.isEmpty()) printTranscriptLine(out, "< ", text);
            }
        }
    }
}

bool SimServer::sendReply(const QByteArray& reply, int stopFd) {
    return writeAllTo(m_master, reply, stopFd);
}
