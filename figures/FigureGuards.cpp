#include "figures/FigureGuards.h"

QString notParsedMessage() {
    return QStringLiteral(
        "Изображение не загружено или не разобрано.\r\n"
        "Если изображение загружено, нажмите кнопку 'Разобрать'.\r\n"
        "Необходимо, чтобы программа построила дерево вложения фигур.");
}

QString noFigureSelectedMessage() {
    return QStringLiteral("Не выбрана фигура.\r\nВыберите фигуру в дереве.");
}

std::optional<std::int32_t> figureOfNodeKey(const QString& key) {
    if (key.size() < 2 || key[0] != u'P') return std::nullopt;
    for (qsizetype i = 1; i < key.size(); ++i)
        if (!key[i].isDigit() || key[i].unicode() > u'9') return std::nullopt;
    bool ok = false;
    const int figure = key.mid(1).toInt(&ok);
    if (!ok) return std::nullopt;
    return figure;
}

QString nodeKeyOfFigure(std::int32_t figure) {
    return QStringLiteral("P%1").arg(figure);
}
