#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <vector>

#include "app/Config.h"
#include "figures/FigureGuards.h"
#include "figures/ui/FigureTree.h"
#include "figures/ui/FigureWorkspace.h"
#include "figures/ui/LayerView.h"
#include "figures/ui/PictureViews.h"
#include "tests/app/ConfigTestSupport.h"
#include "tests/figures_ui/PictureFiles.h"

namespace {

struct Message {
    QString title;
    QString text;
};

struct DialogCall {
    QString title;
    QString directory;
    QString filter;
};

FigureWindowSetup millSetup() {
    return {"Text2", QStringLiteral("Image"), QStringLiteral("Фреза"), QStringLiteral("200"),
            QStringLiteral("100")};
}

class FigureWorkspaceTest : public testing::Test {
protected:
    FigureWorkspaceTest() {
        workspace.setMessageFunction([this](const QString& title, const QString& text) {
            messages.push_back({title, text});
        });
        workspace.setOpenFileFunction([this](QWidget*, const QString& title,
                                             const QString& directory, const QString& filter) {
            dialogCalls.push_back({title, directory, filter});
            return dialogAnswer;
        });
        workspace.resize(1000, 640);
    }

    QTreeWidget* tv() { return workspace.tree(); }
    bool frameShown(const char* name) {
        return !workspace.findChild<QGroupBox*>(QLatin1String(name))->isHidden();
    }
    bool pictureAreaShown() {
        const PictureViews* views = workspace.pictureViews();
        bool shown = !views->tabStrip()->isHidden();
        for (int i = 0; i < 4; ++i) shown = shown || !views->view(i)->isHidden();
        return shown;
    }
    void expectNoPicture() {
        EXPECT_FALSE(workspace.layers().isLoaded());
        for (int i = 0; i < 4; ++i) EXPECT_TRUE(workspace.layers().layer(i).isEmpty());
        EXPECT_FALSE(pictureAreaShown());
        EXPECT_FALSE(frameShown("Frame4"));
        EXPECT_FALSE(frameShown("Frame2"));
    }
    QTreeWidgetItem* node(const QString& key) {
        for (QTreeWidgetItemIterator it(tv()); *it; ++it) {
            if (figureNodeKey(*it) == key) return *it;
        }
        return nullptr;
    }
    void loadRings() {
        workspace.LoadPictureLayers(files.write("rings.bmp", PictureFiles::ringPicture(40, 40)));
        ASSERT_TRUE(workspace.layers().isLoaded());
        workspace.Command1_Click();
    }
    // Pixels of the selection layer painted green, and whether exactly figure's cells are.
    int greenPixels() {
        const PixelBuffer& selection = workspace.layers().SelectionLayer;
        int green = 0;
        for (int y = 1; y <= selection.height; ++y) {
            for (int x = 1; x <= selection.width; ++x) {
                const std::uint8_t* p = selection.pixel(x, y);
                green += p[0] == 0 && p[1] == 255 && p[2] == 0;
            }
        }
        return green;
    }
    int cellsOf(std::int32_t figure) {
        const LabelGrid& labels = workspace.analysis().labels;
        int cells = 0;
        for (int y = 1; y <= labels.height(); ++y) {
            for (int x = 1; x <= labels.width(); ++x) cells += labels.at(x, y) == figure;
        }
        return cells;
    }

    ScopedConfig config;
    PictureFiles files;
    std::vector<Message> messages;
    std::vector<DialogCall> dialogCalls;
    QString dialogAnswer;
    FigureWorkspace workspace{millSetup()};
};

TEST_F(FigureWorkspaceTest, LoadingShowsTheLayersAndKeepsTheProportion) {
    workspace.LoadPictureLayers(files.write("wide.bmp", PictureFiles::ringPicture(640, 480)));
    ASSERT_TRUE(workspace.layers().isLoaded());
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(workspace.heightField()->text(), QStringLiteral("150"));
    EXPECT_TRUE(frameShown("Frame4"));
    EXPECT_TRUE(frameShown("Frame2"));
    for (int i = 1; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(workspace.layers().layer(i), workspace.layers().SourceLayer);
        EXPECT_NE(workspace.layers().layer(i).bytes.data(),
                  workspace.layers().SourceLayer.bytes.data());
    }

    // Leaving either field recomputes the other; text that is no number changes nothing.
    const auto leave = [](QLineEdit* field, const char* text) {
        field->setText(QString::fromUtf8(text));
        QFocusEvent focusOut(QEvent::FocusOut);
        QApplication::sendEvent(field, &focusOut);
    };
    leave(workspace.widthField(), "100,5");
    EXPECT_EQ(workspace.heightField()->text(), QStringLiteral("75"));
    leave(workspace.heightField(), "300");
    EXPECT_EQ(workspace.widthField()->text(), QStringLiteral("400"));
    leave(workspace.heightField(), "abc");
    EXPECT_EQ(workspace.widthField()->text(), QStringLiteral("400"));
}

TEST_F(FigureWorkspaceTest, MissingFileAfterAGoodOneLeavesNoPicture) {
    loadRings();
    ASSERT_TRUE(workspace.analysis().hasTree());
    const QString missing = files.path("gone.bmp");
    workspace.LoadPictureLayers(missing);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, QStringLiteral("Ошибка"));
    EXPECT_EQ(messages[0].text, QStringLiteral("Файл ") + missing +
                                    QStringLiteral(" не найден!\r\nВыберите другой файл!"));
    expectNoPicture();
    // The figures of the old picture went with it.
    EXPECT_EQ(tv()->topLevelItemCount(), 0);
    EXPECT_TRUE(workspace.analysis().labels.isEmpty());
    EXPECT_EQ(workspace.analysis().pairCount, 0);
}

TEST_F(FigureWorkspaceTest, RememberedPictureThatCannotBeShownLeavesNoPicture) {
    // An empty key means the ornament of the program's directory, which the tests lack.
    workspace.loadRememberedPicture();
    const QString ornament = ProgramFilePath(QStringLiteral("ornament.bmp"));
    EXPECT_EQ(workspace.pathBox()->text(), ornament);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains(ornament));

    messages.clear();
    WriteSetting(QStringLiteral("Image"), files.writeGarbage("broken.bmp"));
    workspace.loadRememberedPicture();
    EXPECT_EQ(workspace.pathBox()->text(), files.path("broken.bmp"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QStringLiteral("Ошибка открытия файла!"));
    expectNoPicture();
}

TEST_F(FigureWorkspaceTest, ChosenPictureIsLoadedAndRemembered) {
    dialogAnswer = files.write("chosen.jpg", PictureFiles::ringPicture(300, 200));
    workspace.openButton()->click();
    ASSERT_EQ(dialogCalls.size(), 1u);
    EXPECT_EQ(dialogCalls[0].title, QStringLiteral("Открыть картинку"));
    EXPECT_EQ(dialogCalls[0].directory, ProgramDirectory());
    EXPECT_TRUE(dialogCalls[0].filter.startsWith(QStringLiteral("Pictures (*.bmp;*.jpg;) ")));
    EXPECT_TRUE(dialogCalls[0].filter.contains(QStringLiteral("All Files (*.*)")));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(workspace.pathBox()->text(), dialogAnswer);
    EXPECT_EQ(ReadSetting(QStringLiteral("Image"), {}), dialogAnswer);
    EXPECT_EQ(workspace.layers().width(), 300);
    EXPECT_EQ(workspace.heightField()->text(), QStringLiteral("133"));
}

TEST_F(FigureWorkspaceTest, CancelledDialogKeepsTheFirstPictureAndKey) {
    const QString first = files.write("first.bmp", PictureFiles::ringPicture(200, 100));
    dialogAnswer = first;
    workspace.Command8_Click();
    workspace.Command1_Click();
    const PictureLayers before = workspace.layers();
    ASSERT_TRUE(before.isLoaded());

    dialogAnswer.clear();
    workspace.widthField()->setText(QStringLiteral("50"));
    workspace.Command8_Click();
    EXPECT_EQ(workspace.pathBox()->text(), first);
    EXPECT_EQ(ReadSetting(QStringLiteral("Image"), {}), first);
    EXPECT_EQ(workspace.layers().SourceLayer, before.SourceLayer);
    EXPECT_TRUE(workspace.analysis().hasTree());
    // Only the finished height follows the width.
    EXPECT_EQ(workspace.heightField()->text(), QStringLiteral("25"));
    EXPECT_TRUE(messages.empty());
}

TEST_F(FigureWorkspaceTest, ChosenFileThatDoesNotDecodeChangesNothing) {
    const QString first = files.write("first.bmp", PictureFiles::ringPicture(200, 100));
    dialogAnswer = first;
    workspace.Command8_Click();
    workspace.widthField()->setText(QStringLiteral("50"));

    dialogAnswer = files.writeGarbage("broken.jpg");
    workspace.Command8_Click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, QStringLiteral("Ошибка"));
    EXPECT_EQ(messages[0].text, QStringLiteral("Ошибка открытия файла!"));
    EXPECT_EQ(workspace.pathBox()->text(), first);
    EXPECT_EQ(ReadSetting(QStringLiteral("Image"), {}), first);
    EXPECT_TRUE(workspace.layers().isLoaded());
    EXPECT_EQ(workspace.heightField()->text(), QStringLiteral("100"));
}

TEST_F(FigureWorkspaceTest, ParseWithoutPictureLeavesEverythingEmpty) {
    workspace.parseButton()->click();
    EXPECT_EQ(tv()->topLevelItemCount(), 0);
    EXPECT_TRUE(workspace.analysis().labels.isEmpty());
    EXPECT_EQ(workspace.analysis().pairCount, 0);
    EXPECT_FALSE(workspace.analysis().hasTree());
    EXPECT_TRUE(messages.empty());
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
    EXPECT_NE(node(QStringLiteral("P4")), nullptr);
    workspace.LoadPictureLayers(files.write("other.bmp", PictureFiles::ringPicture(30, 30)));
    EXPECT_EQ(tv()->topLevelItemCount(), 0);
    EXPECT_FALSE(workspace.analysis().hasTree());
}

TEST_F(FigureWorkspaceTest, ClickingAFigureReplacesTheEarlierHighlight) {
    loadRings();
    workspace.pictureViews()->selectTab(0);
    tv()->setCurrentItem(node(QStringLiteral("P2")));
    EXPECT_EQ(workspace.selectedFigure(), 2);
    EXPECT_EQ(greenPixels(), cellsOf(2));
    ASSERT_GT(cellsOf(2), 0);

    tv()->setCurrentItem(node(QStringLiteral("P4")));
    EXPECT_EQ(greenPixels(), cellsOf(4));
    // Everything but figure 4 is the work layer as it is.
    PixelBuffer unpainted = workspace.layers().SelectionLayer;
    const LabelGrid& labels = workspace.analysis().labels;
    const PixelBuffer& work = workspace.layers().WorkLayer;
    for (int y = 1; y <= work.height; ++y) {
        for (int x = 1; x <= work.width; ++x) {
            if (labels.at(x, y) == 4) std::copy_n(work.pixel(x, y), 4, unpainted.pixel(x, y));
        }
    }
    EXPECT_EQ(unpainted, work);
    // The highlight does not switch tabs, and "Разобрать" keeps it.
    EXPECT_EQ(workspace.pictureViews()->selectedTab(), 0);
    workspace.Command1_Click();
    EXPECT_EQ(greenPixels(), cellsOf(4));
}

// Mouse press and release on a node, as the user clicks it.
void clickNode(QTreeWidget* tree, QTreeWidgetItem* item) {
    tree->scrollToItem(item);
    const QPoint at = tree->visualItemRect(item).center();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, tree->viewport()->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &event);
    }
}

TEST_F(FigureWorkspaceTest, ClickingTheSelectedFigureAgainPaintsTheWorkLayerAnew) {
    loadRings();
    workspace.show();
    QCoreApplication::processEvents();
    clickNode(tv(), node(QStringLiteral("P2")));
    EXPECT_EQ(workspace.selectedFigure(), 2);
    EXPECT_EQ(greenPixels(), cellsOf(2));

    // A job rewrote the work layer: the next click on the same node starts from it.
    PixelBuffer& work = workspace.layers().WorkLayer;
    const QPoint outside(1, 1);
    ASSERT_NE(workspace.analysis().labels.at(outside.x(), outside.y()), 2);
    work.paint(outside.x(), outside.y(), 10, 20, 30);
    clickNode(tv(), node(QStringLiteral("P2")));
    const std::uint8_t* shown = workspace.layers().SelectionLayer.pixel(outside.x(), outside.y());
    EXPECT_EQ(std::vector<int>(shown, shown + 3), (std::vector<int>{10, 20, 30}));
    EXPECT_EQ(greenPixels(), cellsOf(2));
}

TEST_F(FigureWorkspaceTest, GuardsRefuseWithTheirMessages) {
    EXPECT_FALSE(workspace.RequireParsedPicture());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, QStringLiteral("Ошибка"));
    EXPECT_EQ(messages[0].text,
              QStringLiteral("Изображение не загружено или не разобрано.\r\n"
                             "Если изображение загружено, нажмите кнопку 'Разобрать'.\r\n"
                             "Необходимо, чтобы программа построила дерево вложения фигур."));

    loadRings();
    EXPECT_TRUE(workspace.RequireParsedPicture());
    EXPECT_EQ(workspace.RequireSelectedFigure(), std::nullopt);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].text, QStringLiteral("Не выбрана фигура.\r\nВыберите фигуру в дереве."));

    tv()->setCurrentItem(node(QStringLiteral("P3")));
    EXPECT_EQ(workspace.RequireSelectedFigure(), 3);
    EXPECT_EQ(messages.size(), 2u);
}

TEST_F(FigureWorkspaceTest, JobThatParsesAgainRebuildsTheTree) {
    loadRings();
    // A job whitens the dot and parses again: figure 4 leaves the tree.
    PixelBuffer& work = workspace.layers().WorkLayer;
    const LabelGrid labels = workspace.analysis().labels;
    for (int y = 1; y <= work.height; ++y) {
        for (int x = 1; x <= work.width; ++x) {
            if (labels.at(x, y) == 4) work.paintWhite(x, y);
        }
    }
    workspace.Command1_Click();
    EXPECT_EQ(node(QStringLiteral("P4")), nullptr);
    EXPECT_NE(node(QStringLiteral("P3")), nullptr);

    workspace.analysis() = FigureAnalysis{};
    workspace.figuresChanged();
    EXPECT_EQ(tv()->topLevelItemCount(), 0);
}

}  // namespace
