#include "figures/ui/PictureFileDialog.h"

#include <QFileDialog>

const QString kOpenPictureTitle = QStringLiteral("Открыть картинку");
// Each entry shows its name and lists its patterns after it in parentheses.
const QString kPictureFilter =
    QStringLiteral("Pictures (*.bmp;*.jpg;*.jpeg;) (*.bmp *.jpg *.jpeg);;All Files (*.*) (*)");

QString openPictureFile(QWidget* owner, const QString& title, const QString& directory,
                        const QString& filter) {
    return QFileDialog::getOpenFileName(owner, title, directory, filter, nullptr,
                                        QFileDialog::HideNameFilterDetails);
}
