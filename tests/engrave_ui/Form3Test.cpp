#include "engrave/ui/Form3.h"

#include "engrave/PictureEngraving.h"

#include <gtest/gtest.h>

#include "tests/support/DamagedPictures.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <memory>

#include "app/config/ProgramSettings.h"
#include "figures/ui/LayerView.h"
#include "link/protocol/MachineLink.h"
#include "link/serial/SerialDriver.h"
#include "link/ui/StartFromDialog.h"
#include "link/ui/WindowJobHost.h"
#include "tests/support/ConfigTestSupport.h"
#include "tests/support/Fakes.h"
#include "tests/support/StopAndContinue.h"
#include "tests/support/TestProgram.h"

namespace {

// The engraving window over a temporary configuration file, its messages and file dialog
// recorded; the port is closed, so every job is a dry run.
class Form3Test : public testing::Test {
protected:
    void SetUp() override { testProgram().settings.values() = ProgramSettings{}; }
    void TearDown() override { testProgram().settings.values() = ProgramSettings{}; }

    QString write(const char* name, const QImage& image) const {
        const QString path = QDir(config.dir()).filePath(QLatin1String(name));
        EXPECT_TRUE(image.save(path));
        return path;
    }
    // Opens the window on the picture at `path` (stored as the remembered picture).
    void open(const QString& path) {
        config.write("[CNC]\nEtching_image=" + path.toUtf8() + "\n");
        form = std::make_unique<Form3>(testProgram().context());
        form->setMessageFunction([this](QWidget*, const MessageTitle& title, const QString& text) {
            messages << title.toString() + ": " + text;
        });
        form->setOpenFileFunction(
            [this](QWidget*, const QString&, const QString&, const QString&) { return chosen; });
        host()->setMessageFunction(
            [this](QWidget*, const MessageTitle& title, const QString& text) {
                messages << title.toString() + ": " + text;
                buttonsDuringJob = field<QPushButton>("Command1")->isEnabled() ||
                                   field<QPushButton>("Command2")->isEnabled();
            });
    }
    template <class T>
    T* field(const char* name) const {
        T* found = form->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    WindowJobHost* host() const { return form->findChild<WindowJobHost*>(); }
    static QImage grey(int width, int height, int value) {
        QImage image(width, height, QImage::Format_Grayscale8);
        image.fill(value);
        return image;
    }

    ScopedConfig config;
    std::unique_ptr<Form3> form;
    QStringList messages;
    QString chosen;
    bool buttonsDuringJob = true;
};

TEST_F(Form3Test, HeightFollowsWidthInThePicturesProportion) {
    open(write("p.bmp", grey(400, 300, 0)));
    EXPECT_EQ(field<QLineEdit>("Text6")->text(), "200");
    EXPECT_EQ(field<QLineEdit>("Text7")->text(), "150");
    field<QLineEdit>("Text7")->setText("100");
    form->Text7_LostFocus();
    EXPECT_EQ(field<QLineEdit>("Text6")->text(), "133");
    EXPECT_EQ(field<LayerView>("Pict")->size(), QSize(404, 304));
}

TEST_F(Form3Test, MissingPictureShowsTheMessageAndHidesTheEngravingGroup) {
    const QString missing = QDir(config.dir()).filePath("нет.jpg");
    open(missing);
    // The message of Form_Load opens once the window runs its events.
    QApplication::processEvents();
    QMessageBox* box = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<QMessageBox*>(widget); found && found->isVisible())
            box = found;
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "Ошибка");
    EXPECT_EQ(box->text(), "Файл " + missing + " не найден!\r\nВыберите другой файл!");
    box->close();
    EXPECT_TRUE(field<QGroupBox>("Frame4")->isHidden());
    EXPECT_TRUE(field<QGroupBox>("Frame2")->isHidden());
    EXPECT_TRUE(field<LayerView>("Pict")->isHidden());
}

TEST_F(Form3Test, AChosenFileThatIsNoPictureKeepsThePreviousOne) {
    const QString first = write("first.bmp", grey(40, 30, 0));
    open(first);
    QFile junk(QDir(config.dir()).filePath("junk.jpg"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a picture");
    junk.close();
    chosen = junk.fileName();
    form->Command2_Click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("Ошибка: Ошибка открытия файла!\r\njunk.jpg: "))
        << messages[0].toStdString();
    EXPECT_EQ(field<QLineEdit>("Text1")->text(), first);
    EXPECT_EQ(form->picture().width, 40);

    messages.clear();
    chosen = write("second.bmp", grey(20, 50, 0));
    form->Command2_Click();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(form->picture().width, 20);
    EXPECT_EQ(field<QLineEdit>("Text7")->text(), "500");
    EXPECT_TRUE(config.bytes().contains("Etching_image=" + chosen.toUtf8()));
}

// Damaged pictures chosen in the dialog: the message names the file and the damage, and the
// previous picture and its key stay.
TEST_F(Form3Test, AChosenDamagedPictureKeepsThePreviousOne) {
    const QString first = write("first.bmp", grey(40, 30, 0));
    open(first);
    for (const DamagedPicture& picture : writeDamagedPictures(config.dir())) {
        SCOPED_TRACE(picture.name.toStdString());
        messages.clear();
        chosen = picture.path;
        form->Command2_Click();
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Ошибка: Ошибка открытия файла!\r\n") +
                                           picture.name + QStringLiteral(": ")))
            << messages[0].toStdString();
        EXPECT_TRUE(messages[0].contains(picture.reason)) << messages[0].toStdString();
        EXPECT_EQ(field<QLineEdit>("Text1")->text(), first);
        EXPECT_EQ(form->picture().width, 40);
        EXPECT_TRUE(config.bytes().contains("Etching_image=" + first.toUtf8()));
    }
}

TEST_F(Form3Test, DryRunMarksEveryDarkPixelRedWithTheButtonsDisabled) {
    QImage picture = grey(30, 20, 255);
    for (int x = 3; x < 25; x += 4) picture.scanLine(7)[x] = 90;
    open(write("dots.bmp", picture));
    field<QPushButton>("Command1")->click();
    EXPECT_EQ(messages, QStringList{"Лазерная гравировка: Гравировка закончена!\r\nСухой прогон: "
                                    "на станок ничего не отправлено."});
    EXPECT_FALSE(buttonsDuringJob);
    EXPECT_TRUE(field<QPushButton>("Command1")->isEnabled());
    for (int y = 1; y <= 20; ++y)
        for (int x = 1; x <= 30; ++x) {
            const std::uint8_t* p = form->picture().pixel(x, y);
            EXPECT_EQ(p[2], 255) << x << "," << y;
            EXPECT_EQ(p[0] == 90, y == 8 && (x - 4) % 4 == 0 && x < 26) << x << "," << y;
        }
}

// A job written to a G-code file from the window, when the job ends: the file's header names
// the window, its picture and its size in millimetres, as the batch command's header does.
TEST_F(Form3Test, JobWrittenAsGcodeNamesWindowPictureAndWidthInTheHeader) {
    const QString written = QDir(config.dir()).filePath("job.nc");
    ASSERT_GT(testProgram().link.open("gcode:" + written), 0);
    QImage picture = grey(8, 6, 255);
    picture.scanLine(2)[3] = 40;
    open(write("dot.bmp", picture));
    field<QCheckBox>("Check1")->setChecked(true);
    field<QPushButton>("Command1")->click();
    QFile file(written);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    testProgram().link.close();
    EXPECT_TRUE(text.contains(QStringLiteral(
        "работа: Гравирование лазером, картинка dot.bmp, ширина 200 мм, высота 150 мм\n")))
        << text.toStdString();
    EXPECT_TRUE(text.contains("\nG1 ")) << "the burnt pixel is in the file";
}

// A live job after a dry run: it starts on the picture as loaded, with no pixel reddened by the
// dry run, and ends without the dry run's note.
TEST_F(Form3Test, JobAfterADryRunStartsWithNoRedPixel) {
    auto script = std::make_shared<PortScript>();
    script->perLine = {"OK\r\n"};
    testProgram().link.adopt(
        testProgram().driver.attach(std::make_unique<ScriptedTransport>(script)));
    QImage picture = grey(12, 8, 255);
    for (int x = 0; x < 12; x += 2) picture.scanLine(3)[x] = 60;
    open(write("dots.bmp", picture));
    field<QPushButton>("Command1")->click();
    ASSERT_TRUE(script->written.isEmpty());
    const auto reddened = [this] {
        int count = 0;
        for (int y = 1; y <= form->picture().height; ++y)
            for (int x = 1; x <= form->picture().width; ++x)
                count += form->picture().pixel(x, y)[2] != form->picture().pixel(x, y)[0];
        return count;
    };
    ASSERT_EQ(reddened(), 6) << "the dry run marked its pixels";
    int reddenedAtStart = -1;
    QObject::connect(host(), &WindowJobHost::progressReported, form.get(), [&] {
        if (reddenedAtStart < 0) reddenedAtStart = reddened();
    });
    messages.clear();
    field<QCheckBox>("Check1")->setChecked(true);
    field<QPushButton>("Command1")->click();
    testProgram().link.close();
    EXPECT_EQ(reddenedAtStart, 0);
    EXPECT_EQ(reddened(), 6);
    EXPECT_EQ(script->written.size(), 7);
    EXPECT_EQ(messages, QStringList{"Лазерная гравировка: Гравировка закончена!"});
}

TEST_F(Form3Test, StopEndsTheJobAndSaysWhereTheLaserStands) {
    open(write("dark.bmp", grey(700, 700, 40)));
    QTimer::singleShot(0, form.get(), [this] { field<QPushButton>("StopButton")->click(); });
    field<QPushButton>("Command1")->click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("Стоп: Гравировка остановлена: лазер стоит над пикселем"))
        << messages[0].toStdString();
    EXPECT_EQ(form->picture().pixel(1, 700)[2], 40) << "the last row was never reached";
}

// An engraving stopped mid-way shows "Продолжить"; pressing it finishes the job with the lines
// of one uninterrupted run apart from the join, and the journal named the job and the picture.
TEST_F(Form3Test, AStoppedEngravingIsFinishedByContinueWithTheLinesOfOneRun) {
    QImage image = grey(30, 20, 255);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            if ((x / 3 + y) % 2) image.setPixel(x, y, qRgb(0, 0, 0));
    const QString path = write("p.bmp", image);
    open(path);
    PixelBuffer picture = form->picture();
    const QList<QByteArray> expected = LinesSentBy(
        MoveRules::Engraving, {{JobField::FinishedWidth, "200"}},
        [&](JobHost& host, MoveProtocol& protocol) { EngravePicture(picture, host, protocol); });
    ASSERT_GT(expected.size(), 100);
    const StoppedAndContinued run = stopAndContinue(*form, *field<QPushButton>("Command1"), 40);
    EXPECT_TRUE(run.shownAfterStop);
    EXPECT_EQ(run.job, "engrave");
    EXPECT_EQ(run.picture, path);
    EXPECT_GT(run.done, 0);
    EXPECT_TRUE(run.hiddenAfterEnd);
    EXPECT_TRUE(run.journalRemoved);
    EXPECT_GT(run.written.size(), expected.size()) << "the stop and the join add lines";
    EXPECT_EQ(withoutTheJoin(run, expected), expected);
    ASSERT_EQ(messages.size(), 2) << messages.join("\n").toStdString();
    EXPECT_EQ(messages[1], "Лазерная гравировка: Гравировка закончена!");
}

// "Начать с…" asks for a row of the picture (1 to its height) and engraves from there: the
// lines are those of the job started from that row, the rows above it not sent.
TEST_F(Form3Test, StartFromARowEngravesTheRowsFromThereOnly) {
    QImage image = grey(30, 20, 255);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            if ((x / 3 + y) % 2) image.setPixel(x, y, qRgb(0, 0, 0));
    open(write("p.bmp", image));
    PixelBuffer picture = form->picture();
    const auto engraveFrom = [&](std::optional<ResumeStart> start) {
        PixelBuffer copy = picture;
        return LinesSentBy(MoveRules::Engraving, {{JobField::FinishedWidth, "200"}},
                           [&](JobHost& host, MoveProtocol& protocol) {
                               protocol.trackJob(nullptr, start);
                               EngravePicture(copy, host, protocol);
                           });
    };
    const QList<QByteArray> whole = engraveFrom(std::nullopt);
    const QList<QByteArray> fromRow12 = engraveFrom(startFromSection(12));
    ASSERT_LT(fromRow12.size(), whole.size() / 2);

    auto script = std::make_shared<PortScript>();
    script->perLine = {"OK\r\n"};
    testProgram().link.adopt(
        testProgram().driver.attach(std::make_unique<ScriptedTransport>(script)));
    field<QCheckBox>("Check1")->setChecked(true);
    field<QPushButton>("StartFromButton")->click();
    StartFromDialog* dialog = form->findChild<StartFromDialog*>();
    ASSERT_NE(dialog, nullptr);
    auto* row = dialog->findChild<QSpinBox*>("StartFromNumber");
    EXPECT_EQ(row->maximum(), 20);
    EXPECT_TRUE(dialog->findChild<QComboBox*>("StartFromJob")->isHidden()) << "one job only";
    row->setValue(12);
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    EXPECT_EQ(script->written, fromRow12);
    EXPECT_EQ(messages, QStringList{"Лазерная гравировка: Гравировка закончена!"});
    EXPECT_FALSE(QFile::exists(journalPathFor(testProgram().config.ConfigPath())));

    // Below the last row to burn there is nothing to send, and the message says so.
    for (int y = 15; y < 20; ++y)
        for (int x = 0; x < 30; ++x) image.setPixel(x, y, qRgb(255, 255, 255));
    form->LoadEngravingPicture(write("p.bmp", image));
    script->written.clear();
    messages.clear();
    field<QPushButton>("StartFromButton")->click();
    dialog = form->findChild<StartFromDialog*>();
    ASSERT_NE(dialog, nullptr);
    dialog->findChild<QSpinBox*>("StartFromNumber")->setValue(18);
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    EXPECT_TRUE(script->written.isEmpty());
    EXPECT_EQ(messages, QStringList{"Лазерная гравировка: Гравировка закончена!\r\nС выбранной "
                                    "строки гравировать нечего: на станок ничего не отправлено."});
    testProgram().link.close();
}

}  // namespace
