#include "outline/ui/Form5.h"

#include "outline/ui/OutlineButtons.h"

Form5::Form5(ProgramContext& program, QWidget* parent)
    : FigureWindow(
          {MoveRules::Outlining, QStringLiteral("Настройка"), QStringLiteral("Гравировать"),
           kOutliningWindowKeys},
          {kOutlineImageKey, QStringLiteral("Лазер"), QStringLiteral("50"), QStringLiteral("40")},
          program, parent) {
    setWindowTitle(QStringLiteral("Обведение силуэтов и орнаментов"));
    addJobButtons(new OutlineButtons(*this));

    Form_Load();
}
