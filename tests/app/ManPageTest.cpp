#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include "tests/support/CncProcess.h"

namespace {

using Names = QSet<QString>;

QString readManPage() {
    QFile file(QStringLiteral(CNC_MAN_PAGE));
    if (!file.open(QIODevice::ReadOnly)) return {};
    // In roff a minus sign is written "\-", and "\fB", "\fI", "\fR" switch fonts.
    return QString::fromUtf8(file.readAll())
        .replace(QStringLiteral("\\-"), QStringLiteral("-"))
        .remove(QRegularExpression(QStringLiteral("\\\\f[BIRP]")));
}

Names matches(const QString& text, const QString& pattern) {
    Names names;
    QRegularExpressionMatchIterator it =
        QRegularExpression(pattern, QRegularExpression::MultilineOption).globalMatch(text);
    while (it.hasNext()) names.insert(it.next().captured(1));
    return names;
}

// Every "--name" of the text, wherever it stands ("--" alone, which ends the options, is none).
Names optionsIn(const QString& text) {
    return matches(text, QStringLiteral("(?<![\\w-])(--[a-z][a-z-]*)"));
}

// The first word of each tagged paragraph of section COMMANDS.
Names manPageCommands(const QString& page) {
    const qsizetype start = page.indexOf(QStringLiteral("\n.SH COMMANDS\n"));
    if (start < 0) return {};
    const qsizetype end = page.indexOf(QStringLiteral("\n.SH "), start + 1);
    return matches(page.mid(start, end - start), QStringLiteral("^\\.TP\\n([a-z-]+)\\b"));
}

std::string listed(const Names& names) {
    QStringList list(names.begin(), names.end());
    list.sort();
    return list.join(u' ').toStdString();
}

}  // namespace

TEST(ManPage, NamesTheCommandsAndOptionsOfTheHelpAndTheProgramsVersion) {
    const QString page = readManPage();
    ASSERT_FALSE(page.isEmpty()) << CNC_MAN_PAGE;
    const ProcessRun help = runCnc({"--help"});
    ASSERT_EQ(help.exitCode, 0);

    const Names helpCommands =
        matches(help.out, QStringLiteral("^  cnc \\[ПАРАМЕТРЫ\\] ([a-z-]+)"));
    EXPECT_EQ(helpCommands.size(), 8) << listed(helpCommands);
    EXPECT_EQ(listed(manPageCommands(page)), listed(helpCommands));

    const Names helpOptions = optionsIn(help.out);
    EXPECT_TRUE(helpOptions.contains("--config") && helpOptions.contains("--error-at"))
        << listed(helpOptions);
    EXPECT_EQ(listed(optionsIn(page)), listed(helpOptions));

    const ProcessRun version = runCnc({"--version"});
    ASSERT_TRUE(version.out.startsWith("cnc ")) << version.out.toStdString();
    const QString title = QStringLiteral("\"%1\"").arg(version.out.trimmed());
    EXPECT_TRUE(page.section(u'\n', 0, 0).contains(title)) << title.toStdString();
}
