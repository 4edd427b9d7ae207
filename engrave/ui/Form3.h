#pragma once

#include <optional>

#include "figures/PixelBuffer.h"
#include "figures/ui/PictureFileDialog.h"
#include "link/protocol/JobLines.h"
#include "link/ui/JobContinuation.h"
#include "link/ui/UserMessage.h"
#include "link/ui/WorkingWindow.h"

class LayerView;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QScrollArea;

// The picture engraving window: a greyscale picture burnt with the laser, row by row. On the
// left the picture box Pict (the picture one to one, the burnt pixels reddened as the job goes);
// on the right the file group Frame3, the finished size Frame4 and the engraving group Frame2
// with the manual positioning panel, "Гравировать" and the job strip. It reads its picture path
// and finished width from the configuration file when created and writes the width back when it
// closes.
class Form3 : public WorkingWindow {
    Q_OBJECT
public:
    // Builds the window and runs Form_Load.
    explicit Form3(ProgramContext& program, QWidget* parent = nullptr);

    // Replace the messages of loading (shown without waiting) and the file dialog (tests).
    void setMessageFunction(MessageFunction showMessage);
    void setOpenFileFunction(OpenFileFunction openFile);

    // Replaces the picture with the one at `path`. No file there, or one that cannot be decoded:
    // its message (title "Ошибка"), and Frame4, Frame2 and Pict are hidden so that no engraving
    // can start. Otherwise they are shown and Pict is sized to the picture plus 4 pixels. Ends
    // with Text6_LostFocus.
    void LoadEngravingPicture(const QString& path);
    // "...": a chosen file that decodes becomes the picture, the path box and "Etching_image";
    // one that does not shows "Ошибка открытия файла!" with the reason, and the previous picture
    // stays. Unless it failed, ends with Text6_LostFocus (also when the dialog was cancelled).
    void Command2_Click();
    // "Гравировать": the engraving job on the picture shown, run as this window's job. Every job
    // starts on the picture as loaded, the marks of the one before cleared, so that its own
    // progress shows.
    void Command1_Click();
    // "Продолжить": the engraving that ended early, in the same session on the picture it
    // started from, after a restart (offerJournal) on the picture loaded.
    void Continue_Click();
    // "Начать с…" answered: the engraving from row `row` (1 is the top row).
    void StartFrom_Click(qint64 row);
    void offerJournal(const JobJournalRecord& journal) override;
    // Leaving Text6: Text7 follows in the picture's proportion; leaving Text7: the mirror image.
    // Nothing changes without a picture or when the text is not a number.
    void Text6_LostFocus();
    void Text7_LostFocus();
    // Draws the picture as it stands into Pict, one to one.
    void ShowPicture();

    // The picture as shown, burnt pixels reddened; empty when none is loaded.
    const PixelBuffer& picture() const { return m_picture; }

protected:
    // Form_Load's picture step: the remembered path into Text1, then LoadEngravingPicture.
    void loadPictureKey(const ConfigKey& key) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The column beside the picture: the file frame, Frame4 with the size, Frame2 with the
    // panel, "Гравировать" and the job strip.
    void buildColumn();
    // Engraves the picture as loaded (with `resume`, the one the stopped job started from).
    void runEngraving(const WindowJobStart& start);
    void installPicture(PixelBuffer picture);
    void showMessage(const QString& text);

    PixelBuffer m_picture;
    PixelBuffer m_unmarked;  // the picture as loaded, without the marks of a job
    PixelBuffer m_started;   // the unmarked picture of the last job, for "Продолжить"
    JobContinuation* m_continue;
    MessageFunction m_showMessage = &showMessageBoxLater;
    OpenFileFunction m_openFile = &openPictureFile;

    QLineEdit* Text1;  // path of the picture (only the program writes it)
    QPushButton* Command2;
    QLineEdit* Text6;  // finished width, mm
    QLineEdit* Text7;  // finished height, mm (follows the width; not stored)
    QPushButton* Command1;
    QGroupBox* Frame4;
    QGroupBox* Frame2;
    QScrollArea* m_pictArea;
    LayerView* Pict;
};
