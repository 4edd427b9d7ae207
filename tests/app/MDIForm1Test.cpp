#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTreeWidget>

#include "app/config/ProgramSettings.h"
#include "app/ui/MDIForm1.h"
#include "engrave/ui/Form3.h"
#include "link/protocol/JobJournal.h"
#include "link/protocol/MachineLink.h"
#include "link/protocol/ProgramContext.h"
#include "link/serial/SerialDriver.h"
#include "link/ui/Form4.h"
#include "mill/ui/Form1.h"
#include "outline/ui/Form5.h"
#include "scanner/ui/Form2.h"
#include "tests/support/ConfigTestSupport.h"
#include "tests/support/TestProgram.h"

namespace {

template <class Form>
bool isA(QWidget* widget) {
    return qobject_cast<Form*>(widget) != nullptr;
}

// A main window whose serial port is a fake that records every call; `handle` is what the fake
// open returns. When the port is closed, the keys named in `watched` are read from the file, so
// that a test can tell what the child windows had written by then.
class MainWindowTest : public testing::Test {
protected:
    void SetUp() override { testProgram().settings.values() = ProgramSettings(); }
    void TearDown() override { testProgram().settings.values() = ProgramSettings(); }

    std::unique_ptr<MDIForm1> makeWindow(int handle = 5) {
        PortFunctions port;
        port.open = [this, handle](const QString& name, int baud) {
            opens << QStringLiteral("%1 %2").arg(name).arg(baud);
            return handle;
        };
        port.close = [this](int h) {
            closes.push_back(h);
            for (const QString& key : watched)
                valuesAtClose << testProgram().config.ReadSetting(key, "<missing>");
        };
        link = std::make_unique<MachineLink>(testProgram().driver, port,
                                             testProgram().settings.values());
        program = std::make_unique<ProgramContext>(ProgramContext{
            testProgram().config, testProgram().settings, *link, testProgram().runner});
        return std::make_unique<MDIForm1>(*program);
    }
    static int instances(const MDIForm1& window, bool (*isForm)(QWidget*)) {
        int count = 0;
        for (QMdiSubWindow* child : window.mdiArea()->subWindowList()) {
            count += isForm(child->widget());
        }
        return count;
    }

    ScopedConfig config;
    QStringList opens;  // name and baud rate of each open
    std::vector<int> closes;
    QStringList watched;
    QStringList valuesAtClose;
    std::unique_ptr<MachineLink> link;  // after the lists, so that its fake close still finds them
    std::unique_ptr<ProgramContext> program;
};

}  // namespace

TEST(ProgramDirectory, HoldsTheFilesOfABuildAndTheDefaultPictures) {
    const QString directory = QCoreApplication::applicationDirPath();
    ASSERT_FALSE(directory.isEmpty());
    EXPECT_EQ(DefaultConfigPath(), directory + "/cnc.ini");
    EXPECT_EQ(DefaultPicturePath(kOrnamentPicture), directory + "/ornament.bmp");
    EXPECT_EQ(DefaultPicturePath(kEngravingPicture), directory + "/gepard2.jpg");
    EXPECT_EQ(PictureDirectory(), directory);
    EXPECT_EQ(ProgramFilePath("image.bmp"), directory + "/image.bmp");
}

TEST_F(MainWindowTest, FirstStartWithoutConfigFileOpensCom1At9600) {
    auto window = makeWindow(5);
    EXPECT_EQ(opens, QStringList{"com1 9600"});
    EXPECT_EQ(link->PortHandle(), 5);
    EXPECT_EQ(window->startupWarning(), QString());
    EXPECT_EQ(window->windowTitle(), "Strugal   ver. 1.0.7");
    EXPECT_EQ(window->size(), QSize(1280, 720));
}

TEST_F(MainWindowTest, BadRatioStartsTheProgramWithAWarningAndOpensTheStoredPort) {
    config.write("[CNC]\nSM_X_ratio=abc\nport=com3\n");
    auto window = makeWindow();
    EXPECT_EQ(testProgram().settings.values().StepRatioX, 0.0);
    EXPECT_TRUE(window->startupWarning().contains("SM_X_ratio = \"abc\""));
    EXPECT_EQ(opens, QStringList{"com3 9600"});
}

// A journal left by a job that did not end is named in a box when the program starts; "Открыть"
// opens the job's window on the journal's picture and fields, offering "Продолжить". Nothing is
// sent by either.
TEST_F(MainWindowTest, AJournalFoundAtStartUpOffersToOpenItsJobsWindow) {
    QImage image(30, 20, QImage::Format_RGB32);
    image.fill(Qt::black);
    const QString picture = QDir(config.dir()).filePath("p.bmp");
    ASSERT_TRUE(image.save(picture));
    JobJournal journal(journalPathFor(config.path()),
                       journalIdentity("engrave", "engrave", {picture, 30, 20, "0123"},
                                       {{"width", "ширина", "80"}}, ProgramSettings()),
                       false);
    ASSERT_EQ(journal.start(), QString());
    journal.lineCarried(345, {});
    journal.keep();

    auto window = makeWindow();
    window->show();
    QMessageBox* box = nullptr;
    for (int i = 0; i < 100 && !box; ++i) {
        QCoreApplication::processEvents();
        box = window->findChild<QMessageBox*>("UnfinishedJobBox");
    }
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(
        box->text().startsWith("Работа «engrave» (меню «Лазерная гравировка → Градации / "
                               "картины») не закончилась: станку отправлено 345 её "
                               "строк.\nКартинка: p.bmp."))
        << box->text().toStdString();
    box->button(QMessageBox::Yes)->click();
    QMdiSubWindow* child = window->mdiArea()->activeSubWindow();
    ASSERT_NE(child, nullptr);
    auto* form = qobject_cast<Form3*>(child->widget());
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->findChild<QLineEdit*>("Text1")->text(), picture);
    EXPECT_EQ(form->findChild<QLineEdit*>("Text6")->text(), "80");
    EXPECT_EQ(form->picture().width, 30);
    EXPECT_FALSE(form->findChild<QPushButton*>("ContinueButton")->isHidden());
    EXPECT_TRUE(QFile::exists(journalPathFor(config.path()))) << "opening keeps the journal";
}

TEST_F(MainWindowTest, MenuHasItsItemsAndCaptions) {
    auto window = makeWindow();
    QStringList items;
    for (QAction* action : window->menuBar()->actions()) {
        QMenu* menu = action->menu();
        items << (menu ? menu->objectName() : action->objectName()) + '=' + action->text();
        if (menu) {
            for (QAction* sub : menu->actions()) items << sub->objectName() + '=' + sub->text();
        }
    }
    EXPECT_EQ(items, (QStringList{"mill_cl=Фрезерование", "scanner_cl=Сканер",
                                  "etching_m=Лазерная гравировка", "etching_cl=Градации / картины",
                                  "etching2_cl=Орнаменты / силуэты", "settings_cl=Настройка"}));
}

struct MenuCase {
    const char* item;
    bool (*isForm)(QWidget*);
};

void PrintTo(const MenuCase& c, std::ostream* out) {
    *out << c.item;
}

class MenuItemTest : public MainWindowTest, public testing::WithParamInterface<MenuCase> {};

// Another window in front, then the same item again: no second instance, the first brought to
// the front. A closed window comes back anew.
TEST_P(MenuItemTest, TwoClicksShowOneWindowAndAClosedWindowComesBackAnew) {
    const MenuCase& c = GetParam();
    auto window = makeWindow();
    auto* item = window->findChild<QAction*>(c.item);
    ASSERT_NE(item, nullptr);
    item->trigger();
    ASSERT_EQ(instances(*window, c.isForm), 1);
    QMdiSubWindow* first = window->mdiArea()->subWindowList().first();

    window->findChild<QAction*>(c.item == QLatin1String("mill_cl") ? "scanner_cl" : "mill_cl")
        ->trigger();
    item->trigger();
    EXPECT_EQ(instances(*window, c.isForm), 1);
    EXPECT_EQ(window->mdiArea()->activeSubWindow(), first);

    first->close();
    item->trigger();
    EXPECT_EQ(instances(*window, c.isForm), 1);
    ASSERT_NE(window->mdiArea()->activeSubWindow(), nullptr);
    EXPECT_TRUE(c.isForm(window->mdiArea()->activeSubWindow()->widget()));
}

// Each window opens at a size where all its controls are seen, with the default pictures
// loaded: inside the main window's area, and with nothing in it that has to be scrolled to;
// also with the hint of a port that did not open.
TEST_P(MenuItemTest, OpensWithAllItsControlsInViewWithoutScrolling) {
    config.write("[CNC]\nImage=" CNC_ORNAMENT_PATH "\nEtching2_image=" CNC_ORNAMENT_PATH
                 "\nEtching_image=" CNC_GEPARD_PATH "\n");
    for (const int port : {5, kPortCannotOpen}) {
        SCOPED_TRACE(port);
        auto window = makeWindow(port);
        window->show();
        window->findChild<QAction*>(GetParam().item)->trigger();
        QCoreApplication::processEvents();
        QMdiSubWindow* child = window->mdiArea()->activeSubWindow();
        ASSERT_NE(child, nullptr);
        EXPECT_TRUE(window->mdiArea()->viewport()->rect().contains(child->geometry()))
            << child->width() << " x " << child->height();
        for (const QScrollArea* area : child->findChildren<QScrollArea*>()) {
            EXPECT_EQ(area->verticalScrollBar()->maximum(), 0) << qPrintable(area->objectName());
            EXPECT_EQ(area->horizontalScrollBar()->maximum(), 0) << qPrintable(area->objectName());
        }
    }
}

// The milling and outlining windows open with room for ten rows of the figure tree, once
// "Разобрать" has filled it from the ornament.
TEST_F(MainWindowTest, FigureTreeShowsTenRowsAtTheOpeningSize) {
    config.write("[CNC]\nImage=" CNC_ORNAMENT_PATH "\nEtching2_image=" CNC_ORNAMENT_PATH "\n");
    auto window = makeWindow();
    window->show();
    for (const char* item : {"mill_cl", "etching2_cl"}) {
        SCOPED_TRACE(item);
        window->findChild<QAction*>(item)->trigger();
        QCoreApplication::processEvents();
        QWidget* form = window->mdiArea()->activeSubWindow()->widget();
        form->findChild<QPushButton*>("Command1")->click();  // "Разобрать"
        QCoreApplication::processEvents();
        auto* tree = form->findChild<QTreeWidget*>("tv");
        ASSERT_NE(tree, nullptr);
        ASSERT_GE(tree->topLevelItemCount(), 1);
        const int row = tree->visualItemRect(tree->topLevelItem(0)).height();
        ASSERT_GT(row, 0);
        EXPECT_GE(tree->viewport()->height(), 10 * row)
            << tree->viewport()->height() << " / " << row;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Windows, MenuItemTest,
    testing::Values(MenuCase{"mill_cl", &isA<Form1>}, MenuCase{"scanner_cl", &isA<Form2>},
                    MenuCase{"etching_cl", &isA<Form3>}, MenuCase{"etching2_cl", &isA<Form5>},
                    MenuCase{"settings_cl", &isA<Form4>}),
    [](const testing::TestParamInfo<MenuCase>& info) { return std::string(info.param.item); });

TEST_F(MainWindowTest, ClosingWritesTheChildWindowsKeysBeforeThePortIsClosed) {
    watched = {"cncrez_width", "scanner_mesh_width", "Etching_width", "Etching2_width"};
    auto window = makeWindow(7);
    for (const char* item : {"mill_cl", "scanner_cl", "etching_cl", "etching2_cl", "settings_cl"}) {
        window->findChild<QAction*>(item)->trigger();
    }
    const auto setField = [&](bool (*isForm)(QWidget*), const char* field, const QString& text) {
        for (QMdiSubWindow* child : window->mdiArea()->subWindowList()) {
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
    EXPECT_EQ(link->PortHandle(), 0);
    EXPECT_TRUE(window->mdiArea()->subWindowList().isEmpty());
}

TEST_F(MainWindowTest, PortThatDidNotOpenIsNotClosed) {
    for (int failed : {-1, -2, 0}) {
        SCOPED_TRACE(failed);
        closes.clear();
        auto window = makeWindow(failed);
        EXPECT_EQ(link->PortHandle(), failed);
        EXPECT_TRUE(window->close());
        EXPECT_TRUE(closes.empty());
    }
}

// A port that failed at start-up: each working window keeps its status text, and the hint
// beside it names the ports found (its tooltip the failed port) and opens "Настройка" with
// one click.
TEST_F(MainWindowTest, APortThatFailedAtStartUpPointsToTheSettingsWindow) {
    auto window = makeWindow(kPortCannotOpen);
    window->findChild<QAction*>("mill_cl")->trigger();
    QWidget* milling = window->mdiArea()->activeSubWindow()->widget();
    EXPECT_EQ(milling->findChild<QLabel*>("Label4")->text(), "Ошибка открытия Com-порта");
    auto* hint = milling->findChild<QLabel*>("PortHint");
    ASSERT_NE(hint, nullptr);
    EXPECT_FALSE(hint->isHidden());
    EXPECT_TRUE(hint->text().contains(">Настройка</a>")) << qPrintable(hint->text());
    EXPECT_TRUE(hint->text().contains("(есть tty") || hint->text().contains("выберите sim"));
    EXPECT_TRUE(hint->toolTip().contains("«com1» не открылся")) << qPrintable(hint->toolTip());
    emit hint->linkActivated("settings");
    EXPECT_EQ(instances(*window, &isA<Form4>), 1);
    EXPECT_TRUE(isA<Form4>(window->mdiArea()->activeSubWindow()->widget()));
}
