// Renders the program's icon, drawn as SVG, into the PNG sizes of the icon theme.
//
// Usage: cnc_make_icons ICON.svg OUTPUT_DIR SIZE...   writes OUTPUT_DIR/cnc-SIZE.png

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: cnc_make_icons ICON.svg OUTPUT_DIR SIZE...\n");
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "cnc_make_icons: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString directory = QString::fromLocal8Bit(argv[2]);
    if (!QDir().mkpath(directory)) {
        std::fprintf(stderr, "cnc_make_icons: cannot make %s\n", argv[2]);
        return 1;
    }
    for (int n = 3; n < argc; ++n) {
        const int size = QString::fromLatin1(argv[n]).toInt();
        if (size <= 0) {
            std::fprintf(stderr, "cnc_make_icons: bad size %s\n", argv[n]);
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        const QString path = QStringLiteral("%1/cnc-%2.png").arg(directory).arg(size);
        if (!image.save(path, "PNG")) {
            std::fprintf(stderr, "cnc_make_icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
