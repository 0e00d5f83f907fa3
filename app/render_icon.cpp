// Renders the panel's SVG icon to PNGs of the given sizes at build time, so
// the program embeds them and needs no SVG support to show its icon.
// Usage: laserpanel-render-icon ICON.svg OUTDIR SIZE...  (writes OUTDIR/SIZE.png)
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    QSvgRenderer svg(args.value(1));
    if (args.size() < 4 || !svg.isValid()) {
        std::fprintf(stderr, "usage: laserpanel-render-icon ICON.svg OUTDIR SIZE...; '%s' is not a readable SVG\n",
                     qPrintable(args.value(1)));
        return 1;
    }
    for (const QString &size : args.mid(3)) {
        const int px = size.toInt();
        QImage image(px, px, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        svg.render(&painter);
        painter.end();
        const QString out = args[2] + QLatin1Char('/') + size + QStringLiteral(".png");
        if (px <= 0 || !image.save(out, "PNG")) {
            std::fprintf(stderr, "laserpanel-render-icon: cannot write %s\n", qPrintable(out));
            return 1;
        }
    }
    return 0;
}
