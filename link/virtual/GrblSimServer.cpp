#include "link/virtual/GrblSimServer.h"

#include <QElapsedTimer>

#include "link/virtual/PtyIo.h"

void GrblSimServer::serve(int stopFd, std::FILE* out) {
    QElapsedTimer sinceBlock;
    sinceBlock.start();
    bool serving = answer(VirtualGrbl::banner(), stopFd, out);
    while (serving) {
        const bool busy = !m_grbl.holding() && !m_grbl.idle();
        const int waitMs = busy ? std::max<qint64>(0, m_delayMs - sinceBlock.elapsed()) : -1;
        const PtyWait woke = m_pty.waitForBytes(stopFd, int(waitMs));
        if (woke == PtyWait::Stopped) break;
        if (woke == PtyWait::Ready) {
            QByteArray bytes;
            if (!m_pty.read(bytes)) break;
            if (bytes.isEmpty()) continue;
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
