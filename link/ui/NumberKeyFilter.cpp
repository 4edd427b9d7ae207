#include "link/ui/NumberKeyFilter.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <optional>

#include "app/config/NumberText.h"

namespace {

constexpr QChar kComma = u',';

// Whether a typed character may enter a field, and as what (a "." becomes ","); nothing when it
// is dropped.
std::optional<QChar> acceptedCharacter(QChar c) {
    if ((c >= u'0' && c <= u'9') || c == u'-' || c == kComma) return c;
    if (c == u'.') return kComma;
    return std::nullopt;
}

// The text to enter for a pasted text: the number with "." as ","; nothing when it is not a
// number.
std::optional<QString> acceptedPaste(const QString& text) {
    if (!parseNumber(text)) return std::nullopt;
    QString entered = text.trimmed();
    entered.replace(u'.', kComma);
    return entered;
}

}  // namespace

void NumberKeyFilter::install(QLineEdit* field) {
    field->setAcceptDrops(false);
    field->installEventFilter(new NumberKeyFilter(field));
}

NumberKeyFilter::NumberKeyFilter(QLineEdit* field) : QObject(field), m_field(field) {}

bool NumberKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_field) return false;
    switch (event->type()) {
        case QEvent::KeyPress:
            return filterKey(static_cast<QKeyEvent*>(event));
        case QEvent::ContextMenu:
            showContextMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::MiddleButton) return false;
            // The selection paste of X11 goes through the same check as any other paste.
            const QClipboard* clipboard = QGuiApplication::clipboard();
            if (clipboard->supportsSelection()) pasteFrom(clipboard->text(QClipboard::Selection));
            return true;
        }
        case QEvent::InputMethod: {
            // Text committed by an input method is filtered like typed characters.
            auto* input = static_cast<QInputMethodEvent*>(event);
            QString kept;
            for (QChar c : input->commitString())
                if (const auto accepted = acceptedCharacter(c)) kept.append(*accepted);
            if (kept == input->commitString()) return false;
            if (!kept.isEmpty()) m_field->insert(kept);
            return true;
        }
        default:
            return false;
    }
}

bool NumberKeyFilter::filterKey(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste)) {
        pasteFrom(QGuiApplication::clipboard()->text());
        return true;
    }
    // Shortcuts with Ctrl or Alt and keys without a printable character (Backspace, Delete,
    // arrows, Tab, Home, End) are the field's own business.
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString text = event->text();
    if (text.isEmpty() || !text.at(0).isPrint()) return false;
    QString kept;
    for (QChar c : text)
        if (const auto accepted = acceptedCharacter(c)) kept.append(*accepted);
    if (kept == text) return false;
    if (!kept.isEmpty()) m_field->insert(kept);
    return true;
}

void NumberKeyFilter::pasteFrom(const QString& text) {
    if (m_field->isReadOnly()) return;
    if (const auto entered = acceptedPaste(text)) m_field->insert(*entered);
}

void NumberKeyFilter::showContextMenu(const QPoint& globalPosition) {
    // The field's own menu, in the program's language, with a paste that is checked like the
    // paste shortcut.
    auto* menu = new QMenu(m_field);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const bool editable = !m_field->isReadOnly();
    const bool selected = m_field->hasSelectedText();
    const auto add = [menu](const char* name, const QString& text, QKeySequence::StandardKey key,
                            bool enabled) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(key);
        action->setEnabled(enabled);
        return action;
    };
    connect(add("edit-undo", QStringLiteral("Отменить"), QKeySequence::Undo,
                editable && m_field->isUndoAvailable()),
            &QAction::triggered, m_field, &QLineEdit::undo);
    connect(add("edit-redo", QStringLiteral("Повторить"), QKeySequence::Redo,
                editable && m_field->isRedoAvailable()),
            &QAction::triggered, m_field, &QLineEdit::redo);
    menu->addSeparator();
    connect(add("edit-cut", QStringLiteral("Вырезать"), QKeySequence::Cut, editable && selected),
            &QAction::triggered, m_field, &QLineEdit::cut);
    connect(add("edit-copy", QStringLiteral("Копировать"), QKeySequence::Copy, selected),
            &QAction::triggered, m_field, &QLineEdit::copy);
    connect(add("edit-paste", QStringLiteral("Вставить"), QKeySequence::Paste,
                editable && !QGuiApplication::clipboard()->text().isEmpty()),
            &QAction::triggered, this, [this] { pasteFrom(QGuiApplication::clipboard()->text()); });
    connect(
        add("edit-delete", QStringLiteral("Удалить"), QKeySequence::Delete, editable && selected),
        &QAction::triggered, m_field, &QLineEdit::del);
    menu->addSeparator();
    connect(add("select-all", QStringLiteral("Выделить всё"), QKeySequence::SelectAll,
                !m_field->text().isEmpty()),
            &QAction::triggered, m_field, &QLineEdit::selectAll);
    menu->popup(globalPosition);
}
