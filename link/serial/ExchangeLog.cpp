#include "link/serial/ExchangeLog.h"

#include <QFileDevice>

void ExchangeLog::sent(const QByteArray& bytes) {
    writeLine("> ", bytes);
}

void ExchangeLog::received(const QByteArray& bytes) {
    m_unfinished += bytes;
    for (qsizetype end = m_unfinished.indexOf("\r\n"); end >= 0;
         end = m_unfinished.indexOf("\r\n")) {
        writeLine("< ", m_unfinished.left(end));
        m_unfinished.remove(0, end + 2);
    }
}

void ExchangeLog::finish() {
    if (m_unfinished.isEmpty()) return;
    writeLine("< ", m_unfinished);
    m_unfinished.clear();
}

void ExchangeLog::writeLine(const char* prefix, const QByteArray& text) {
    m_out.write(prefix);
    m_out.write(text);
    m_out.write("\n");
    if (auto* file = qobject_cast<QFileDevice*>(&m_out)) file->flush();
}
