#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTabBar>

#include "figures/ui/FigureWorkspace.h"
#include "figures_ui/FigureWindowTest.h"
#include "outline/ui/Form5.h"

// The outlining window's buttons, pressed as a user presses them, on a picture loaded the way
// the window loads its remembered picture. No port is open, so every job is a dry run.

namespace {

class OutlineButtonsTest : public FigureWindowTest<Form5> {
protected:
    void SetUp() override { openWindow("Etching2_width=40\n", "Etching2_image"); }
    bool red(int x, int y) const {
        const std::uint8_t* p = m_workspace->layers().CutterLayer.pixel(x, y);
        return p[0] == 0 && p[1] == 0 && p[2] == 255;
    }
};

TEST_F(OutlineButtonsTest, ButtonsCarryTheirCaptionsAndHints) {
    const std::vector<std::array<const char*, 3>> expected = {
        {"Command2", "Выделенная", "Гравирует выделенную фигуру"},
        {"Command6", "Все", "Гравирует границы всех фигур"},
        {"Command7", "Грав-ть всё", "Гравирует все фигуры с заполнением"},
        {"Command4", "Градиент", ""},
        {"Command5", "Отступить", ""}};
    for (const auto& [name, caption, hint] : expected) {
        SCOPED_TRACE(name);
        EXPECT_EQ(button(name)->text(), QString::fromUtf8(caption));
        EXPECT_EQ(button(name)->toolTip(), QString::fromUtf8(hint));
    }
    EXPECT_EQ(m_form->findChild<QCheckBox*>("Check1")->text(), "Гравировать");
    EXPECT_EQ(m_form->findChild<QTabBar*>()->tabText(3), "Лазер");
}

TEST_F(OutlineButtonsTest, DryFillDrawsRingsUntilNothingIsLeft) {
    button("Command1")->click();  // "Разобрать"
    ASSERT_TRUE(m_workspace->analysis().hasTree());
    button("Command7")->click();  // "Грав-ть всё"
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join("\n").toStdString();
    EXPECT_FALSE(m_workspace->analysis().hasTree());
    // The square spans columns 6 to 31. The first ring runs along column 8, two pixels inside
    // (gradient, one offset), its marks covering 7 to 9; the next along column 12.
    EXPECT_TRUE(red(7, 12));
    EXPECT_FALSE(red(10, 12)) << "rings are four pixels apart";
    EXPECT_TRUE(red(11, 12));
    EXPECT_FALSE(red(2, 2));
    EXPECT_TRUE(button("Command7")->isEnabled());
}

}  // namespace
