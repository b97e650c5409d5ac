// hx410-render-icon: renders the application icon's SVG source into the PNG sizes of the
// icon theme, so the installed icon has one source and every size is drawn from it.
//
//   hx410-render-icon SVG OUTDIR SIZE...
//
// writes OUTDIR/<size>x<size>/apps/<name of SVG without .svg>.png for each size.
// Exit status: 0 when every file was written, 1 otherwise.

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

namespace {

constexpr int kMinSize = 8;
constexpr int kMaxSize = 1024;

bool RenderOne(QSvgRenderer& renderer, const QString& path, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    renderer.render(&painter);
    painter.end();
    return QDir().mkpath(QFileInfo(path).path()) && image.save(path, "PNG");
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 4) {
        std::fputs("usage: hx410-render-icon SVG OUTDIR SIZE...\n", stderr);
        return 1;
    }
    const QString source = QString::fromLocal8Bit(argv[1]);
    QSvgRenderer renderer(source);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "hx410-render-icon: cannot read the SVG %s\n", argv[1]);
        return 1;
    }
    const QString name = QFileInfo(source).completeBaseName();
    const QString outDir = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&ok);
        if (!ok || size < kMinSize || size > kMaxSize) {
            std::fprintf(stderr, "hx410-render-icon: bad size '%s'\n", argv[i]);
            return 1;
        }
        const QString path = QStringLiteral("%1/%2x%2/apps/%3.png").arg(outDir).arg(size).arg(name);
        if (!RenderOne(renderer, path, size)) {
            std::fprintf(stderr, "hx410-render-icon: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
