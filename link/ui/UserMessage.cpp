#include "link/ui/UserMessage.h"

#include <QMdiSubWindow>
#include <QMessageBox>

void showMessageBox(QWidget* parent, const QString& title, const QString& text) {
    const QMessageBox::Icon icon =
        title == QStringLiteral("Ошибка") ? QMessageBox::Warning : QMessageBox::Information;
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

void showMessageBoxLater(QWidget* parent, const QString& title, const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QMetaObject::invokeMethod(
        box, [box] { box->open(); }, Qt::QueuedConnection);
}

void closeHostingWindow(QWidget* widget) {
    if (auto* frame = qobject_cast<QMdiSubWindow*>(widget->parentWidget())) {
        frame->close();
        return;
    }
    widget->close();
}
