#include <gtest/gtest.h>

#include "tests/support/DamagedPictures.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "app/config/Config.h"
#include "figures/ui/FigureTree.h"
#include "figures/ui/FigureWorkspace.h"
#include "figures/ui/LayerView.h"
#include "figures/ui/PictureViews.h"
#include "tests/support/ConfigTestSupport.h"
#include "tests/support/TestProgram.h"

namespace {

// Light ground, a dark square ring, a light hole in it and a dark dot in the hole: figures
// 1 (ground), 2 (ring), 3 (hole), 4 (dot), nested in that order.
QImage ringPicture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    const int side = std::min(width, height);
    const QPoint centre(width / 2, height / 2);
    QPainter painter(&image);
    for (const auto& [half, colour] :
         {std::pair{side * 3 / 8, Qt::black}, std::pair{side / 4, Qt::white},
          std::pair{side / 10, Qt::black}}) {
        painter.fillRect(QRect(centre - QPoint(half, half), centre + QPoint(half, half)), colour);
    }
    return image;
}

// The milling window's picture side over a temporary configuration file and directory; the
// message boxes and the file dialog are recorded.
class FigureWorkspaceTest : public testing::Test {
protected:
    FigureWorkspaceTest() {
        workspace.setMessageFunction([this](const MessageTitle& title, const QString& text) {
            messages << title.toString() + ": " + text;
        });
        workspace.setOpenFileFunction([this](QWidget*, const QString& title,
                                             const QString& directory, const QString& filter) {
            dialogCalls << QStringList{title, directory, filter};
            return dialogAnswer;
        });
        workspace.resize(1000, 640);
    }

    // The user selects the field's text, types `text` over it and leaves the field.
    static void typeAndLeave(QLineEdit* field, const QString& text) {
        field->selectAll();
        for (const QChar c : text) {
            QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(field, &key);
        }
        leave(field);
    }
    static void leave(QLineEdit* field) {
        QFocusEvent focusOut(QEvent::FocusOut);
        QApplication::sendEvent(field, &focusOut);
    }
    QString write(const QString& name, const QImage& image) const {
        image.save(dir.filePath(name));
        return dir.filePath(name);
    }
    QString writeGarbage(const QString& name) const {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::WriteOnly)) file.write("this is not a picture\n");
        return dir.filePath(name);
    }
    void loadRings() {
        workspace.LoadPictureLayers(write("rings.bmp", ringPicture(40, 40)));
        ASSERT_TRUE(workspace.layers().isLoaded());
        workspace.Command1_Click();
    }
    QTreeWidget* tv() const { return workspace.tree(); }
    QTreeWidgetItem* node(int figure) const {
        for (QTreeWidgetItemIterator it(tv()); *it; ++it) {
            if (figureNodeKey(*it) == QStringLiteral("P%1").arg(figure)) return *it;
        }
        return nullptr;
    }
    // Mouse press and release on a figure's node, as the user clicks it.
    void clickNode(int figure) const {
        QTreeWidgetItem* item = node(figure);
        ASSERT_NE(item, nullptr);
        tv()->scrollToItem(item);
        const QPoint at = tv()->visualItemRect(item).center();
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, at, tv()->viewport()->mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                              Qt::NoModifier);
            QApplication::sendEvent(tv()->viewport(), &event);
        }
    }
    // The selection layer is the work layer with exactly the pixels of `figure` painted green.
    void expectHighlighted(std::int32_t figure) {
        const PixelBuffer& shown = workspace.layers().SelectionLayer;
        const PixelBuffer& work = workspace.layers().WorkLayer;
        const LabelGrid& labels = workspace.analysis().labels;
        int green = 0;
        int wrong = 0;
        for (int y = 1; y <= work.height; ++y) {
            for (int x = 1; x <= work.width; ++x) {
                const std::uint8_t* p = shown.pixel(x, y);
                if (labels.at(x, y) == figure) {
                    ++green;
                    wrong += p[0] != 0 || p[1] != 255 || p[2] != 0;
                } else {
                    wrong += !std::equal(p, p + 4, work.pixel(x, y));
                }
            }
        }
        EXPECT_GT(green, 0);
        EXPECT_EQ(wrong, 0);
    }
    bool frameShown(const char* name) const {
        return !workspace.findChild<QGroupBox*>(QLatin1String(name))->isHidden();
    }
    void expectNoPicture() {
        EXPECT_FALSE(workspace.layers().isLoaded());
        for (int i = 0; i < 4; ++i) EXPECT_TRUE(workspace.layers().layer(i).isEmpty());
        const PictureViews* views = workspace.pictureViews();
        EXPECT_TRUE(views->tabStrip()->isHidden());
        for (int i = 0; i < 4; ++i) EXPECT_TRUE(views->view(i)->isHidden());
        EXPECT_FALSE(frameShown("Frame4"));
        EXPECT_FALSE(frameShown("Frame2"));
        EXPECT_FALSE(views->noPictureNote()->isHidden()) << "the area says how to open one";
        EXPECT_TRUE(views->noPictureNote()->text().contains("«...»"));
        // The figures of an earlier picture went with it.
        EXPECT_EQ(tv()->topLevelItemCount(), 0);
        EXPECT_TRUE(workspace.analysis().labels.isEmpty());
        EXPECT_EQ(workspace.analysis().pairCount, 0);
    }

    ScopedConfig config;
    QTemporaryDir dir;
    QStringList messages;            // "title: text"
    QList<QStringList> dialogCalls;  // title, directory, filter
    QString dialogAnswer;
    FigureWorkspace workspace{
        {kMillImageKey, QStringLiteral("Фреза"), QStringLiteral("200"), QStringLiteral("100")},
        testProgram().config};
};

TEST_F(FigureWorkspaceTest, LoadingShowsTheLayersAndKeepsTheProportion) {
    workspace.LoadPictureLayers(write("wide.bmp", ringPicture(640, 480)));
    ASSERT_TRUE(workspace.layers().isLoaded());
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(workspace.heightField()->text(), QStringLiteral("150"));
    EXPECT_TRUE(frameShown("Frame4"));
    EXPECT_TRUE(frameShown("Frame2"));
    EXPECT_TRUE(workspace.pictureViews()->noPictureNote()->isHidden());
    for (int i = 1; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(workspace.layers().layer(i), workspace.layers().SourceLayer);
        EXPECT_NE(workspace.layers().layer(i).bytes.data(),
                  workspace.layers().SourceLayer.bytes.data());
    }

    // Leaving a field typed into recomputes the other; text that is no number changes nothing.
    typeAndLeave(workspace.widthField(), "100,5");
    EXPECT_EQ(workspace.heightField()->text(), QStringLiteral("75"));
    typeAndLeave(workspace.heightField(), "300");
    EXPECT_EQ(workspace.widthField()->text(), QStringLiteral("400"));
    typeAndLeave(workspace.heightField(), "abc");
    EXPECT_EQ(workspace.widthField()->text(), QStringLiteral("400"));
}

// A typed width stays as typed, even one that is not a number, while the user passes through
// the height field without typing there (the job then refuses the width and names it).
TEST_F(FigureWorkspaceTest, PassingThroughTheHeightFieldKeepsTheTypedWidth) {
    workspace.LoadPictureLayers(write("wide.bmp", ringPicture(480, 336)));
    typeAndLeave(workspace.widthField(), "abc");
    EXPECT_EQ(workspace.heightField()->text(), QStringLiteral("140"));
    leave(workspace.heightField());
    EXPECT_EQ(workspace.widthField()->text(), QStringLiteral("abc"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(workspace.heightField(), &enter);
    EXPECT_EQ(workspace.widthField()->text(), QStringLiteral("abc"));

    typeAndLeave(workspace.widthField(), "240");
    EXPECT_EQ(workspace.heightField()->text(), QStringLiteral("168"));
    leave(workspace.widthField());
    leave(workspace.heightField());
    EXPECT_EQ(workspace.widthField()->text(), QStringLiteral("240"));
}

TEST_F(FigureWorkspaceTest, MissingFileAfterAGoodOneLeavesNoPicture) {
    loadRings();
    ASSERT_TRUE(workspace.analysis().hasTree());
    const QString missing = dir.filePath("gone.bmp");
    workspace.LoadPictureLayers(missing);
    EXPECT_EQ(messages,
              QStringList{"Ошибка: Файл " + missing + " не найден!\r\nВыберите другой файл!"});
    expectNoPicture();
}

TEST_F(FigureWorkspaceTest, RememberedPictureThatCannotBeShownLeavesNoPicture) {
    // An empty key means the ornament of the program's directory, which the tests lack.
    workspace.loadRememberedPicture();
    const QString ornament = ProgramFilePath(QStringLiteral("ornament.bmp"));
    EXPECT_EQ(workspace.pathBox()->text(), ornament);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(ornament));

    messages.clear();
    testProgram().config.WriteSetting(QStringLiteral("Image"), writeGarbage("broken.bmp"));
    workspace.loadRememberedPicture();
    EXPECT_EQ(workspace.pathBox()->text(), dir.filePath("broken.bmp"));
    EXPECT_EQ(messages, QStringList{"Ошибка: Ошибка открытия файла!\r\nbroken.bmp: это не "
                                    "картинка BMP или JPEG (формат не распознан)."});
    expectNoPicture();
}

// A chosen picture is loaded and remembered. A cancelled dialog keeps the picture, its key and
// its tree, and recomputes the height; a chosen file that does not decode changes nothing.
TEST_F(FigureWorkspaceTest, FileDialogLoadsAndRemembersOnlyAPictureThatDecodes) {
    const QString chosen = write("chosen.jpg", ringPicture(300, 200));
    dialogAnswer = chosen;
    workspace.openButton()->click();
    ASSERT_EQ(dialogCalls.size(), 1);
    EXPECT_EQ(dialogCalls[0][0], QStringLiteral("Открыть картинку"));
    EXPECT_EQ(dialogCalls[0][1], ProgramDirectory());
    EXPECT_TRUE(dialogCalls[0][2].startsWith(
        QStringLiteral("Pictures (*.bmp;*.jpg;*.jpeg;) (*.bmp *.jpg *.jpeg);;")));
    EXPECT_TRUE(dialogCalls[0][2].contains(QStringLiteral("All Files (*.*)")));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(workspace.pathBox()->text(), chosen);
    EXPECT_EQ(testProgram().config.ReadSetting(QStringLiteral("Image"), {}), chosen);
    EXPECT_EQ(workspace.layers().width(), 300);
    EXPECT_EQ(workspace.heightField()->text(), QStringLiteral("133"));
    workspace.Command1_Click();
    const PictureLayers before = workspace.layers();

    dialogAnswer.clear();
    workspace.widthField()->setText(QStringLiteral("60"));
    workspace.Command8_Click();
    EXPECT_EQ(workspace.heightField()->text(), QStringLiteral("40"));
    EXPECT_TRUE(workspace.analysis().hasTree());

    dialogAnswer = writeGarbage("broken.jpg");
    workspace.widthField()->setText(QStringLiteral("30"));
    workspace.Command8_Click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("Ошибка: Ошибка открытия файла!\r\nbroken.jpg: "))
        << messages[0].toStdString();
    EXPECT_EQ(workspace.heightField()->text(), QStringLiteral("40"));
    EXPECT_EQ(workspace.pathBox()->text(), chosen);
    EXPECT_EQ(testProgram().config.ReadSetting(QStringLiteral("Image"), {}), chosen);
    EXPECT_EQ(workspace.layers().SourceLayer, before.SourceLayer);
    EXPECT_TRUE(workspace.analysis().hasTree());
}

// A damaged picture chosen in the dialog: "Ошибка открытия файла!" with the file's name and
// what is wrong, and the previous picture, its path, key and tree stay.
TEST_F(FigureWorkspaceTest, ChosenDamagedPictureKeepsThePreviousOne) {
    const QString first = write("first.bmp", ringPicture(60, 40));
    dialogAnswer = first;
    workspace.Command8_Click();
    workspace.Command1_Click();
    const PictureLayers before = workspace.layers();
    for (const DamagedPicture& picture : writeDamagedPictures(dir.path())) {
        SCOPED_TRACE(picture.name.toStdString());
        messages.clear();
        dialogAnswer = picture.path;
        workspace.Command8_Click();
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Ошибка: Ошибка открытия файла!\r\n") +
                                           picture.name + QStringLiteral(": ")))
            << messages[0].toStdString();
        EXPECT_TRUE(messages[0].contains(picture.reason)) << messages[0].toStdString();
        EXPECT_EQ(workspace.pathBox()->text(), first);
        EXPECT_EQ(testProgram().config.ReadSetting(QStringLiteral("Image"), {}), first);
        EXPECT_EQ(workspace.layers().SourceLayer, before.SourceLayer);
        EXPECT_TRUE(workspace.analysis().hasTree());
    }
}

TEST_F(FigureWorkspaceTest, ParseBuildsTheExpandedNestingTree) {
    loadRings();
    ASSERT_EQ(tv()->topLevelItemCount(), 1);
    const QTreeWidgetItem* item = tv()->topLevelItem(0);
    for (int figure = 1; figure <= 4; ++figure) {
        SCOPED_TRACE(figure);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(figureNodeKey(item), QStringLiteral("P%1").arg(figure));
        EXPECT_EQ(item->text(0), QString::number(figure));
        EXPECT_EQ(item->childCount(), figure < 4 ? 1 : 0);
        EXPECT_TRUE(item->childCount() == 0 || item->isExpanded());
        item = item->child(0);
    }

    // Parsing again gives the same tree; loading another picture empties it.
    workspace.Command1_Click();
    EXPECT_NE(node(4), nullptr);
    workspace.LoadPictureLayers(write("other.bmp", ringPicture(30, 30)));
    EXPECT_EQ(tv()->topLevelItemCount(), 0);
    EXPECT_FALSE(workspace.analysis().hasTree());
}

// A figure chosen in the tree replaces the earlier highlight without switching tabs. A click on
// the figure already selected paints the work layer anew (a job may have rewritten it).
TEST_F(FigureWorkspaceTest, ChoosingAFigureReplacesTheEarlierHighlight) {
    loadRings();
    workspace.pictureViews()->selectTab(0);
    workspace.show();
    QCoreApplication::processEvents();
    tv()->setCurrentItem(node(2));
    EXPECT_EQ(workspace.selectedFigure(), 2);
    expectHighlighted(2);

    clickNode(4);
    EXPECT_EQ(workspace.selectedFigure(), 4);
    expectHighlighted(4);
    EXPECT_EQ(workspace.pictureViews()->selectedTab(), 0);

    ASSERT_NE(workspace.analysis().labels.at(1, 1), 4);
    workspace.layers().WorkLayer.paint(1, 1, 210, 220, 230);  // still light
    clickNode(4);
    expectHighlighted(4);
}

// "Разобрать" starts a new run: the picture shows no highlight and no cutter path of the last
// one, and the cut levels are read from the picture again.
TEST_F(FigureWorkspaceTest, ParseClearsTheHighlightAndTheOldCutterPath) {
    loadRings();
    tv()->setCurrentItem(node(4));
    expectHighlighted(4);
    PictureLayers& layers = workspace.layers();
    for (int x = 1; x <= 20; ++x) layers.CutterLayer.paint(x, 3, 0, 0, 255);
    ASSERT_NE(layers.CutterLayer, layers.SourceLayer);
    workspace.parseButton()->click();
    EXPECT_EQ(layers.CutterLayer, layers.SourceLayer);
    EXPECT_EQ(layers.SelectionLayer, layers.WorkLayer);
    EXPECT_EQ(workspace.selectedFigure(), std::nullopt);
    EXPECT_NE(node(4), nullptr);
}

TEST_F(FigureWorkspaceTest, ParseWithoutAPictureLeavesEverythingEmpty) {
    workspace.parseButton()->click();
    EXPECT_EQ(tv()->topLevelItemCount(), 0);
    EXPECT_TRUE(workspace.analysis().labels.isEmpty());
    EXPECT_FALSE(workspace.analysis().hasTree());
    EXPECT_TRUE(messages.empty());
}

// A job that whitens the dot and parses again: figure 4 leaves the tree.
TEST_F(FigureWorkspaceTest, JobThatParsesAgainRebuildsTheTree) {
    loadRings();
    PixelBuffer& work = workspace.layers().WorkLayer;
    const LabelGrid labels = workspace.analysis().labels;
    for (int y = 1; y <= work.height; ++y) {
        for (int x = 1; x <= work.width; ++x) {
            if (labels.at(x, y) == 4) work.paintWhite(x, y);
        }
    }
    workspace.Command1_Click();
    EXPECT_EQ(node(4), nullptr);
    EXPECT_NE(node(3), nullptr);

    workspace.analysis() = FigureAnalysis{};
    workspace.figuresChanged();
    EXPECT_EQ(tv()->topLevelItemCount(), 0);
}

// A 4096 × 4096 picture of small rings loads and shows without holding the window up. The
// times go to the log and the test record; the limit is loose so that it holds on a busy
// machine, yet it catches a slow path (a pixel-by-pixel copy takes seconds).
class LargePictureTest : public FigureWorkspaceTest,
                         public testing::WithParamInterface<const char*> {};

TEST_P(LargePictureTest, LoadsAndShowsWithinAFractionOfASecond) {
    constexpr int kSide = 4096;
    QImage image(kSide, kSide, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < kSide; y += 16) {
        for (int x = 0; x < kSide; x += 16) {
            painter.fillRect(x + 1, y + 1, 14, 14, Qt::black);
            painter.fillRect(x + 3, y + 3, 10, 10, Qt::white);
        }
    }
    painter.end();
    const QString path = write(QStringLiteral("large.") + QLatin1String(GetParam()), image);
    workspace.show();
    QCoreApplication::processEvents();

    workspace.LoadPictureLayers(path);
    workspace.repaint();
    workspace.Command1_Click();
    workspace.repaint();
    ASSERT_EQ(workspace.layers().width(), kSide);
    EXPECT_GT(tv()->topLevelItemCount(), 0);
    EXPECT_TRUE(messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Formats, LargePictureTest, testing::Values("bmp", "jpg"));

}  // namespace
