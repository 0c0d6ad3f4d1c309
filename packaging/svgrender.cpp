// Renders an SVG into a square PNG of the given size (build-time helper for
// the program icon's bitmap sizes): svgrender in.svg size out.png
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: svgrender in.svg size out.png\n");
        return 2;
    }
    const int size = std::atoi(argv[2]);
    QSvgRenderer svg{QString::fromLocal8Bit(argv[1])};
    if (!svg.isValid() || size <= 0 || size > 4096) {
        std::fprintf(stderr, "svgrender: cannot render %s at %s px\n", argv[1], argv[2]);
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter);
    painter.end();
    if (!image.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
        std::fprintf(stderr, "svgrender: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
