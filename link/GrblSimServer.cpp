#include "link/GrblSimServer.h"

#include <poll.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <cerrno>

#include "link/PtyIo.h"

namespace {

// While the machine moves, it is moved on at least this often (milliseconds).
constexpr int kMotionTickMs = 1;

}  // namespace

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
        if (!text.isEmpty() && !text.startsWith('<')) printTranscriptLine(out, "< ", text);
    }
    return true;
}

void GrblSimServer::serve(int stopFd, std::FILE* out) {
    char chunk[256];
    QElapsedTimer clock;
    clock.start();
    qint64 lastNs = clock.nsecsElapsed();
    const auto printNewLines = [&](qsizetype from) {
        for (qsizetype i = from; i < m_grbl.lines().size(); ++i)
            printTranscriptLine(out, "> ", m_grbl.lines()[i]);
    };
    bool serving = answer(VirtualGrbl::banner(), stopFd, out);
    while (serving) {
        const PtyWait woke =
            waitForFd(m_master, POLLIN, stopFd, m_grbl.busy() ? kMotionTickMs : -1);
        if (woke == PtyWait::Stopped) break;
        // The machine moves on to this instant before it hears what came.
        const qint64 nowNs = clock.nsecsElapsed();
        {
            const qsizetype linesBefore = m_grbl.lines().size();
            const QByteArray reply = m_grbl.advance(double(nowNs - lastNs) / 1e6);
            printNewLines(linesBefore);
            serving = answer(reply, stopFd, out);
        }
        lastNs = nowNs;
        if (!serving || woke != PtyWait::Ready) continue;
        const ssize_t count = ::read(m_master, chunk, sizeof chunk);
        if (count < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (count <= 0) break;
        const QByteArray bytes(chunk, qsizetype(count));
        const qsizetype linesBefore = m_grbl.lines().size();
        const QByteArray reply = m_grbl.receive(bytes);
        for (const char c : bytes)
            if (c == '!' || c == '~' || c == 0x18)
                printTranscriptLine(out, "> ", c == 0x18 ? "^X" : QByteArray(1, c));
        printNewLines(linesBefore);
        serving = answer(reply, stopFd, out);
    }
    printTranscriptLine(
        out, "# buffer ",
        QByteArray::number(m_grbl.mostBuffered()) + (m_grbl.overflowed() ? " overflow" : ""));
    const Millimetres at = m_grbl.position();
    printTranscriptLine(out, "# MPos ",
                        QByteArray::number(at.x, 'f', 3) + ',' + QByteArray::number(at.y, 'f', 3) +
                            ',' + QByteArray::number(at.z, 'f', 3));
    printTranscriptLine(out, "# state ", m_grbl.state());
    printTranscriptLine(out, "# spindle ", m_grbl.spindle());
}
