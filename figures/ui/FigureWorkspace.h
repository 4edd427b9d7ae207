#pragma once

#include <QRect>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>

#include "app/config/ConfigKeys.h"
#include "figures/FigureTables.h"
#include "figures/PictureLayers.h"
#include "figures/PictureLayout.h"
#include "figures/ToolPosition.h"
#include "figures/ui/PictureFileDialog.h"
#include "link/job/MessageTitles.h"

class ConfigFile;
class PictureViews;
class QFormLayout;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QTreeWidget;
class QVBoxLayout;

// What differs between the milling window and the outlining window.
struct FigureWindowSetup {
    const ConfigKey& picture;  // the key of the last picture chosen; its field is the path box
    QString cutterTabCaption;  // the fourth tab: "Фреза" or "Лазер"
    QString widthText;         // the design texts of Text6 and Text7
    QString heightText;
};

// The picture side of the milling and outlining windows. On the left the picture area: the
// tab strip and the four picture boxes, one per layer (PictureViews). On the right two columns:
// the path box and "..." (frame "Выбор файла") and the finished size Frame4 ("Ширина:" Text6,
// "Высота:" Text7), then the control panel Frame2 with the figure tree tv and "Разобрать".
// The windows add their own fields to Frame4, their job buttons to Frame2 and anything else
// to the first column, at its bottom. Frame4 and Frame2 are shown only while a picture is
// loaded.
class FigureWorkspace : public QWidget {
    Q_OBJECT
public:
    // Shows a message box with one OK button.
    using MessageFunction = std::function<void(const MessageTitle& title, const QString& text)>;
    // Asks for a picture file; returns its path, or an empty text when cancelled.
    using OpenFileFunction = ::OpenFileFunction;

    // The picture's key is read from and written to `config`, which outlives the workspace.
    FigureWorkspace(const FigureWindowSetup& setup, const ConfigFile& config,
                    QWidget* parent = nullptr);

    // Replace the message box and the file dialog (tests, the batch of a script).
    void setMessageFunction(MessageFunction showMessage);
    void setOpenFileFunction(OpenFileFunction openFile);

    // The picture part of Form_Load: the remembered picture (the window's key, or its default)
    // is shown in the path box and loaded.
    // Nothing is written to the configuration file.
    void loadRememberedPicture();

    // Loads the picture at path into the four layers, replacing any earlier picture. A path
    // with no file behind it, or a file that cannot be decoded, shows its message ("Файл ...
    // не найден!" / "Ошибка открытия файла!", title "Ошибка") and leaves no picture loaded, the
    // picture area and the frames hidden. In every case the figure tree and the figure tables
    // are emptied, the finished height recomputed and the window laid out.
    void LoadPictureLayers(const QString& path);
    // The path of the picture shown, as its path box holds it.
    QString picturePath() const;

    // "...": the file dialog ("Открыть картинку", in the program's directory). A file that
    // decodes goes into the path box and the configuration key and is loaded; one that does
    // not shows "Ошибка открытия файла!" and changes nothing. Unless it failed, the finished
    // height is recomputed at the end, also when the dialog was cancelled.
    void Command8_Click();

    // "Разобрать": splits the work layer into figures and rebuilds the tree. With no picture
    // loaded the tables and the tree end empty.
    void Command1_Click();

    // A click in the tree: the selected node's figure is highlighted; nothing without one.
    void tv_Click();

    // The selection layer becomes the work layer with `figure` painted green (replacing any
    // earlier highlight); the tab shown does not change.
    void HighlightFigure(std::int32_t figure);

    // Leaving Text6: Text7 follows the width in the picture's proportion. Leaving Text7: the
    // mirror image. Nothing changes without a picture or when the text is not a number. The
    // window runs them when the user leaves a field (or presses Enter in it) after typing there.
    void Text6_LostFocus();
    void Text7_LostFocus();

    // Lays out the column and the picture area and redraws (see PictureViews::Form_Resize).
    void Form_Resize();

    // What the jobs work on. A job that rewrites layers calls redraw; one that parses again
    // calls figuresChanged so that the tree follows the new analysis.
    PictureLayers& layers() { return m_layers; }
    FigureAnalysis& analysis() { return m_analysis; }
    // Where the window's tool stands; (1, 1) when the window opens, moved by the jobs.
    ToolPosition& tool() { return m_tool; }
    // The figure of the selected tree node, if any.
    std::optional<std::int32_t> selectedFigure() const;
    // Repaints what shows `changed` (picture pixels, 1-based; empty: everything).
    void redraw(const QRect& changed);
    // Rebuilds the tree from analysis() and lays out again.
    void figuresChanged();

    // The controls the windows read or extend.
    QLineEdit* pathBox() const { return m_pathBox; }
    // "..." and "Разобрать": they replace or re-parse what a job works on, so the windows
    // disable them while a job runs.
    QPushButton* openButton() const { return Command8; }
    QPushButton* parseButton() const { return Command1; }
    QLineEdit* widthField() const { return Text6; }
    QLineEdit* heightField() const { return Text7; }
    QFormLayout* sizeFrameLayout() const { return m_sizeLayout; }  // rows of Frame4
    QVBoxLayout* panelLayout() const { return m_panelLayout; }     // buttons of Frame2
    QVBoxLayout* sideLayout() const { return m_sideLayout; }       // the first column
    // A strip of the window's own controls under the picture boxes, as wide as they are and as
    // high as it asks (the milling window's surface map): the column has no room to spare.
    void setPictureFooter(QWidget* footer);
    QTreeWidget* tree() const { return tv; }
    PictureViews* pictureViews() const { return m_views; }

    // Room for the whole column beside a picture area; a shorter window scrolls the column.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildColumn();
    int fixedColumnWidth() const;
    // Puts freshly loaded layers in place (or none), empties the figure data, shows or hides
    // the picture controls.
    void installLayers(PictureLayers layers);
    void showMessage(const QString& text);
    void sizeFieldLeft(QLineEdit* field);

    FigureWindowSetup m_setup;
    const ConfigFile& m_config;
    PictureLayers m_layers;
    FigureAnalysis m_analysis;
    ToolPosition m_tool;
    MessageFunction m_showMessage;
    OpenFileFunction m_openFile;

    PictureViews* m_views;
    QScrollArea* m_columnArea;  // scrolls the column in a window too short for it
    QWidget* m_column;
    QVBoxLayout* m_sideLayout;
    QWidget* m_footer = nullptr;
    QLineEdit* m_pathBox;
    QPushButton* Command8;
    QGroupBox* Frame4;
    QFormLayout* m_sizeLayout;
    QLineEdit* Text6;
    QLineEdit* Text7;
    QGroupBox* Frame2;
    QTreeWidget* tv;
    QPushButton* Command1;
    QVBoxLayout* m_panelLayout;
};
