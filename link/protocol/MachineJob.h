#pragma once

#include <functional>

#include "link/job/JobHost.h"

class MachineLink;

// A job's life on the machine beyond its own lines: a stop carried out by the port (GRBL's
// hold reports the real point), the wait until the machine has done everything it accepted,
// and the lost link, after which the port is closed.

// Runs `job`, then waits until the machine has finished what the job sent (the port's closing
// lines answered, GRBL reporting Idle), with the progress "ожидание окончания движения", while
// "Стоп" and a lost link still end it. A job that ends by a stop lets the port carry the stop
// out first (whose message, naming the real point, replaces the job's). Throws what the job or
// the wait throws; a lost link or a time-out has closed the link first (see endWithLostLink).
void RunMachineJob(JobHost& host, MachineLink& link, const std::function<void()>& job);

// `ended` is a LinkLost or TimedOut end: closes `link` (MachineLink::loseLink) and throws the
// same end with the lost-link message naming the port. Any other end is thrown on unchanged.
[[noreturn]] void endWithLostLink(MachineLink& link, const JobEnded& ended);
