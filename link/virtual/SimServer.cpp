#include "link/virtual/SimServer.h"

void SimServer::serve(int stopFd, std::FILE* out) {
    while (m_pty.waitForBytes(stopFd, -1) == PtyWait::Ready) {
        QByteArray bytes;
        if (!m_pty.read(bytes)) return;
        for (const ControllerExchange& exchange : m_controller.receive(bytes)) {
            printTranscriptLine(out, "> ", exchange.line);
            if (m_delayMs > 0 && waitForFd(-1, 0, stopFd, m_delayMs) == PtyWait::Stopped) return;
            if (!m_pty.answer(exchange.reply, stopFd, out)) return;
        }
    }
}
