#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <algorithm>
#include <memory>

#include "app/config/Config.h"
#include "app/config/ProgramSettings.h"
#include "link/protocol/JobJournal.h"
#include "link/protocol/MachineLink.h"
#include "link/ui/StartFromDialog.h"
#include "link/ui/WindowJobHost.h"
#include "scanner/ScanInterpolation.h"
#include "scanner/ui/Form2.h"
#include "tests/support/ConfigTestSupport.h"
#include "tests/support/TestProgram.h"

// The scanner window as a user drives it, without a port: fields, keys, the corner handle, a dry
// scan, the interpolation and the saved picture.

namespace {

class Form2Test : public ::testing::Test {
protected:
    void SetUp() override {
        testProgram().settings.values() = ProgramSettings();
        open();
    }
    void TearDown() override {
        m_form.reset();
        testProgram().settings.values() = ProgramSettings();
    }
    void open() {
        m_form = std::make_unique<Form2>(testProgram().context());
        auto* host = m_form->findChild<WindowJobHost*>();
        ASSERT_NE(host, nullptr);
        host->setMessageFunction([this](QWidget*, const MessageTitle& title, const QString& text) {
            m_messages << title.toString() + ": " + text;
        });
        m_form->setSaveFileFunction(
            [this](QWidget*, const QString& title, const QString& path, const QString& filter) {
                m_dialogs << title + "|" + path + "|" + filter;
                return m_saveTo;
            });
    }
    template <class T = QLineEdit>
    T* get(const char* name) const {
        auto* found = m_form->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString text(const char* name) const { return get(name)->text(); }
    // "Сканировать", "Стоп" pressed when the fifth point has been probed.
    void stopAtFifthPoint() {
        const QMetaObject::Connection stopper =
            QObject::connect(m_form->findChild<WindowJobHost*>(), &WindowJobHost::progressReported,
                             [this](const JobProgress& progress) {
                                 if (progress.done == 5) get<QPushButton>("StopButton")->click();
                             });
        get<QPushButton>("Command6")->click();
        QObject::disconnect(stopper);
    }
    void leave(const char* name) {
        QFocusEvent out(QEvent::FocusOut);
        QApplication::sendEvent(get(name), &out);
    }
    void mouse(QWidget* target, QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, target->mapToGlobal(at), Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }

    ScopedConfig m_config;
    std::unique_ptr<Form2> m_form;
    QStringList m_messages;
    QStringList m_dialogs;  // title|path|filter of each save dialog
    QString m_saveTo;       // what the save dialog answers; empty: cancelled
};

TEST_F(Form2Test, FirstStartWithoutConfigAndRestoreAfterClose) {
    EXPECT_EQ(m_form->windowTitle(), QStringLiteral("3D Сканер"));
    const std::pair<const char*, const char*> defaults[] = {{"Text6", "200"}, {"Text7", "200"},
                                                            {"Text8", "100"}, {"Text9", "100"},
                                                            {"Text3", "6"},   {"Text4", "5"}};
    for (const auto& [name, value] : defaults) EXPECT_EQ(text(name), value) << name;
    EXPECT_EQ(get<QWidget>("Pict")->size(), QSize(222, 222));
    EXPECT_EQ(m_form->scanPicture().size(), QSize(222, 222));
    EXPECT_EQ(m_form->scanPicture().greyAt(10, 10), 0);
    EXPECT_EQ(m_form->scanPicture().greyAt(30, 10), 200);
    EXPECT_EQ(get<QLabel>("Label4")->text(), QStringLiteral("Ошибка открытия Com-порта"));
    EXPECT_FALSE(get<QCheckBox>("Check1")->isEnabled());
    EXPECT_FALSE(get<QPushButton>("Command3")->isEnabled());
    // The handle's centre on the picture's lower-right corner.
    const QRect pict = get<QWidget>("Pict")->geometry();
    EXPECT_EQ(get<QWidget>("Label12")->geometry().center(), pict.bottomRight() + QPoint(1, 1));

    get("Text6")->setText("180");
    get("Text7")->setText("120");
    get("Text8")->setText("90");
    get("Text3")->setText("8");
    get("Text4")->setText("7");
    EXPECT_FALSE(get<QCheckBox>("Check2")->isChecked()) << "no return by default";
    get<QCheckBox>("Check2")->setChecked(true);
    m_form->close();
    EXPECT_TRUE(m_config.bytes().contains("scanner_return_to_start=1"));
    open();
    EXPECT_TRUE(get<QCheckBox>("Check2")->isChecked());
    EXPECT_EQ(text("Text6"), "180");
    EXPECT_EQ(text("Text3"), "8");
    EXPECT_EQ(text("Text9"), "60");  // 120 × 90 ÷ 180, derived anew
    EXPECT_EQ(get<QWidget>("Pict")->size(), QSize(202, 142));
}

TEST_F(Form2Test, AreaFieldsFollowThePictureProportion) {
    get("Text6")->setText("200");
    get("Text7")->setText("150");
    get("Text8")->setText("120");
    leave("Text8");
    EXPECT_EQ(text("Text9"), "90");
    get("Text9")->setText("75");
    leave("Text9");
    EXPECT_EQ(text("Text8"), "100");
    get("Text6")->setText("0");
    leave("Text8");
    EXPECT_EQ(text("Text9"), "");
}

TEST_F(Form2Test, CountKeysDigitsOnlyFiveAtMostBackspaceAlways) {
    QLineEdit* field = get("Text3");
    field->setFocus();
    field->setText("6");
    field->end(false);
    QTest::keyClicks(field, "a-.");
    EXPECT_EQ(field->text(), "6");
    QTest::keyClicks(field, "23456");
    EXPECT_EQ(field->text(), "62345");
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(field->text(), "6234");
    field->setText("4");
    QTest::keyClick(field, Qt::Key_Return);  // the grid is redrawn for 4 columns
    EXPECT_EQ(m_form->scanPicture().greyAt(10 + 66, 10), 0);
}

TEST_F(Form2Test, DragTheCornerHandle) {
    auto* handle = get<QWidget>("Label12");
    auto* stand = get<QWidget>("Label13");
    auto* pict = get<QWidget>("Pict");
    m_form->show();
    // The handle's left edge stands 6 pixels left of the corner: pressed there, the picture's
    // width in twips is 15 × (handle left + mouse x − picture left).
    const int toWidth300 = 300 - (handle->x() - pict->x());
    const QPointF still(6, 6);  // keeps the height: the handle's centre is the corner
    mouse(handle, QEvent::MouseButtonPress, still, Qt::LeftButton);
    EXPECT_TRUE(stand->isVisible());
    mouse(handle, QEvent::MouseMove, QPointF(toWidth300, 6), Qt::LeftButton);
    EXPECT_EQ(pict->size(), QSize(300, 222));
    EXPECT_EQ(text("Text6"), "275");  // 5 × ((300 − 22) ÷ 5)
    EXPECT_EQ(text("Text7"), "200");
    EXPECT_EQ(m_form->scanPicture().size(), QSize(300, 222));
    EXPECT_EQ(stand->geometry().center(), pict->geometry().bottomRight() + QPoint(1, 1));
    // Only the left button alone drags.
    mouse(handle, QEvent::MouseMove, QPointF(toWidth300 + 100, 6), Qt::RightButton);
    EXPECT_EQ(pict->width(), 300);
    mouse(handle, QEvent::MouseButtonRelease, QPointF(toWidth300, 6), Qt::NoButton);
    EXPECT_FALSE(stand->isVisible());
    EXPECT_EQ(handle->geometry().center(), pict->geometry().bottomRight() + QPoint(1, 1));
}

// A dry scan, then "Интерполировать" and "Сохранить в BMP" as the buttons do them.
TEST_F(Form2Test, DryScanInterpolateAndSave) {
    get<QPushButton>("Command2")->click();
    EXPECT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages.value(0).contains(QStringLiteral("Сначала выполните сканирование")));
    m_messages.clear();

    get<QPushButton>("Command6")->click();
    EXPECT_EQ(m_messages, QStringList{QStringLiteral("Strugal: Сканирвание завершено\r\nСухой "
                                                     "прогон: на станок ничего не отправлено.")});
    const ScanRecord& record = m_form->scanRecord();
    ASSERT_EQ(record.map.width, 6);
    EXPECT_EQ(get<QLabel>("Label9")->text(),
              QStringLiteral("Данные: ") + QString::number(record.map.at(6, 5)));
    const ScanPicture& picture = m_form->scanPicture();
    EXPECT_EQ(picture.greyAt(11, 10), record.map.at(1, 1));
    m_messages.clear();

    get<QPushButton>("Command2")->click();
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('\n'));
    EXPECT_EQ(picture.greyAt(10, 10), record.map.at(1, 1));  // the centre kept
    EXPECT_EQ(picture.greyAt(30, 40),
              std::clamp(InterpolateAt(record.map, {200, 200}, 20, 30), 0, 255));

    // "Сохранить в BMP" asks where, at "image.bmp" beside the program; cancelled, it writes
    // nothing; otherwise the message names the file written.
    get<QPushButton>("Command1")->click();
    EXPECT_EQ(m_dialogs, QStringList{"Сохранить изображение|" + ProgramFilePath("image.bmp") +
                                     "|Рисунок BMP (*.bmp)"});
    EXPECT_TRUE(m_messages.isEmpty());
    m_saveTo = QDir(m_config.dir()).filePath("скан.bmp");
    get<QPushButton>("Command1")->click();
    EXPECT_EQ(m_messages, QStringList{"Сохранение: Изображение сохранено: " +
                                      QDir::toNativeSeparators(m_saveTo)});
    EXPECT_EQ(QImage(m_saveTo).size(), QSize(222, 222));

    // A count changed after the scan: the map no longer fits and interpolation says so.
    m_messages.clear();
    get("Text3")->setText("8");
    leave("Text3");
    get<QPushButton>("Command2")->click();
    EXPECT_TRUE(m_messages.value(0).contains(QStringLiteral("изменились")))
        << qPrintable(m_messages.value(0));
}

// A live scan on the virtual controller's probe, the probe returned to the start after each:
// one stopped after five points and continued, and one started from point 7 with the points
// before it kept, both end with the samples and heights of one uninterrupted scan, as does one
// continued in a new window from its journal. A chosen start on a grid the window has not
// scanned is refused.
TEST_F(Form2Test, AStoppedScanAndOneFromAChosenPointEndAsOneScan) {
    ASSERT_GT(testProgram().link.open(QStringLiteral("sim:probe")), 0);
    get("Text3")->setText("4");
    get("Text4")->setText("3");
    leave("Text4");
    get<QCheckBox>("Check1")->setChecked(true);
    get<QCheckBox>("Check2")->setChecked(true);
    get<QPushButton>("Command6")->click();
    const ScanRecord whole = m_form->scanRecord();
    ASSERT_EQ(whole.taken, 12);
    ASSERT_EQ(whole.measured, 12);
    ASSERT_NE(std::minmax_element(whole.samples.values.begin(), whole.samples.values.end()).first,
              std::minmax_element(whole.samples.values.begin(), whole.samples.values.end()).second);
    const auto sameAsWhole = [&] {
        const ScanRecord& now = m_form->scanRecord();
        EXPECT_EQ(now.samples, whole.samples);
        EXPECT_EQ(now.map, whole.map);
        EXPECT_EQ(now.heightsMm, whole.heightsMm);
        EXPECT_EQ(now.measured, 12);
    };

    m_messages.clear();
    stopAtFifthPoint();
    ASSERT_LT(m_form->scanRecord().taken, 12);
    ASSERT_FALSE(get<QPushButton>("ContinueButton")->isHidden());
    get<QPushButton>("ContinueButton")->click();
    sameAsWhole();
    EXPECT_TRUE(m_messages.last().startsWith("Strugal: Сканирвание завершено"))
        << qPrintable(m_messages.join('\n'));

    get<QPushButton>("StartFromButton")->click();
    auto* dialog = m_form->findChild<StartFromDialog*>();
    ASSERT_NE(dialog, nullptr);
    auto* point = dialog->findChild<QSpinBox*>("StartFromNumber");
    EXPECT_EQ(point->maximum(), 12);
    point->setValue(7);
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    sameAsWhole();

    m_messages.clear();
    get("Text4")->setText("5");
    leave("Text4");
    get<QPushButton>("StartFromButton")->click();
    dialog = m_form->findChild<StartFromDialog*>();
    ASSERT_NE(dialog, nullptr);
    dialog->findChild<QSpinBox*>("StartFromNumber")->setValue(3);
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    EXPECT_EQ(m_messages, QStringList{"Ошибка: Начать с точки 3 нельзя: точки до неё берутся из "
                                      "прежнего сканирования сетки 4 × 5, а его в окне нет. "
                                      "Начните с точки 1."});
    EXPECT_EQ(m_form->scanRecord().samples, whole.samples) << "nothing was scanned";

    // Stopped again, then the program starts anew: a new window takes the journal's grid and
    // area and goes on with the probe's answers the journal kept.
    get("Text4")->setText("3");
    leave("Text4");
    stopAtFifthPoint();
    const std::optional<JobJournalRecord> journal =
        readJobJournal(journalPathFor(testProgram().config.ConfigPath()));
    ASSERT_TRUE(journal);
    open();
    m_form->offerJournal(*journal);
    EXPECT_EQ(text("Text3"), "4");
    EXPECT_EQ(text("Text4"), "3");
    get<QCheckBox>("Check1")->setChecked(true);
    get<QPushButton>("ContinueButton")->click();
    sameAsWhole();
    testProgram().link.close();
}

}  // namespace
