#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QLineEdit>
#include <memory>

#include "engrave/ui/Form3.h"
#include "link/ui/Form4.h"
#include "mill/ui/Form1.h"
#include "outline/ui/Form5.h"
#include "scanner/ui/Form2.h"
#include "tests/app/ConfigTestSupport.h"

namespace {

struct StoredField {
    const char* field;  // object name of the text box
    const char* key;
    QString defaultValue;
};

struct FormCase {
    QWidget* (*make)();
    const char* caption;
    std::vector<StoredField> loaded;  // every key read at load
    std::vector<StoredField> unload;  // the keys written at unload, in their order
};

template <class Form>
QWidget* makeForm() {
    return new Form;
}

QString field(QWidget* form, const char* name) {
    auto* edit = form->findChild<QLineEdit*>(name);
    return edit ? edit->text() : QStringLiteral("<no field %1>").arg(name);
}

const StoredField kMillWidth{"Text6", "cncrez_width", "200"};
const StoredField kMillDepth{"Text1", "cncrez_depth", "10"};
const StoredField kMillDiameter{"Text3", "mill_diameter", "3"};
const StoredField kMeshWidth{"Text3", "scanner_mesh_width", "6"};
const StoredField kMeshHeight{"Text4", "scanner_mesh_height", "5"};
const StoredField kPictureWidth{"Text6", "scanner_picture_width", "200"};
const StoredField kPictureHeight{"Text7", "scanner_picture_height", "200"};
const StoredField kAreaWidth{"Text8", "scanner_area_width", "100"};
const StoredField kEtchingWidth{"Text6", "Etching_width", "200"};
const StoredField kEtching2Width{"Text6", "Etching2_width", "200"};

// Picture keys default to a file in the program's directory, known only once the application
// object exists.
std::vector<FormCase> formCases() {
    const StoredField millImage{"Text2", "Image", ProgramFilePath("ornament.bmp")};
    const StoredField etchingImage{"Text1", "Etching_image", ProgramFilePath("gepard2.jpg")};
    const StoredField etching2Image{"Text1", "Etching2_image", ProgramFilePath("ornament.bmp")};
    return {
        {&makeForm<Form1>,
         "Strugal",
         {kMillWidth, kMillDepth, kMillDiameter, millImage},
         {kMillWidth, kMillDepth, kMillDiameter}},
        {&makeForm<Form2>,
         "3D Сканер",
         {kPictureWidth, kPictureHeight, kAreaWidth, kMeshWidth, kMeshHeight},
         {kMeshWidth, kMeshHeight, kPictureWidth, kPictureHeight, kAreaWidth}},
        {&makeForm<Form3>, "Гравирование лазером", {etchingImage, kEtchingWidth}, {kEtchingWidth}},
        {&makeForm<Form5>,
         "Обведение силуэтов и орнаментов",
         {kEtching2Width, etching2Image},
         {kEtching2Width}},
        {&makeForm<Form4>, "Настройка и калибровка", {}, {}},
    };
}

class FormTest : public testing::TestWithParam<int> {
protected:
    const FormCase& form() {
        static const std::vector<FormCase> cases = formCases();
        return cases[GetParam()];
    }
    ScopedConfig config;
};

}  // namespace

TEST_P(FormTest, WithoutConfigFileShowsTheDefaults) {
    std::unique_ptr<QWidget> window(form().make());
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8(form().caption));
    for (const StoredField& f : form().loaded) {
        SCOPED_TRACE(f.key);
        EXPECT_EQ(field(window.get(), f.field), f.defaultValue);
    }
}

// The windows that read keys (the settings window reads none).
class FormWithKeysTest : public FormTest {};

TEST_P(FormWithKeysTest, LoadsStoredValuesExactlyAndEmptyOnesAsDefaults) {
    QByteArray file = "[CNC]\n";
    for (const StoredField& f : form().loaded) file += QByteArray(f.key) + "= 1,5 " + f.key + '\n';
    config.write(file);
    std::unique_ptr<QWidget> window(form().make());
    for (const StoredField& f : form().loaded) {
        SCOPED_TRACE(f.key);
        EXPECT_EQ(field(window.get(), f.field), QStringLiteral(" 1,5 %1").arg(f.key));
    }

    file = "[CNC]\n";
    for (const StoredField& f : form().loaded) file += QByteArray(f.key).toUpper() + "=\n";
    config.write(file);
    window.reset(form().make());
    for (const StoredField& f : form().loaded) {
        SCOPED_TRACE(f.key);
        EXPECT_EQ(field(window.get(), f.field), f.defaultValue);
    }
}

// Starting from no file, the keys appear in the order the window writes them, and a window
// writes no key of the table that is not its own to write at unload (the picture keys).
TEST_P(FormTest, ClosingWritesItsFieldsAsTypedInItsOrder) {
    std::unique_ptr<QWidget> window(form().make());
    QByteArray expected = "[CNC]\n";
    int n = 0;
    for (const StoredField& f : form().unload) {
        const QString typed = QStringLiteral("%1.5 ").arg(++n);
        window->findChild<QLineEdit*>(f.field)->setText(typed);
        expected += QByteArray(f.key) + '=' + typed.toUtf8() + '\n';
    }
    EXPECT_TRUE(window->close());
    if (form().unload.empty()) {
        EXPECT_FALSE(QFile::exists(config.path()));
    } else {
        EXPECT_EQ(config.bytes(), expected);
    }
}

std::string formName(const testing::TestParamInfo<int>& info) {
    static const char* const kNames[] = {"Form1", "Form2", "Form3", "Form5", "Form4"};
    return kNames[info.param];
}

INSTANTIATE_TEST_SUITE_P(Windows, FormTest, testing::Range(0, 5), formName);
INSTANTIATE_TEST_SUITE_P(Windows, FormWithKeysTest, testing::Range(0, 4), formName);
