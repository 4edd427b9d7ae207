#include "link/ui/NumberKeyFilter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <memory>

namespace {

std::unique_ptr<QLineEdit> filteredField(const char* text = "") {
    auto field = std::make_unique<QLineEdit>(QString::fromUtf8(text));
    NumberKeyFilter::install(field.get());
    return field;
}

// Keys typed one by one; characters outside ASCII come as a keyboard with that layout sends them.
TEST(NumberKeyFilter, KeepsDigitsSignAndCommaAndTurnsFullStopIntoComma) {
    const std::pair<const char*, const char*> cases[] = {
        {"1.5", "1,5"},
        {"1a5", "15"},
        {"12 e+3", "123"},
        {"ю.б", ","},
        // the position of "-" and the number of commas are the button's business
        {"1-2..3", "1-2,,3"}};
    for (const auto& [keys, text] : cases) {
        SCOPED_TRACE(keys);
        const std::unique_ptr<QLineEdit> field = filteredField();
        for (const QChar c : QString::fromUtf8(keys)) {
            if (c.unicode() < 128) {
                QTest::keyClick(field.get(), char(c.unicode()));
                continue;
            }
            for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
                QKeyEvent event(type, Qt::Key_unknown, Qt::NoModifier, QString(c));
                QApplication::sendEvent(field.get(), &event);
            }
        }
        EXPECT_EQ(field->text(), QString::fromUtf8(text));
    }
}

TEST(NumberKeyFilter, EditingAndMovingKeysStillWork) {
    const std::unique_ptr<QLineEdit> field = filteredField();
    QTest::keyClicks(field.get(), QStringLiteral("135"));
    QTest::keyClick(field.get(), Qt::Key_Backspace);
    QTest::keyClick(field.get(), Qt::Key_Left);
    QTest::keyClicks(field.get(), QStringLiteral("2"));
    EXPECT_EQ(field->text(), QStringLiteral("123"));
    QTest::keyClick(field.get(), Qt::Key_Home);
    QTest::keyClicks(field.get(), QStringLiteral("-"));
    QTest::keyClick(field.get(), Qt::Key_Delete);
    QTest::keyClick(field.get(), Qt::Key_End);
    QTest::keyClicks(field.get(), QStringLiteral(".5"));
    EXPECT_EQ(field->text(), QStringLiteral("-23,5"));
    QTest::keyClick(field.get(), Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(field.get(), Qt::Key_A, Qt::ControlModifier);  // select all passes
    EXPECT_EQ(field->selectedText(), QStringLiteral("-23,5"));
}

// Ctrl+V and the context menu's "Paste" enter clipboard text only when it reads as a number.
TEST(NumberKeyFilter, PasteEntersOnlyTextThatReadsAsANumber) {
    const std::pair<const char*, const char*> cases[] = {
        {"2.5", "72,5"}, {" -1,25 ", "7-1,25"}, {"1,2,3", "7"}, {"5 мм", "7"}};
    for (const bool contextMenu : {false, true}) {
        for (const auto& [clipboard, text] : cases) {
            SCOPED_TRACE(std::string(clipboard) +
                         (contextMenu ? " from the menu" : " with Ctrl+V"));
            const std::unique_ptr<QLineEdit> field = filteredField("7");
            field->show();
            QGuiApplication::clipboard()->setText(QString::fromUtf8(clipboard));
            if (!contextMenu) {
                QTest::keyClick(field.get(), Qt::Key_V, Qt::ControlModifier);
            } else {
                QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(2, 2),
                                          field->mapToGlobal(QPoint(2, 2)));
                QApplication::sendEvent(field.get(), &request);
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                ASSERT_NE(menu, nullptr);
                auto* paste = menu->findChild<QAction*>(QStringLiteral("edit-paste"));
                ASSERT_NE(paste, nullptr);
                paste->trigger();
                menu->close();
            }
            EXPECT_EQ(field->text(), QString::fromUtf8(text));
        }
    }
}

}  // namespace
