#include "link/ui/UserMessage.h"

#include <QApplication>
#include <QGridLayout>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QSpacerItem>

namespace {

// Room in a title bar beside the title: the window's icon and its buttons.
constexpr int kTitleBarRoom = 160;

QMessageBox::Icon iconOf(MessageKind kind) {
    return kind == MessageKind::Warning ? QMessageBox::Warning : QMessageBox::Information;
}

// A box sized to a short text would be narrower than its title, which the title bar then
// elides: a spacer across the box's grid keeps it wide enough for the title (in a bold title
// font, to be safe) and the title bar's buttons.
void fitTitle(QMessageBox& box) {
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    const int width = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + kTitleBarRoom;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
}

}  // namespace

void showMessageBox(QWidget* parent, const MessageTitle& title, const QString& text) {
    QMessageBox box(iconOf(title.kind), title.toString(), text, QMessageBox::Ok, parent);
    fitTitle(box);
    box.exec();
}

void showMessageBoxLater(QWidget* parent, const MessageTitle& title, const QString& text) {
    auto* box =
        new QMessageBox(iconOf(title.kind), title.toString(), text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    fitTitle(*box);
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
