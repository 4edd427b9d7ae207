#include "link/GrblSimServer.h"

#include <poll.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <cerrno>

#include "link/PtyIo.h"

GrblSimServer::~GrblSimServer() {
    if (m_slave >= 0) ::close(m_slave);
    if (m_master >= 0) ::close(m_master);
}

bool GrblSimServer::open(QString* error) {
    return openRawPty(&m_master, &m_slave, &m_devicePath, error);
}

bool GrblSimServer::answer(const QByteArray& reply, int stopFd, std::FILE* out) {
    if (reply.isEmpty()) return true;
    if (!writeAllTo(m_master, reply, stopFd)) return false;
    for (const QByteArray& part : reply.split('\n')) {
        const QByteArray text = part.trimmed();
        if (!text.isEmpty()) printTranscriptLine(out, "< ", text);
    }
    return true;
}

void GrblSimServer::serve(int stopFd, std::FILE* out) {
    char chunk[256];
    QElapsedTimer sinceBlock;
    sinceBlock.start();
    bool serving = answer(VirtualGrbl::banner(), stopFd, out);
    while (serving) {
        const bool busy = !m_grbl.holding() && !m_grbl.idle();
        const int waitMs = busy ? std::max<qint64>(0, m_delayMs - sinceBlock.elapsed()) : -1;
        const PtyWait woke = waitForFd(m_master, POLLIN, stopFd, int(waitMs));
        if (woke == PtyWait::Stopped) break;
        if (woke == PtyWait::Ready) {
            const ssize_t count = ::read(m_master, chunk, sizeof chunk);
            if (count < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            if (count <= 0) break;
            const QByteArray bytes(chunk, qsizetype(count));
            const qsizetype linesBefore = m_grbl.lines().size();
            const QByteArray reply = m_grbl.receive(bytes);
            for (const char c : bytes)
                if (c == '!' || c == '~' || c == 0x18)
                    printTranscriptLine(out, "> ", c == 0x18 ? "^X" : QByteArray(1, c));
            for (qsizetype i = linesBefore; i < m_grbl.lines().size(); ++i)
                printTranscriptLine(out, "> ", m_grbl.lines()[i]);
            serving = answer(reply, stopFd, out);
        }
        // Blocks run one per delay; with no delay, all that are planned.
        while (serving && sinceBlock.elapsed() >= m_delayMs) {
            const qsizetype linesBefore = m_grbl.lines().size();
            bool moved = false;
            const QByteArray reply = m_grbl.runBlock(&moved);
            if (!moved) break;
            sinceBlock.restart();
            for (qsizetype i = linesBefore; i < m_grbl.lines().size(); ++i)
                printTranscriptLine(out, "> ", m_grbl.lines()[i]);
            serving = answer(reply, stopFd, out);
            if (m_delayMs > 0) break;
        }
    }
    printTranscriptLine(
        out, "# buffer ",
        QByteArray::number(m_grbl.mostBuffered()) + (m_grbl.overflowed() ? " overflow" : ""));
    const Millimetres at = m_grbl.position();
    printTranscriptLine(out, "# MPos ",
                        QByteArray::number(at.x, 'f', 3) + ',' + QByteArray::number(at.y, 'f', 3) +
                            ',' + QByteArray::number(at.z, 'f', 3));
}
