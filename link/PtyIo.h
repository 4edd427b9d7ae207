#pragma once

#include <QByteArray>
#include <QString>
#include <cstdio>

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
