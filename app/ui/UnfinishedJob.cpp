#include "app/ui/UnfinishedJob.h"

#include <QFileInfo>

#include "link/protocol/JobJournal.h"
#include "link/protocol/JobResume.h"

namespace {

// Where the menu opens the window a journal names.
QString menuPath(const QString& window) {
    if (window == u"mill") return QStringLiteral("Фрезерование");
    if (window == u"outline") return QStringLiteral("Лазерная гравировка → Орнаменты / силуэты");
    if (window == u"engrave") return QStringLiteral("Лазерная гравировка → Градации / картины");
    if (window == u"scan") return QStringLiteral("Сканер");
    return {};
}

}  // namespace

QString unfinishedJobText(const JobJournalRecord& journal) {
    const QString menu = menuPath(journal.value(QStringLiteral("window")));
    if (menu.isEmpty()) return {};
    QString text = QStringLiteral(
                       "Работа «%1» (меню «%2») не закончилась: станку отправлено %3 её "
                       "строк.")
                       .arg(journal.value(QStringLiteral("job")), menu)
                       .arg(journal.jobLines);
    const QString picture = journal.value(QStringLiteral("picture"));
    if (!picture.isEmpty())
        text += QStringLiteral("\nКартинка: %1.").arg(QFileInfo(picture).fileName());
    text += QStringLiteral("\nПорт: %1.").arg(journal.value(QStringLiteral("port")));
    if (portResumes(journal)) {
        text += QStringLiteral(
            "\n\nОткрыть окно этой работы с её картинкой и полями? Кнопка «Продолжить» доведёт "
            "работу с первой строки, которую станок не получил; инструмент подводится туда "
            "безопасно.");
    } else {
        text += QStringLiteral(
            "\n\nПродолжить её нельзя: надёжного отчёта GRBL о том, где встал станок, нет. Окно "
            "можно открыть, чтобы начать работу заново или с выбранного места («Начать с…»).");
    }
    return text;
}
