#include "link/ui/ElidedLabel.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

// A two-line label breaks only between the pieces, fills the first line before the second, and
// cuts only what the second line cannot hold (the whole text is then its tool tip). Its height
// is that of two lines whatever the text.
TEST(ElidedLabel, TwoLinesBreakOnlyBetweenPiecesAndCutOnlyTheRest) {
    ElidedLabel label(2, QStringLiteral("  "));
    const QFontMetrics metrics = label.fontMetrics();
    const QString first = QStringLiteral("Инструмент: X 130,425");
    const QString second = QStringLiteral("Y 32,745");
    const QString third = QStringLiteral("Z -10,2 мм, пиксель 295, 135");
    const QString whole = first + "  " + second + "  " + third;
    const int heightOfTwo = label.sizeHint().height();
    const struct {
        int width;
        QStringList shown;
    } cases[] = {
        {metrics.horizontalAdvance(whole) + 4, {whole}},
        {metrics.horizontalAdvance(first + "  " + second) + 4, {first + "  " + second, third}},
        {metrics.horizontalAdvance(first) + 4,
         {first, metrics.elidedText(second + "  " + third, Qt::ElideRight,
                                    metrics.horizontalAdvance(first) + 4)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        label.resize(c.width, heightOfTwo);
        label.setFullText(whole);
        EXPECT_EQ(label.text().split('\n'), c.shown);
        EXPECT_EQ(label.toolTip().isEmpty(), c.shown.join("  ") == whole);
        EXPECT_EQ(label.sizeHint().height(), heightOfTwo);
        EXPECT_EQ(label.fullText(), whole);
    }
    label.setFullText({});
    EXPECT_EQ(label.sizeHint().height(), heightOfTwo);
    EXPECT_GE(heightOfTwo, 2 * metrics.lineSpacing());
}

}  // namespace
