#pragma once

#include <QLineEdit>
#include <QPushButton>

// Controls keep the names the program gives them (Text6, Command1, …), so that tests and the
// windows' code can find them by name.

inline QLineEdit* namedField(const char* name, const QString& text, QWidget* parent) {
    auto* field = new QLineEdit(text, parent);
    field->setObjectName(QLatin1String(name));
    return field;
}

inline QPushButton* namedButton(const char* name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}
