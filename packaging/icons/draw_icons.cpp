// Draws the desktop icons into this folder: the program's window icon (src/app/assets/
// quorvel32.png: a chain link over a green check mark on a teal disc) redrawn smoothly at the
// hicolor theme's sizes, and once more as SVG for the scalable folder. Run it by hand when the
// artwork changes and commit the results; the build only installs them.
//
//   g++ -std=c++20 -fPIC packaging/icons/draw_icons.cpp $(pkg-config --cflags --libs Qt6Gui) -o d
//   QT_QPA_PLATFORM=offscreen ./d packaging/icons

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace
{

// The window icon's shapes on its 32 x 32 grid, so that every size shows the same picture.
struct Stroke {
    QColor colour;
    double width;
};
const QColor Navy(0, 0, 128);
const QColor Teal(0, 128, 128);
const QColor White(255, 255, 255);
const QColor Silver(192, 192, 192);
const QColor Green(0, 255, 0);
const QColor DarkGreen(0, 128, 0);

const QPointF DiscCentre(16, 16);
constexpr double DiscRadius = 14.5;
const QRectF FrontLink(5.5, 9.5, 13, 8);
const QRectF BackLink(13.5, 14.5, 13, 8);
constexpr double LinkRadius = 4;
const QPolygonF CheckShadow({QPointF(8.5, 23.5), QPointF(13.5, 28), QPointF(25.5, 11.5)});
const QPolygonF Check({QPointF(8.5, 20), QPointF(13.5, 25.5), QPointF(25.5, 8.5)});

QPen pen(const QColor &colour, double width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void paintIcon(QPainter &p, int size)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    p.setPen(pen(Navy, 2));
    p.setBrush(Teal);
    p.drawEllipse(DiscCentre, DiscRadius, DiscRadius);
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(White, 3));
    p.drawRoundedRect(FrontLink, LinkRadius, LinkRadius);
    p.setPen(pen(Silver, 3));
    p.drawRoundedRect(BackLink, LinkRadius, LinkRadius);
    p.setPen(pen(DarkGreen, 1.5));
    p.drawPolyline(CheckShadow);
    p.setPen(pen(Green, 4));
    p.drawPolyline(Check);
}

QString svgColour(const QColor &c)
{
    return c.name(QColor::HexRgb);
}

QString svgPoints(const QPolygonF &line)
{
    QStringList points;
    for (const QPointF &point : line)
        points << QStringLiteral("%1,%2").arg(point.x()).arg(point.y());
    return points.join(' ');
}

QString svgLink(const QRectF &r, const QColor &colour)
{
    return QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" "
                          "fill=\"none\" stroke=\"%6\" stroke-width=\"3\"/>\n")
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height())
        .arg(LinkRadius)
        .arg(svgColour(colour));
}

QString svgIcon()
{
    QString svg = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"32\" height=\"32\" "
        "viewBox=\"0 0 32 32\" stroke-linecap=\"round\" stroke-linejoin=\"round\">\n");
    svg += QStringLiteral("  <circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"%4\" stroke=\"%5\" "
                          "stroke-width=\"2\"/>\n")
               .arg(DiscCentre.x())
               .arg(DiscCentre.y())
               .arg(DiscRadius)
               .arg(svgColour(Teal), svgColour(Navy));
    svg += svgLink(FrontLink, White);
    svg += svgLink(BackLink, Silver);
    svg += QStringLiteral("  <polyline points=\"%1\" fill=\"none\" stroke=\"%2\" "
                          "stroke-width=\"1.5\"/>\n")
               .arg(svgPoints(CheckShadow), svgColour(DarkGreen));
    svg += QStringLiteral("  <polyline points=\"%1\" fill=\"none\" stroke=\"%2\" "
                          "stroke-width=\"4\"/>\n")
               .arg(svgPoints(Check), svgColour(Green));
    svg += QStringLiteral("</svg>\n");
    return svg;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <icons folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]) + '/';
    bool ok = true;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            paintIcon(p, size);
        }
        const QString path = folder + QStringLiteral("%1.png").arg(size);
        if (!image.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ok = false;
        }
    }
    QFile svg(folder + QStringLiteral("scalable.svg"));
    if (!svg.open(QIODevice::WriteOnly) || svg.write(svgIcon().toUtf8()) < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(svg.fileName()));
        ok = false;
    }
    return ok ? 0 : 1;
}
