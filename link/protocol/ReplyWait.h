#pragma once

#include <QByteArray>

#include "link/job/JobHost.h"

class SerialDriver;

// The wait for the machine controller's answer, shared by every window's reply reader.

// After "Стоп", how long a wait still goes on for the answer to the line in flight.
inline constexpr int kStopReplyTimeoutMs = 3000;

// Reads the port `handle` of `driver` into `text` (appending every byte as one character) until
// `text` holds "OK"; returns at once when it already does. Between polls it lets the host's events
// run and sleeps `pauseMs`. Throws JobEnded: Abandoned as soon as the host abandons the job, or
// when no "OK" came within kStopReplyTimeoutMs after a stop; TimedOut when host.replyTimeoutMs() >
// 0 and no "OK" came within it.
void PollUntilOk(JobHost& host, SerialDriver& driver, int handle, QByteArray& text, int pauseMs);

// The message of a job ended by a lost link: the port `portName`, what happened (`what`), what
// may still be on and how to reconnect. It never says that the tool was made safe.
QString lostLinkMessage(const QString& portName, const QString& what);

// The end of a job the user abandoned while the machine may still be working.
JobEnded abandonedJob();
