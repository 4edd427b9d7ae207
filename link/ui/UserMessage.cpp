#include "link/ui/UserMessage.h"

#include <QMdiSubWindow>
#include <QMessageBox>

namespace {

QMessageBox::Icon iconOf(MessageKind kind) {
    return kind == MessageKind::Warning ? QMessageBox::Warning : QMessageBox::Information;
}

}  // namespace

void showMessageBox(QWidget* parent, const MessageTitle& title, const QString& text) {
    QMessageBox box(iconOf(title.kind), title.toString(), text, QMessageBox::Ok, parent);
    box.exec();
}

void showMessageBoxLater(QWidget* parent, const MessageTitle& title, const QString& text) {
    auto* box =
        new QMessageBox(iconOf(title.kind), title.toString(), text, QMessageBox::Ok, parent);
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
