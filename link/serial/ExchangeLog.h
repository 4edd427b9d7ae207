#pragma once

#include <QByteArray>
#include <QIODevice>

#include "link/serial/SerialDriver.h"

// The exchange with the controller as a text file: one "> " line per write (the move line
// exactly as sent), one "< " line per line received (split at CR LF, without it). Each line is
// flushed as it is written.
class ExchangeLog final : public SerialTap {
public:
    // Writes to `out`, which must stay open while the log is in use.
    explicit ExchangeLog(QIODevice& out) : m_out(out) {}

    void sent(const QByteArray& bytes) override;
    void received(const QByteArray& bytes) override;
    // Writes the text received but not ended by CR LF, if any, as a last "< " line.
    void finish();

private:
    void writeLine(const char* prefix, const QByteArray& text);

    QIODevice& m_out;
    QByteArray m_unfinished;
};
