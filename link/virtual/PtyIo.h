#pragma once

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <functional>

// The pseudo-terminal plumbing of the virtual controllers' servers.

enum class PtyWait { Ready, TimeUp, Stopped };

// Opens a pseudo-terminal in raw mode with a non-blocking master; fills `master`, `slave` and
// the slave's `path`. False, with the reason in `error`, when the system gives none.
bool openRawPty(int* master, int* slave, QString* path, QString* error);

// Waits until `fd` is ready for `events` (fd -1: only the time) or `stopFd` is readable, at most
// `timeoutMs` (-1: no limit).
PtyWait waitForFd(int fd, short events, int stopFd, int timeoutMs);

// Writes all of `bytes` to the non-blocking `fd`; false when the line broke or `stopFd` woke.
bool writeAllTo(int fd, const QByteArray& bytes, int stopFd);

// Writes `prefix`, `text` and a line end to `out` and flushes it: one line of a transcript.
void printTranscriptLine(std::FILE* out, const char* prefix, const QByteArray& text);

// The controller's end of a pseudo-terminal that a virtual controller serves: the terminal in
// raw mode (the client's end kept open so that the line stays up between clients), what the
// client sent, and the answers written back with their transcript.
class PtyEndpoint {
public:
    PtyEndpoint() = default;
    ~PtyEndpoint();
    PtyEndpoint(const PtyEndpoint&) = delete;
    PtyEndpoint& operator=(const PtyEndpoint&) = delete;

    // Creates the pseudo-terminal; false, with the reason in `error`, when the system gives none.
    bool open(QString* error);
    // The device path that clients open (for example "/dev/pts/3"); empty before open.
    const QString& devicePath() const { return m_devicePath; }

    // Waits at most `timeoutMs` (-1: no limit) for bytes from the client or for `stopFd`.
    PtyWait waitForBytes(int stopFd, int timeoutMs) const;
    // Takes what the client sent into `into`; false when the line broke (nothing more will come).
    bool read(QByteArray& into) const;
    // Writes `reply` to the client and one "< " transcript line to `out` per line of it that
    // `shown` accepts (every line by default); false when the line broke or `stopFd` woke.
    bool answer(const QByteArray& reply, int stopFd, std::FILE* out,
                const std::function<bool(const QByteArray&)>& shown = {}) const;

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_devicePath;
};
