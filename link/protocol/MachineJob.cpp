#include "link/protocol/MachineJob.h"

#include "link/protocol/MachineLink.h"
#include "link/protocol/ReplyWait.h"
#include "link/serial/SerialDriver.h"

namespace {

constexpr int kPollPauseMs = 1;

bool linkEnd(const JobEnded& ended) {
    return ended.reason() == JobEnded::Reason::LinkLost ||
           ended.reason() == JobEnded::Reason::TimedOut;
}

// Waits for the port to say the machine has carried everything out.
void waitForMachine(JobHost& host, MachineLink& link) {
    bool shown = false;
    for (;;) {
        const int handle = link.PortHandle();
        if (handle <= 0) return;
        link.driver().noteStop(handle, host.stopLevel());
        if (host.stopLevel() == StopLevel::Abandon) throw abandonedJob();
        if (link.driver().finishJob(handle)) break;
        link.refreshPosition();
        if (!shown) {
            host.reportProgress({0, 0, QStringLiteral("ожидание окончания движения")});
            shown = true;
        }
        host.letEventsRun();
        host.sleepMs(kPollPauseMs);
    }
    link.refreshPosition();
    if (shown) host.reportProgress({0, 0, QStringLiteral("движение закончено")});
}

}  // namespace

void endWithLostLink(MachineLink& link, const JobEnded& ended) {
    if (!linkEnd(ended)) throw ended;
    const QString port = link.portName();
    link.loseLink();
    throw JobEnded(ended.reason(), kErrorTitle, lostLinkMessage(port, ended.message()));
}

void RunMachineJob(JobHost& host, MachineLink& link, const std::function<void()>& job) {
    try {
        try {
            job();
        } catch (const JobEnded& ended) {
            if (linkEnd(ended)) {
                // Already said and closed by the protocol; a lost link found elsewhere is not.
                if (link.isOpen()) endWithLostLink(link, ended);
                throw;
            }
            if (ended.reason() == JobEnded::Reason::Stopped && link.isOpen())
                link.driver().noteStop(link.PortHandle(), host.stopLevel());
            if (ended.reason() != JobEnded::Reason::Refused) throw;
            // A refusal mid-job leaves the machine to finish what it already has.
            waitForMachine(host, link);
            throw;
        }
        waitForMachine(host, link);
    } catch (const JobEnded& ended) {
        if (linkEnd(ended) && link.isOpen()) endWithLostLink(link, ended);
        throw;
    }
}
