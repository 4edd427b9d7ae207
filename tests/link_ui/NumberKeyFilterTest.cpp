#include "link/ui/NumberKeyFilter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <memory>

namespace {

QLineEdit* filteredField() {
    auto* field = new QLineEdit;
    NumberKeyFilter::install(field);
    return field;
}

// Types `text` key by key; characters outside ASCII come as a keyboard with that layout sends
// them.
void typeKeys(QWidget* field, const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 128) {
            QTest::keyClick(field, char(c.unicode()));
            continue;
        }
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(field, &press);
        QApplication::sendEvent(field, &release);
    }
}

struct TypingCase {
    const char* keys;  // typed one by one
    const char* text;  // what the field then holds
};

class NumberKeyFilterTyping : public ::testing::TestWithParam<TypingCase> {};

TEST_P(NumberKeyFilterTyping, KeepsDigitsSignAndCommaAndTurnsFullStopIntoComma) {
    std::unique_ptr<QLineEdit> field(filteredField());
    typeKeys(field.get(), QString::fromUtf8(GetParam().keys));
    EXPECT_EQ(field->text(), QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, NumberKeyFilterTyping,
    ::testing::Values(TypingCase{"1.5", "1,5"}, TypingCase{"a", ""}, TypingCase{"1a5", "15"},
                      TypingCase{"-0,005", "-0,005"}, TypingCase{"12 e+3", "123"},
                      TypingCase{"ю.б", ","},
                      // the position of "-" and the number of commas are the button's business
                      TypingCase{"1-2..3", "1-2,,3"}));

TEST(NumberKeyFilter, EditingAndMovingKeysStillWork) {
    std::unique_ptr<QLineEdit> field(filteredField());
    QTest::keyClicks(field.get(), QStringLiteral("135"));
    QTest::keyClick(field.get(), Qt::Key_Backspace);
    EXPECT_EQ(field->text(), QStringLiteral("13"));
    QTest::keyClick(field.get(), Qt::Key_Left);
    QTest::keyClicks(field.get(), QStringLiteral("2"));
    EXPECT_EQ(field->text(), QStringLiteral("123"));
    QTest::keyClick(field.get(), Qt::Key_Home);
    QTest::keyClicks(field.get(), QStringLiteral("-"));
    EXPECT_EQ(field->text(), QStringLiteral("-123"));
    QTest::keyClick(field.get(), Qt::Key_Delete);
    EXPECT_EQ(field->text(), QStringLiteral("-23"));
    QTest::keyClick(field.get(), Qt::Key_End);
    QTest::keyClicks(field.get(), QStringLiteral(".5"));
    EXPECT_EQ(field->text(), QStringLiteral("-23,5"));
    QTest::keyClick(field.get(), Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(field.get(), Qt::Key_A, Qt::ControlModifier);  // select all passes
    EXPECT_EQ(field->selectedText(), QStringLiteral("-23,5"));
}

struct PasteCase {
    const char* clipboard;
    const char* text;  // the field's text after pasting into "7"
};

class NumberKeyFilterPaste : public ::testing::TestWithParam<PasteCase> {};

TEST_P(NumberKeyFilterPaste, EntersOnlyTextThatReadsAsANumber) {
    std::unique_ptr<QLineEdit> field(filteredField());
    field->setText(QStringLiteral("7"));
    QGuiApplication::clipboard()->setText(QString::fromUtf8(GetParam().clipboard));
    QTest::keyClick(field.get(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(field->text(), QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Clipboard, NumberKeyFilterPaste,
                         ::testing::Values(PasteCase{"2.5", "72,5"}, PasteCase{" -1,25 ", "7-1,25"},
                                           PasteCase{"1e-3", "71e-3"}, PasteCase{"abc", "7"},
                                           PasteCase{"1,2,3", "7"}, PasteCase{"", "7"},
                                           PasteCase{"5 мм", "7"}));

TEST(NumberKeyFilter, ContextMenuPasteGoesThroughTheSameCheck) {
    const std::pair<const char*, const char*> cases[] = {{"abc", "7"}, {"2.5", "72,5"}};
    for (const auto& [clipboard, expected] : cases) {
        SCOPED_TRACE(clipboard);
        std::unique_ptr<QLineEdit> field(filteredField());
        field->setText(QStringLiteral("7"));
        field->show();
        QGuiApplication::clipboard()->setText(QString::fromUtf8(clipboard));
        QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(2, 2),
                                  field->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(field.get(), &request);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        auto* paste = menu->findChild<QAction*>(QStringLiteral("edit-paste"));
        ASSERT_NE(paste, nullptr);
        paste->trigger();
        menu->close();
        EXPECT_EQ(field->text(), QString::fromUtf8(expected));
    }
}

}  // namespace
