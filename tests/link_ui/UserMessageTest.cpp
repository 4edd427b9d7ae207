#include "link/ui/UserMessage.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

namespace {

struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

SeenBox seen(const QMessageBox* box) {
    return {box->windowTitle(), box->text(), box->icon()};
}

QMessageBox* visibleBox() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) return box;
    return nullptr;
}

// The same words head a refusal and a report of work done: the icon follows the title's kind,
// never its text.
TEST(UserMessage, TheIconFollowsTheKindOfTheTitle) {
    QWidget parent;
    parent.show();
    const struct {
        MessageTitle title;
        QString text;
        QMessageBox::Icon icon;
    } cases[] = {
        {kScanRefusedTitle, QStringLiteral("Размер сетки по Y должен быть нечетным"),
         QMessageBox::Warning},
        {kScanTitle, QStringLiteral("Сканирвание завершено"), QMessageBox::Information},
        {kErrorTitle, QStringLiteral("Ошибка открытия файла!"), QMessageBox::Warning},
        {kStopTitle, QStringLiteral("Остановлено."), QMessageBox::Information},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(qPrintable(c.text));
        showMessageBoxLater(&parent, c.title, c.text);
        QApplication::processEvents();
        QMessageBox* later = visibleBox();
        ASSERT_NE(later, nullptr);
        const SeenBox shownLater = seen(later);
        later->close();
        QApplication::processEvents();
        EXPECT_EQ(shownLater.title, c.title.toString());
        EXPECT_EQ(shownLater.text, c.text);
        EXPECT_EQ(shownLater.icon, c.icon);

        // The modal box: read and closed from within its own event loop.
        SeenBox shownModal;
        QTimer::singleShot(0, [&] {
            if (QMessageBox* box = visibleBox()) {
                shownModal = seen(box);
                box->close();
            }
        });
        showMessageBox(&parent, c.title, c.text);
        EXPECT_EQ(shownModal.title, c.title.toString());
        EXPECT_EQ(shownModal.icon, c.icon);
    }
}

// A short text under a long title: the box leaves room for the whole title and the title bar's
// buttons beside it, so that the title is not elided.
TEST(UserMessage, TheBoxIsWideEnoughForItsTitle) {
    QWidget parent;
    parent.show();
    showMessageBoxLater(&parent, kConnectionOpenTitle, QStringLiteral("OK"));
    QApplication::processEvents();
    QMessageBox* box = visibleBox();
    ASSERT_NE(box, nullptr);
    const int title = box->fontMetrics().horizontalAdvance(box->windowTitle());
    EXPECT_GE(box->width(), title + 150) << box->width() << " for a title of " << title;
    box->close();
}

}  // namespace
