#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>

#include "app/ProgramSettings.h"
#include "app/ui/MDIForm1.h"
#include "engrave/ui/Form3.h"
#include "link/ui/Form4.h"
#include "mill/ui/Form1.h"
#include "outline/ui/Form5.h"
#include "scanner/ui/Form2.h"
#include "tests/app/ConfigTestSupport.h"

namespace {

struct OpenCall {
    QString name;
    int baud;
};

// A main window whose serial port is a fake that records every call; `handle` is what the fake
// open returns. When the port is closed, the keys named in `watched` are read from the file, so
// that a test can tell what the child windows had written by then.
class MainWindowTest : public testing::Test {
protected:
    void SetUp() override { Settings() = ProgramSettings(); }
    void TearDown() override { Settings() = ProgramSettings(); }

    std::unique_ptr<MDIForm1> makeWindow(int handle = 5) {
        SerialPortFunctions port;
        port.open = [this, handle](const QString& name, int baud) {
            opens.push_back({name, baud});
            return handle;
        };
        port.close = [this](int h) {
            closes.push_back(h);
            for (const QString& key : watched) valuesAtClose << ReadSetting(key, "<missing>");
        };
        return std::make_unique<MDIForm1>(port);
    }

    QList<QMdiSubWindow*> childrenOf(const MDIForm1& window) {
        return window.mdiArea()->subWindowList();
    }

    ScopedConfig config;
    std::vector<OpenCall> opens;
    std::vector<int> closes;
    QStringList watched;
    QStringList valuesAtClose;
};

}  // namespace

TEST(ProgramDirectory, HoldsTheConfigurationFileAndTheDefaultPictures) {
    const QString directory = QCoreApplication::applicationDirPath();
    ASSERT_FALSE(directory.isEmpty());
    setConfigPath("/somewhere/else.ini");
    EXPECT_EQ(ConfigPath(), "/somewhere/else.ini");
    setConfigPath({});
    EXPECT_EQ(ConfigPath(), directory + "/cnc.ini");
    EXPECT_EQ(ProgramFilePath(kOrnamentPicture), directory + "/ornament.bmp");
    EXPECT_EQ(ProgramFilePath(kEngravingPicture), directory + "/gepard2.jpg");
}

TEST_F(MainWindowTest, FirstStartWithoutConfigFileOpensCom1At9600) {
    auto window = makeWindow(5);
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].name, "com1");
    EXPECT_EQ(opens[0].baud, 9600);
    EXPECT_EQ(Settings().PortHandle, 5);
    EXPECT_DOUBLE_EQ(Settings().StepRatioX, 0.005);
    EXPECT_DOUBLE_EQ(Settings().StepRatioY, 0.005);
    EXPECT_DOUBLE_EQ(Settings().StepRatioZ, 0.005);
    EXPECT_EQ(window->startupWarning(), QString());
    EXPECT_EQ(window->windowTitle(), "Strugal   ver. 1.0.7");
    EXPECT_EQ(window->size(), QSize(1280, 720));
}

TEST_F(MainWindowTest, OpensThePortNamedInTheFileWhateverTheKeysCase) {
    config.write("[CNC]\nport=com3\n");
    auto window = makeWindow();
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].name, "com3");
}

TEST_F(MainWindowTest, BadRatioStartsTheProgramWithAWarning) {
    config.write("[CNC]\nSM_X_ratio=abc\n");
    auto window = makeWindow();
    EXPECT_EQ(Settings().StepRatioX, 0.0);
    EXPECT_TRUE(window->startupWarning().contains("SM_X_ratio = \"abc\""));
    EXPECT_EQ(opens.size(), 1u);
}

TEST_F(MainWindowTest, MenuHasItsItemsAndCaptions) {
    auto window = makeWindow();
    const QList<QAction*> top = window->menuBar()->actions();
    ASSERT_EQ(top.size(), 4);
    EXPECT_EQ(top[0]->objectName(), "mill_cl");
    EXPECT_EQ(top[0]->text(), "Фрезерование");
    EXPECT_EQ(top[1]->objectName(), "scanner_cl");
    EXPECT_EQ(top[1]->text(), "Сканер");
    EXPECT_EQ(top[2]->text(), "Лазерная гравировка");
    EXPECT_EQ(top[3]->objectName(), "settings_cl");
    EXPECT_EQ(top[3]->text(), "Настройка");

    QMenu* etching_m = top[2]->menu();
    ASSERT_NE(etching_m, nullptr);
    EXPECT_EQ(etching_m->objectName(), "etching_m");
    const QList<QAction*> sub = etching_m->actions();
    ASSERT_EQ(sub.size(), 2);
    EXPECT_EQ(sub[0]->objectName(), "etching_cl");
    EXPECT_EQ(sub[0]->text(), "Градации / картины");
    EXPECT_EQ(sub[1]->objectName(), "etching2_cl");
    EXPECT_EQ(sub[1]->text(), "Орнаменты / силуэты");
}

struct MenuCase {
    const char* item;
    const char* caption;
    bool (*isForm)(QWidget*);
};

template <class Form>
bool isA(QWidget* widget) {
    return qobject_cast<Form*>(widget) != nullptr;
}

class MenuItemTest : public MainWindowTest, public testing::WithParamInterface<MenuCase> {};

TEST_P(MenuItemTest, TwoClicksShowOneWindowAndAClosedWindowComesBackAnew) {
    const MenuCase& c = GetParam();
    auto window = makeWindow();
    auto* item = window->findChild<QAction*>(c.item);
    ASSERT_NE(item, nullptr);

    item->trigger();
    ASSERT_EQ(childrenOf(*window).size(), 1);
    QMdiSubWindow* first = childrenOf(*window).first();
    EXPECT_TRUE(c.isForm(first->widget()));
    EXPECT_EQ(first->widget()->windowTitle(), QString::fromUtf8(c.caption));

    // Another window in front, then the same item again: no second instance, brought to front.
    window->findChild<QAction*>(c.item == QLatin1String("mill_cl") ? "scanner_cl" : "mill_cl")
        ->trigger();
    item->trigger();
    int instances = 0;
    for (QMdiSubWindow* child : childrenOf(*window)) instances += c.isForm(child->widget());
    EXPECT_EQ(instances, 1);
    EXPECT_EQ(window->mdiArea()->activeSubWindow(), first);

    first->close();
    item->trigger();
    instances = 0;
    for (QMdiSubWindow* child : childrenOf(*window)) instances += c.isForm(child->widget());
    EXPECT_EQ(instances, 1);
    EXPECT_NE(window->mdiArea()->activeSubWindow(), nullptr);
    EXPECT_TRUE(c.isForm(window->mdiArea()->activeSubWindow()->widget()));
}

INSTANTIATE_TEST_SUITE_P(
    Windows, MenuItemTest,
    testing::Values(MenuCase{"mill_cl", "Strugal", &isA<Form1>},
                    MenuCase{"scanner_cl", "3D Сканер", &isA<Form2>},
                    MenuCase{"etching_cl", "Гравирование лазером", &isA<Form3>},
                    MenuCase{"etching2_cl", "Обведение силуэтов и орнаментов", &isA<Form5>},
                    MenuCase{"settings_cl", "Настройка и калибровка", &isA<Form4>}),
    [](const testing::TestParamInfo<MenuCase>& info) { return std::string(info.param.item); });

TEST_F(MainWindowTest, ClosingWritesTheChildWindowsKeysBeforeThePortIsClosed) {
    watched = {"cncrez_width", "scanner_mesh_width", "Etching_width", "Etching2_width"};
    auto window = makeWindow(7);
    for (const char* item : {"mill_cl", "scanner_cl", "etching_cl", "etching2_cl", "settings_cl"}) {
        window->findChild<QAction*>(item)->trigger();
    }
    const auto setField = [&](bool (*isForm)(QWidget*), const char* field, const QString& text) {
        for (QMdiSubWindow* child : childrenOf(*window)) {
            if (isForm(child->widget()))
                child->widget()->findChild<QLineEdit*>(field)->setText(text);
        }
    };
    setField(&isA<Form1>, "Text6", "123,5");
    setField(&isA<Form2>, "Text3", "9");
    setField(&isA<Form3>, "Text6", "77");
    setField(&isA<Form5>, "Text6", "66.5");

    EXPECT_TRUE(window->close());
    EXPECT_EQ(closes, std::vector<int>{7});
    EXPECT_EQ(valuesAtClose, (QStringList{"123,5", "9", "77", "66.5"}));
    EXPECT_EQ(Settings().PortHandle, 0);
    EXPECT_TRUE(childrenOf(*window).isEmpty());
}

TEST_F(MainWindowTest, PortThatDidNotOpenIsNotClosed) {
    for (int failed : {-1, -2, 0}) {
        SCOPED_TRACE(failed);
        closes.clear();
        auto window = makeWindow(failed);
        EXPECT_EQ(Settings().PortHandle, failed);
        EXPECT_TRUE(window->close());
        EXPECT_TRUE(closes.empty());
    }
}
