#include "link/protocol/ConnectionTest.h"

#include "link/job/JobHost.h"
#include "link/protocol/MachineLink.h"
#include "link/protocol/MoveProtocol.h"
#include "link/serial/SerialDriver.h"

namespace {

constexpr int kPollPauseMs = 2;
// How much of a reply that is not "OK" the message quotes.
constexpr qsizetype kQuotedReply = 40;

const QString kPortOpen = QStringLiteral("Com-порт открыт");
const QString kPortFailed = QStringLiteral("Ошибка открытия Com-порта");

QString portLine(const QString& name) {
    return QStringLiteral("Порт: %1.").arg(name);
}

// The bytes of a reply as the user can read them: line ends as blanks, other control bytes
// and non-ASCII bytes as "?".
QString readable(const QByteArray& reply) {
    QString text;
    for (const char byte : reply.left(kQuotedReply)) {
        const auto c = static_cast<unsigned char>(byte);
        text += c == '\r' || c == '\n' ? u' ' : c >= 0x20 && c < 0x7f ? QChar(c) : u'?';
    }
    text = text.simplified();
    if (reply.size() > kQuotedReply) text += QStringLiteral("…");
    return text;
}

QString silenceText(const QByteArray& reply) {
    const QString seconds = QString::number(kConnectionAnswerMs / 1000);
    if (!reply.isEmpty() && !readable(reply).isEmpty()) {
        return QStringLiteral(
                   "Порт открылся, но на пустое перемещение «0,0,0;» за %1 с пришло "
                   "«%2», а не «OK»: на этом порту не наш контроллер или другая "
                   "скорость (нужно 9600 бод).")
            .arg(seconds, readable(reply));
    }
    return QStringLiteral(
               "Порт открылся, но на пустое перемещение «0,0,0;» за %1 с никто не "
               "ответил. Проверьте, что станок включён и подключён к этому порту; "
               "плата, которая перезапускается при открытии порта, ответит при "
               "повторной проверке.")
        .arg(seconds);
}

// Sends the zero move and waits for its "OK"; fills the result's answer and its text.
void askController(JobHost& host, MachineLink& link, ConnectionTestResult& result) {
    SerialDriver& driver = link.driver();
    const int handle = link.PortHandle();
    // What came before the question (a board's greeting) is no answer to it.
    while (driver.SerialReadByte(handle) >= 0) {
    }
    link.sendLine(formatMoveLine(0, 0, 0), {});
    const std::int64_t started = host.clockMs();
    QByteArray reply;
    for (;;) {
        for (int byte = driver.SerialReadByte(handle); byte >= 0;
             byte = driver.SerialReadByte(handle))
            reply.append(char(byte));
        if (reply.contains("OK")) {
            link.lineAnswered();
            result.answered = true;
            result.text += QStringLiteral(
                "Контроллер ответил «OK» на пустое перемещение «0,0,0;»: "
                "станок на связи, и ничего не сдвинулось.");
            return;
        }
        if (driver.lineLost(handle)) {
            link.loseLink();
            result.open = false;
            result.text += QStringLiteral(
                "Но во время проверки линия оборвалась (устройство "
                "отключено); порт закрыт.");
            return;
        }
        if (host.stopLevel() != StopLevel::None) {
            link.forgetWaitingLines();
            result.text += QStringLiteral("Проверка прервана, ответа контроллера не дождались.");
            return;
        }
        if (host.clockMs() - started >= kConnectionAnswerMs) {
            link.forgetWaitingLines();
            result.text += silenceText(reply);
            return;
        }
        host.letEventsRun();
        host.sleepMs(kPollPauseMs);
    }
}

}  // namespace

QString portOpenFailure(const QString& name, const QString& reason) {
    QString text = kPortFailed + u'\n' + portLine(name);
    if (!reason.isEmpty()) text += QStringLiteral("\nПричина: %1.").arg(reason);
    return text;
}

ConnectionTestResult TestConnection(JobHost& host, MachineLink& link, const QString& name) {
    ConnectionTestResult result;
    if (link.open(name) <= 0) {
        result.text = portOpenFailure(name, link.driver().openError());
        return result;
    }
    result.open = true;
    result.text = kPortOpen + u'\n' + portLine(name) + u'\n';
    if (const auto farEnd = link.driver().describeFarEnd(link.PortHandle())) {
        result.answered = true;
        result.text += *farEnd;
        return result;
    }
    askController(host, link, result);
    return result;
}
