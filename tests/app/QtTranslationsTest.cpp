#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLocale>
#include <QPushButton>

#include "app/ui/QtTranslations.h"

namespace {

// The file dialog speaks Russian like the rest of the program: its buttons and labels come
// from Qt's own translation, installed at start-up.
TEST(QtTranslations, TheFileDialogIsInRussian) {
    ASSERT_TRUE(installQtTranslations(*QCoreApplication::instance()))
        << "Qt's Russian translation (Debian package qt6-translations-l10n) is missing";
    QFileDialog dialog(nullptr, QStringLiteral("Открыть картинку"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    const QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), QStringLiteral("Отмена"));
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Look in:"));
    EXPECT_EQ(QLocale().language(), QLocale::Russian) << "dates and sizes in the dialog";
}

}  // namespace
