#include "app/ui/UnfinishedJob.h"

#include <QFileInfo>

#include "link/protocol/JobJournal.h"
#include "link/protocol/JobResume.h"

namespace {

// The caption of the menu item that opens the window a journal names.
QString windowCaption(const QString& window) {
    if (window == u"mill") return QStringLiteral("Фрезерование");
    if (window == u"outline") return QStringLiteral("Обведение силуэтов и орнаментов");
    if (window == u"engrave") return QStringLiteral("Гравирование лазером");
    if (window == u"scan") return QStringLiteral("Сканер");
    return {};
}

}  // namespace

QString unfinishedJobText(const JobJournalRecord& journal) {
    const QString caption = windowCaption(journal.value(QStringLiteral("window")));
    if (caption.isEmpty()) return {};
    QString text = QStringLiteral(
                       "Работа «%1» в окне «%2» не закончилась: станку отправлено %3 "
                       "её строк.")
                       .arg(journal.value(QStringLiteral("job")), caption)
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
            "\n\nПродолжить её нельзя: где встал станок GRBL, по его отчёту не прочитано. Окно "
            "можно открыть, чтобы начать работу заново или с выбранного места («Начать с…»).");
    }
    return text;
}
