#include <gtest/gtest.h>

#include <QLineEdit>
#include <memory>
#include <span>

#include "app/config/ConfigKeys.h"
#include "engrave/ui/Form3.h"
#include "link/ui/Form4.h"
#include "mill/ui/Form1.h"
#include "outline/ui/Form5.h"
#include "scanner/ui/Form2.h"
#include "tests/support/ConfigTestSupport.h"
#include "tests/support/TestProgram.h"

namespace {

struct StoredField {
    const char* field;  // object name of the text box
    const char* key;
    QString defaultValue;
};

struct FormCase {
    QWidget* (*make)();
    const char* caption;
    std::vector<StoredField> loaded;    // every key read at load, in its order
    std::vector<StoredField> unload;    // the keys written at unload, in their order
    QByteArray checkBoxesWritten = {};  // the check boxes' keys written after them, cleared
};

template <class Form>
QWidget* makeForm() {
    return new Form(testProgram().context());
}

QString fieldText(QWidget* form, const char* name) {
    auto* edit = form->findChild<QLineEdit*>(name);
    return edit ? edit->text() : QStringLiteral("<no field %1>").arg(name);
}

// Picture keys default to a file in the program's directory, known only once the application
// object exists.
std::vector<FormCase> formCases() {
    const StoredField millWidth{"Text6", "cncrez_width", "200"};
    const StoredField millDepth{"Text1", "cncrez_depth", "10"};
    const StoredField millDiameter{"Text3", "mill_diameter", "3"};
    const StoredField meshWidth{"Text3", "scanner_mesh_width", "6"};
    const StoredField meshHeight{"Text4", "scanner_mesh_height", "5"};
    const StoredField pictureWidth{"Text6", "scanner_picture_width", "200"};
    const StoredField pictureHeight{"Text7", "scanner_picture_height", "200"};
    const StoredField areaWidth{"Text8", "scanner_area_width", "100"};
    const StoredField etchingWidth{"Text6", "Etching_width", "200"};
    const StoredField etching2Width{"Text6", "Etching2_width", "200"};
    const StoredField millImage{"Text2", "Image", DefaultPicturePath("ornament.bmp")};
    const StoredField etchingImage{"Text1", "Etching_image", DefaultPicturePath("gepard2.jpg")};
    const StoredField etching2Image{"Text1", "Etching2_image", DefaultPicturePath("ornament.bmp")};
    return {
        {&makeForm<Form1>,
         "Strugal",
         {millWidth, millDepth, millDiameter, millImage},
         {millWidth, millDepth, millDiameter}},
        {&makeForm<Form2>,
         "3D Сканер",
         {pictureWidth, pictureHeight, areaWidth, meshWidth, meshHeight},
         {meshWidth, meshHeight, pictureWidth, pictureHeight, areaWidth},
         "scanner_return_to_start=0\n"},
        {&makeForm<Form3>, "Гравирование лазером", {etchingImage, etchingWidth}, {etchingWidth}},
        {&makeForm<Form5>,
         "Обведение силуэтов и орнаментов",
         {etching2Width, etching2Image},
         {etching2Width}},
        {&makeForm<Form4>, "Настройка и калибровка", {}, {}},
    };
}

class FormTest : public testing::TestWithParam<int> {
protected:
    ScopedConfig config;
};

}  // namespace

// Without a file the window shows the defaults; closing it writes its own fields as typed, in
// its order, and no key that is not its own to write (the picture keys); opened again over a
// file, it shows the stored text exactly.
TEST_P(FormTest, LoadsAndUnloadsItsKeys) {
    static const std::vector<FormCase> cases = formCases();
    const FormCase& form = cases[GetParam()];
    std::unique_ptr<QWidget> window(form.make());
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8(form.caption));
    for (const StoredField& f : form.loaded) {
        SCOPED_TRACE(f.key);
        EXPECT_EQ(fieldText(window.get(), f.field), f.defaultValue);
    }

    QByteArray expected = "[CNC]\n";
    int n = 0;
    for (const StoredField& f : form.unload) {
        const QString typed = QStringLiteral("%1.5 ").arg(++n);
        window->findChild<QLineEdit*>(f.field)->setText(typed);
        expected += QByteArray(f.key) + '=' + typed.toUtf8() + '\n';
    }
    expected += form.checkBoxesWritten;
    EXPECT_TRUE(window->close());
    EXPECT_EQ(config.bytes(), form.unload.empty() ? QByteArray() : expected);

    QByteArray file = "[CNC]\n";
    for (const StoredField& f : form.loaded) file += QByteArray(f.key) + "= 1,5 " + f.key + '\n';
    config.write(file);
    window.reset(form.make());
    for (const StoredField& f : form.loaded) {
        SCOPED_TRACE(f.key);
        EXPECT_EQ(fieldText(window.get(), f.field), QStringLiteral(" 1,5 %1").arg(f.key));
    }
}

std::string formName(const testing::TestParamInfo<int>& info) {
    static const char* const kNames[] = {"Form1", "Form2", "Form3", "Form5", "Form4"};
    return kNames[info.param];
}

INSTANTIATE_TEST_SUITE_P(Windows, FormTest, testing::Range(0, 5), formName);
