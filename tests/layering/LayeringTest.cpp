#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <map>
#include <set>
#include <vector>

// Every #include of the program against its layers: a folder may include only itself and the
// folders below it. The table says which are below each; it is the build's library graph.

namespace {

struct Layer {
    const char* folder;  // a folder of the program, or one file ("app/Program")
    std::vector<const char*> below;
};

const char* const kLink[] = {"link/protocol", "link/job", "link/serial", "app/config"};

std::vector<const char*> with(std::initializer_list<const char*> own) {
    std::vector<const char*> all(own);
    all.insert(all.end(), std::begin(kLink), std::end(kLink));
    return all;
}

// From the bottom up.
const std::vector<Layer>& layers() {
    static const std::vector<Layer> table = {
        {"app/config", {}},
        {"link/serial", {}},
        {"link/job", {"link/serial"}},
        {"link/protocol", {"link/job", "link/serial", "app/config"}},
        {"link/gcode", with({})},
        {"link/virtual", with({"link/gcode"})},
        {"app/Program", with({"link/gcode", "link/virtual", "surface"})},
        {"figures", {"app/config"}},
        {"surface", {"app/config"}},
        {"mill", with({"figures", "surface"})},
        {"outline", with({"mill", "figures", "surface"})},
        {"engrave", with({"figures"})},
        {"scanner", with({"figures", "surface"})},
        {"link/ui", with({})},
        {"figures/ui", with({"figures", "link/ui"})},
        {"mill/ui", with({"mill", "figures", "surface", "figures/ui", "link/ui"})},
        {"outline/ui", with({"outline", "mill", "figures", "surface", "figures/ui", "link/ui"})},
        {"engrave/ui", with({"engrave", "figures", "figures/ui", "link/ui"})},
        {"scanner/ui", with({"scanner", "figures", "surface", "link/ui"})},
        {"app/batch", with({"app/Program", "link/gcode", "link/virtual", "figures", "surface",
                            "mill", "outline", "engrave", "scanner"})},
        {"app/ui",
         with({"app/Program", "figures", "surface", "mill", "outline", "engrave", "scanner",
               "link/ui", "figures/ui", "mill/ui", "outline/ui", "engrave/ui", "scanner/ui"})},
    };
    return table;
}

// The layer a path of the program belongs to: the longest folder of the table it lies in.
const Layer* layerOf(const QString& path) {
    const Layer* found = nullptr;
    qsizetype longest = 0;
    for (const Layer& layer : layers()) {
        const QString folder = QLatin1String(layer.folder);
        const bool inside = path.startsWith(folder + u'/') || path.startsWith(folder + u'.');
        if (inside && folder.size() > longest) {
            found = &layer;
            longest = folder.size();
        }
    }
    return found;
}

struct Include {
    QString file;      // relative to the source root
    QString included;  // as written between the quotes
};

// "FILE includes INCLUDED" for every include that reaches a layer the file's layer may not use.
QStringList violations(const std::vector<Include>& includes) {
    QStringList found;
    for (const Include& include : includes) {
        const Layer* from = layerOf(include.file);
        const Layer* to = layerOf(include.included);
        if (!from || !to || from == to) continue;
        bool allowed = false;
        for (const char* below : from->below) allowed |= QLatin1String(below) == to->folder;
        if (!allowed) found << include.file + QStringLiteral(" includes ") + include.included;
    }
    return found;
}

std::vector<Include> programIncludes(const QString& root) {
    static const QRegularExpression includeLine(QStringLiteral("^\\s*#\\s*include\\s+\"([^\"]+)\""),
                                                QRegularExpression::MultilineOption);
    std::vector<Include> includes;
    const QStringList folders = {QStringLiteral("app"),     QStringLiteral("link"),
                                 QStringLiteral("figures"), QStringLiteral("surface"),
                                 QStringLiteral("mill"),    QStringLiteral("outline"),
                                 QStringLiteral("engrave"), QStringLiteral("scanner")};
    for (const QString& folder : folders) {
        QDirIterator it(root + u'/' + folder, {QStringLiteral("*.h"), QStringLiteral("*.cpp")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) continue;
            const QString text = QString::fromUtf8(file.readAll());
            const QString relative = path.mid(root.size() + 1);
            for (auto match = includeLine.globalMatch(text); match.hasNext();)
                includes.push_back({relative, match.next().captured(1)});
        }
    }
    return includes;
}

TEST(Layering, NoFileOfTheProgramIncludesAHigherLayer) {
    const std::vector<Include> includes = programIncludes(QStringLiteral(CNC_SOURCE_DIR));
    ASSERT_GT(includes.size(), 300u) << "the program's sources were not found";
    const QStringList found = violations(includes);
    EXPECT_TRUE(found.isEmpty()) << found.join(u'\n').toStdString();
}

TEST(Layering, ALowerLayerIncludingAHigherOneIsFound) {
    const std::vector<Include> includes = {
        {QStringLiteral("link/serial/SerialDriver.cpp"), QStringLiteral("link/job/JobHost.h")},
        {QStringLiteral("mill/MillJobs.cpp"), QStringLiteral("mill/ui/MillButtons.h")},
        {QStringLiteral("app/config/Config.cpp"), QStringLiteral("app/Program.h")},
        {QStringLiteral("link/protocol/MachineLink.cpp"),
         QStringLiteral("link/gcode/GrblTransport.h")},
        {QStringLiteral("mill/ui/Form1.cpp"), QStringLiteral("mill/MillJobs.h")},
        {QStringLiteral("app/batch/MillCommand.cpp"), QStringLiteral("mill/ui/Form1.h")},
    };
    EXPECT_EQ(violations(includes),
              (QStringList{"link/serial/SerialDriver.cpp includes link/job/JobHost.h",
                           "mill/MillJobs.cpp includes mill/ui/MillButtons.h",
                           "app/config/Config.cpp includes app/Program.h",
                           "link/protocol/MachineLink.cpp includes link/gcode/GrblTransport.h",
                           "app/batch/MillCommand.cpp includes mill/ui/Form1.h"}));
}

}  // namespace
