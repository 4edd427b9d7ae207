#include "link/virtual/GrblSimServer.h"

#include <QElapsedTimer>

#include "link/virtual/PtyIo.h"

namespace {

// While the machine moves, it is moved on at least this often (milliseconds).
constexpr int kMotionTickMs = 1;

}  // namespace

bool GrblSimServer::answer(const QByteArray& reply, int stopFd, std::FILE* out) {
    // Status reports are asked for several times a second: the transcript leaves them out.
    return m_pty.answer(reply, stopFd, out,
                        [](const QByteArray& line) { return !line.startsWith('<'); });
}

void GrblSimServer::serve(int stopFd, std::FILE* out) {
    QElapsedTimer clock;
    clock.start();
    qint64 lastNs = clock.nsecsElapsed();
    const auto printNewLines = [&](qsizetype from) {
        for (qsizetype i = from; i < m_grbl.lines().size(); ++i)
            printTranscriptLine(out, "> ", m_grbl.lines()[i]);
    };
    bool serving = answer(VirtualGrbl::banner(), stopFd, out);
    while (serving) {
        const PtyWait woke = m_pty.waitForBytes(stopFd, m_grbl.busy() ? kMotionTickMs : -1);
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
        QByteArray bytes;
        if (!m_pty.read(bytes)) break;
        if (bytes.isEmpty()) continue;
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
    printTranscriptLine(out, "# lowest Z ", QByteArray::number(m_grbl.lowestZ(), 'f', 3));
    printTranscriptLine(out, "# state ", m_grbl.state());
    printTranscriptLine(out, "# spindle ", m_grbl.spindle());
}
