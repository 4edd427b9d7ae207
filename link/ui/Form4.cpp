#include "link/ui/Form4.h"

Form4::Form4(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Настройка и калибровка"));
}
