// Draws the program's own pictures into src/app/assets: the 16 toolbar and menu pictures
// (hot00.png .. hot15.png), the open-folder picture of the File menu, the 32 x 32 window icon and
// the splash picture. Run it by hand when
// the artwork changes and commit the results; the program never runs it.
//
//   g++ -std=c++20 -fPIC tools/draw_app_pictures.cpp $(pkg-config --cflags --libs Qt6Gui) -o d
//   QT_QPA_PLATFORM=offscreen ./d src/app/assets

#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>
#include <functional>

namespace
{

QImage blank(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

// The raised square that the play, stop and pause pictures sit on.
void drawButtonFace(QPainter &p)
{
    QLinearGradient face(0, 1, 0, 15);
    face.setColorAt(0, QColor(250, 250, 250));
    face.setColorAt(1, QColor(190, 194, 204));
    p.setPen(QColor(96, 100, 112));
    p.setBrush(face);
    p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 2, 2);
}

void checkMark(QPainter &p)
{
    p.setPen(QPen(QColor(200, 16, 16), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(2.5, 8.5), QPointF(6, 12.5), QPointF(13.5, 3)}));
}

void play(QPainter &p)
{
    drawButtonFace(p);
    p.setPen(QPen(QColor(0, 96, 0), 1));
    p.setBrush(QColor(24, 168, 40));
    p.drawPolygon(QPolygonF({QPointF(5.5, 4), QPointF(11.5, 8), QPointF(5.5, 12)}));
}

void noEntry(QPainter &p)
{
    p.setPen(QPen(QColor(140, 0, 0), 1));
    p.setBrush(QColor(220, 24, 24));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 6.5, 9, 3));
}

void wasteBin(QPainter &p)
{
    p.setPen(QPen(QColor(60, 64, 72), 1));
    QLinearGradient metal(3, 0, 13, 0);
    metal.setColorAt(0, QColor(150, 156, 168));
    metal.setColorAt(0.5, QColor(226, 230, 236));
    metal.setColorAt(1, QColor(130, 136, 148));
    p.setBrush(metal);
    p.drawPolygon(QPolygonF(
        {QPointF(3.5, 4.5), QPointF(12.5, 4.5), QPointF(11.5, 14.5), QPointF(4.5, 14.5)}));
    p.drawRect(QRectF(2.5, 2.5, 11, 2));
    p.drawRect(QRectF(6.5, 1, 3, 1.5));
    p.setPen(QPen(QColor(90, 96, 108), 1));
    for (double x : {6.5, 8.0, 9.5})
        p.drawLine(QPointF(x, 6.5), QPointF(x, 13));
}

void stopSquare(QPainter &p)
{
    drawButtonFace(p);
    p.setPen(QPen(QColor(120, 0, 0), 1));
    p.setBrush(QColor(210, 30, 30));
    p.drawRect(QRectF(4.5, 4.5, 7, 7));
}

void openBook(QPainter &p)
{
    p.setPen(QPen(QColor(20, 40, 110), 1));
    p.setBrush(QColor(40, 80, 180));
    QPainterPath cover;
    cover.moveTo(0.5, 4.5);
    cover.lineTo(8, 6);
    cover.lineTo(15.5, 4.5);
    cover.lineTo(15.5, 13.5);
    cover.lineTo(8, 15);
    cover.lineTo(0.5, 13.5);
    cover.closeSubpath();
    p.drawPath(cover);
    p.setPen(QPen(QColor(110, 110, 110), 1));
    p.setBrush(QColor(252, 252, 244));
    p.drawPolygon(
        QPolygonF({QPointF(1.5, 2.5), QPointF(8, 4), QPointF(8, 13.5), QPointF(1.5, 12)}));
    p.drawPolygon(
        QPolygonF({QPointF(14.5, 2.5), QPointF(8, 4), QPointF(8, 13.5), QPointF(14.5, 12)}));
    p.setPen(QPen(QColor(150, 150, 170), 1));
    for (int i = 0; i < 3; ++i) {
        const double y = 5.5 + 2 * i;
        p.drawLine(QPointF(3, y), QPointF(6.5, y + 0.8));
        p.drawLine(QPointF(9.5, y + 0.8), QPointF(13, y));
    }
}

void pauseBars(QPainter &p)
{
    drawButtonFace(p);
    p.setPen(QPen(QColor(20, 40, 110), 1));
    p.setBrush(QColor(40, 90, 200));
    p.drawRect(QRectF(4.5, 4.5, 2.5, 7));
    p.drawRect(QRectF(9, 4.5, 2.5, 7));
}

void redX(QPainter &p)
{
    p.setPen(QPen(QColor(120, 0, 0), 4.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
    p.setPen(QPen(QColor(230, 30, 30), 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
}

void document(QPainter &p, const QRectF &sheet, const QColor &band)
{
    p.setPen(QPen(QColor(80, 80, 90), 1));
    p.setBrush(Qt::white);
    p.drawRect(sheet);
    p.setPen(Qt::NoPen);
    p.setBrush(band);
    p.drawRect(QRectF(sheet.left() + 1, sheet.top() + 1, sheet.width() - 1, 2));
    p.setPen(QPen(QColor(140, 140, 160), 1));
    for (double y = sheet.top() + 4.5; y < sheet.bottom() - 1; y += 2)
        p.drawLine(QPointF(sheet.left() + 2, y), QPointF(sheet.right() - 2, y));
}

void hand(QPainter &p, bool fromRight)
{
    p.save();
    if (fromRight) {
        p.translate(16, 0);
        p.scale(-1, 1);
    }
    p.setPen(QPen(QColor(140, 80, 40), 1));
    p.setBrush(QColor(250, 196, 150));
    QPainterPath palm;
    palm.moveTo(0.5, 11);
    palm.lineTo(5, 9.5);
    palm.lineTo(10.5, 9.5);
    palm.quadTo(12, 10.5, 10.5, 11.5);
    palm.lineTo(7, 11.5);
    palm.lineTo(11.5, 12);
    palm.quadTo(12.5, 13.2, 11, 13.8);
    palm.lineTo(4, 15.5);
    palm.lineTo(0.5, 15.5);
    palm.closeSubpath();
    p.drawPath(palm);
    p.setBrush(QColor(30, 60, 150));
    p.drawRect(QRectF(0, 10.5, 1.5, 5));
    p.restore();
}

void handWithDocument(QPainter &p)
{
    document(p, QRectF(4.5, 0.5, 9, 11), QColor(30, 90, 200));
    hand(p, false);
}

void handWithDocumentSecond(QPainter &p)
{
    document(p, QRectF(2.5, 0.5, 9, 11), QColor(200, 40, 40));
    hand(p, true);
}

// A manila folder with a sheet in it, its front flap opened towards the viewer.
void openFolder(QPainter &p)
{
    const QColor edge(140, 96, 16);
    p.setPen(QPen(edge, 1));
    p.setBrush(QColor(222, 170, 56));
    p.drawPolygon(QPolygonF({QPointF(0.5, 2.5), QPointF(5.5, 2.5), QPointF(7, 4.5),
                             QPointF(13.5, 4.5), QPointF(13.5, 14.5), QPointF(0.5, 14.5)}));
    document(p, QRectF(3.5, 3.5, 9, 8), QColor(30, 90, 200));
    QLinearGradient front(0, 7, 0, 15);
    front.setColorAt(0, QColor(255, 228, 130));
    front.setColorAt(1, QColor(238, 188, 70));
    p.setPen(QPen(edge, 1));
    p.setBrush(front);
    p.drawPolygon(QPolygonF(
        {QPointF(3.5, 7.5), QPointF(15.5, 7.5), QPointF(13.5, 14.5), QPointF(0.5, 14.5)}));
}

// The disabled look: grey, lighter, same shape.
QImage greyCopy(const QImage &source)
{
    QImage grey = source.copy();
    for (int y = 0; y < grey.height(); ++y) {
        for (int x = 0; x < grey.width(); ++x) {
            const QColor c = grey.pixelColor(x, y);
            const int level = 128 + qGray(c.rgb()) / 2;
            grey.setPixelColor(x, y, QColor(level, level, level, c.alpha()));
        }
    }
    return grey;
}

QImage draw16(const std::function<void(QPainter &)> &paint)
{
    QImage image = blank(16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p);
    return image;
}

// 32 x 32 in the 16 colours of the classic VGA palette: a chain link over a green check mark.
QImage windowIcon()
{
    QImage image = blank(32);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(QColor(0, 0, 128), 2));
        p.setBrush(QColor(0, 128, 128));
        p.drawEllipse(QRect(1, 1, 29, 29));
        p.setPen(QPen(QColor(255, 255, 255), 3));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRect(5, 9, 13, 8), 4, 4);
        p.setPen(QPen(QColor(192, 192, 192), 3));
        p.drawRoundedRect(QRect(13, 14, 13, 8), 4, 4);
        p.setPen(QPen(QColor(0, 255, 0), 4));
        p.drawPolyline(QPolygon({QPoint(8, 20), QPoint(13, 26), QPoint(25, 8)}));
        p.setPen(QPen(QColor(0, 128, 0), 1));
        p.drawPolyline(QPolygon({QPoint(8, 23), QPoint(13, 28), QPoint(25, 11)}));
    }
    const QList<QRgb> vga = {qRgba(0, 0, 0, 0),   qRgb(0, 0, 0),      qRgb(128, 0, 0),
                             qRgb(0, 128, 0),     qRgb(128, 128, 0),  qRgb(0, 0, 128),
                             qRgb(128, 0, 128),   qRgb(0, 128, 128),  qRgb(192, 192, 192),
                             qRgb(128, 128, 128), qRgb(255, 0, 0),    qRgb(0, 255, 0),
                             qRgb(255, 255, 0),   qRgb(0, 0, 255),    qRgb(255, 0, 255),
                             qRgb(0, 255, 255),   qRgb(255, 255, 255)};
    return image.convertToFormat(QImage::Format_Indexed8, vga, Qt::ThresholdDither);
}

// 431 x 268; the two rightmost columns are clipped on the splash, so nothing sits there.
QImage splashPicture()
{
    QImage image(431, 268, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 268);
    sky.setColorAt(0, QColor(10, 28, 74));
    sky.setColorAt(1, QColor(24, 90, 150));
    p.fillRect(image.rect(), sky);

    // A loose web of linked nodes behind the title.
    QPen thread(QColor(120, 170, 230, 90), 1.5);
    const QList<QPointF> nodes = {{40, 40},   {110, 20},  {180, 60},  {260, 30},
                                  {340, 50},  {400, 25},  {70, 210},  {150, 240},
                                  {250, 220}, {330, 245}, {395, 205}, {25, 130}};
    p.setPen(thread);
    for (int i = 0; i < nodes.size(); ++i)
        p.drawLine(nodes[i], nodes[(i * 5 + 3) % nodes.size()]);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(160, 200, 250, 140));
    for (const QPointF &n : nodes)
        p.drawEllipse(n, 4, 4);

    QRadialGradient glow(QPointF(214, 120), 170);
    glow.setColorAt(0, QColor(255, 255, 255, 60));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(glow);
    p.drawRect(image.rect());

    QFont title("DejaVu Serif");
    title.setPixelSize(72);
    title.setBold(true);
    title.setItalic(true);
    p.setFont(title);
    const QRect titleBox(0, 60, 429, 100);
    p.setPen(QColor(0, 0, 0, 150));
    p.drawText(titleBox.translated(3, 3), Qt::AlignCenter, "Quorvel");
    p.setPen(QColor(255, 214, 64));
    p.drawText(titleBox, Qt::AlignCenter, "Quorvel");

    QFont sub("DejaVu Sans");
    sub.setPixelSize(15);
    p.setFont(sub);
    p.setPen(QColor(220, 232, 250));
    p.drawText(QRect(0, 152, 429, 24), Qt::AlignCenter, "Favorites link checker");

    QFont version("DejaVu Sans");
    version.setPixelSize(18);
    version.setBold(true);
    p.setFont(version);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 182, 429, 28), Qt::AlignCenter, "Version 1.1");

    // A green check mark as the program's sign.
    p.setPen(QPen(QColor(60, 220, 90), 9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(352, 176), QPointF(370, 196), QPointF(404, 150)}));
    return image;
}

bool save(const QImage &image, const QString &path, const char *format, int quality = -1)
{
    if (image.save(path, format, quality))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <assets folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]) + '/';

    const std::function<void(QPainter &)> pictures[] = {
        checkMark, play,     noEntry,          wasteBin,  stopSquare,
        nullptr,   openBook, nullptr,          pauseBars, nullptr,
        redX,      nullptr,  handWithDocument, nullptr,   handWithDocumentSecond,
        nullptr};
    QImage previous;
    bool ok = true;
    for (int i = 0; i < 16; ++i) {
        const QImage image = pictures[i] ? draw16(pictures[i]) : greyCopy(previous);
        ok &= save(image, folder + QString("hot%1.png").arg(i, 2, 10, QChar('0')), "PNG");
        previous = image;
    }
    ok &= save(draw16(openFolder), folder + "openfolder.png", "PNG");
    ok &= save(windowIcon(), folder + "quorvel32.png", "PNG");
    ok &= save(splashPicture(), folder + "splash.jpg", "JPG", 90);
    return ok ? 0 : 1;
}
