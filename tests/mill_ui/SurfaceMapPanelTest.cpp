#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "figures_ui/FigureWindowTest.h"
#include "link/protocol/MachineLink.h"
#include "link/ui/ElidedLabel.h"
#include "mill/ui/Form1.h"
#include "mill/ui/SurfaceMapPanel.h"
#include "scanner/ui/Form2.h"
#include "surface/SurfaceMapStore.h"

// The milling window's "По карте высот" as a user meets it: a scan in the scanner window ticks
// it and names the new map, opening another picture and parsing leave it, and a map opened from
// a CSV file comes back in the next window from the configuration file.

namespace {

class SurfaceMapPanelTest : public FigureWindowTest<Form1> {
protected:
    void SetUp() override { openWindow("cncrez_width=40\n", "Image"); }
    void TearDown() override {
        testProgram().link.close();
        testProgram().surfaceMaps.clear();
        FigureWindowTest<Form1>::TearDown();
    }
    QCheckBox* follow(const Form1& form) const { return form.surfacePanel().followBox(); }
    QString described(const Form1& form) const {
        return form.surfacePanel().descriptionLabel()->fullText();
    }
    // A live 4 × 5 scan over 30 × 20 mm through the virtual controller with its probe.
    void scan() {
        ASSERT_GT(testProgram().link.open(QStringLiteral("sim:probe")), 0);
        Form2 scanner(testProgram().context());
        const std::pair<const char*, const char*> fields[] = {
            {"Text3", "4"}, {"Text4", "5"}, {"Text8", "30"}, {"Text9", "20"}};
        for (const auto& [name, value] : fields) {
            auto* field = scanner.findChild<QLineEdit*>(QLatin1String(name));
            ASSERT_NE(field, nullptr) << name;
            field->setText(QLatin1String(value));
            emit field->editingFinished();
        }
        scanner.findChild<WindowJobHost*>()->setMessageFunction(
            [this](QWidget*, const MessageTitle&, const QString& text) { m_messages << text; });
        auto* live = scanner.findChild<QCheckBox*>(QStringLiteral("Check1"));
        ASSERT_TRUE(live->isEnabled());
        live->setChecked(true);
        scanner.findChild<QPushButton*>(QStringLiteral("Command6"))->click();
        ASSERT_EQ(scanner.scanRecord().taken, 20) << m_messages.join('\n').toStdString();
    }
};

TEST_F(SurfaceMapPanelTest, AScanTicksTheBoxAndNamesItsMapWhichPicturesAndParsesKeep) {
    EXPECT_FALSE(follow(*m_form)->isChecked());
    EXPECT_EQ(described(*m_form), QStringLiteral("карта не загружена"));
    scan();
    EXPECT_TRUE(follow(*m_form)->isChecked());
    EXPECT_EQ(described(*m_form), QStringLiteral("скан, 4 × 5 точек, 30 × 20 мм"));

    QImage other(20, 20, QImage::Format_RGB32);
    other.fill(Qt::black);
    const QString otherPath = m_dir.filePath("other.bmp");
    ASSERT_TRUE(other.save(otherPath));
    m_workspace->setOpenFileFunction(
        [&](QWidget*, const QString&, const QString&, const QString&) { return otherPath; });
    button("Command8")->click();  // "..."
    ASSERT_EQ(m_workspace->layers().SourceLayer.width, 20);
    button("Command1")->click();  // "Разобрать"
    EXPECT_TRUE(follow(*m_form)->isChecked());
    EXPECT_EQ(described(*m_form), QStringLiteral("скан, 4 × 5 точек, 30 × 20 мм"));

    // A window opened after the scan shows the same map, ticked.
    Form1 later(testProgram().context());
    EXPECT_TRUE(follow(later)->isChecked());
    EXPECT_EQ(described(later), described(*m_form));
}

TEST_F(SurfaceMapPanelTest, AMapOpenedFromAFileIsRememberedByItsPath) {
    const QString csv = m_dir.filePath("board.csv");
    {
        QFile file(csv);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            "column,row,x_mm,y_mm,sample,value,z_mm\n1,1,0,0,0,0,0\n2,1,5,0,0,0,0.1\n"
            "1,2,0,5,0,0,0.2\n2,2,5,5,0,0,0.3\n");
    }
    m_form->surfacePanel().setOpenFileFunction(
        [&](QWidget*, const QString&, const QString&, const QString&) { return csv; });
    button("Command9")->click();  // "Карта…"
    EXPECT_TRUE(follow(*m_form)->isChecked());
    EXPECT_EQ(described(*m_form), QStringLiteral("board.csv: 2 × 2 точек, 5 × 5 мм"));
    follow(*m_form)->setChecked(false);
    EXPECT_EQ(testProgram().config.ReadSetting(QStringLiteral("surface_map"), {}), csv);

    // The next start: no map in the program yet, the file's comes back, the box as left.
    m_form.reset();
    testProgram().surfaceMaps.clear();
    Form1 next(testProgram().context());
    EXPECT_EQ(described(next), QStringLiteral("board.csv: 2 × 2 точек, 5 × 5 мм"));
    EXPECT_FALSE(follow(next)->isChecked());
}

}  // namespace
