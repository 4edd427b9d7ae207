#include "link/protocol/ReplyWait.h"

#include <optional>

#include "app/config/NumberText.h"
#include "link/serial/SerialDriver.h"

namespace {

const QString kToolWarning =
    QStringLiteral("Инструмент может остаться опущенным в материал, а лазер — включённым.");

bool holdsOk(const QByteArray& text) {
    return text.contains("OK");
}

}  // namespace

QString lostLinkMessage(const QString& portName, const QString& what) {
    return QStringLiteral(
               "Связь со станком потеряна: порт %1 — %2. Работа прервана; станок мог "
               "остаться в движении, лазер или шпиндель — включёнными, фреза — опущенной в "
               "материал. Порт закрыт: проверьте станок и подключитесь заново кнопкой "
               "«Проверить соединение» в окне «Настройка».")
        .arg(portName, what);
}

JobEnded abandonedJob() {
    return JobEnded(JobEnded::Reason::Abandoned, kErrorTitle,
                    QStringLiteral("Работа прервана. ") + kToolWarning);
}

void PollUntilOk(JobHost& host, SerialDriver& driver, int handle, QByteArray& text, int pauseMs) {
    const std::int64_t started = host.clockMs();
    std::optional<std::int64_t> stopSeen;
    while (!holdsOk(text)) {
        driver.noteStop(handle, host.stopLevel());
        for (int byte = driver.SerialReadByte(handle); byte >= 0;
             byte = driver.SerialReadByte(handle))
            text.append(char(byte));
        if (holdsOk(text)) return;
        if (driver.lineLost(handle)) {
            throw JobEnded(JobEnded::Reason::LinkLost, kErrorTitle,
                           QStringLiteral("линия оборвалась (устройство отключено)"));
        }

        const std::int64_t now = host.clockMs();
        switch (host.stopLevel()) {
            case StopLevel::Abandon:
                throw abandonedJob();
            case StopLevel::Stop:
                if (!stopSeen) stopSeen = now;
                if (now - *stopSeen >= kStopReplyTimeoutMs) {
                    throw JobEnded(JobEnded::Reason::Abandoned, kErrorTitle,
                                   QStringLiteral("Контроллер не ответил после остановки, "
                                                  "работа прервана. ") +
                                       kToolWarning);
                }
                break;
            case StopLevel::None:
                break;
        }
        const int limit = driver.watchesLink(handle) ? 0 : host.replyTimeoutMs();
        if (limit > 0 && now - started >= limit) {
            throw JobEnded(JobEnded::Reason::TimedOut, kErrorTitle,
                           QStringLiteral("контроллер не ответил «OK» за %1 с")
                               .arg(formatGeneral(limit / 1000.0)));
        }
        host.letEventsRun();
        host.sleepMs(pauseMs);
    }
}
