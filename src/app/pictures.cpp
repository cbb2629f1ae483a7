#include "app/pictures.h"

#include "platform/jpeg.h"

#include <QFile>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initAssetsResource()
{
    Q_INIT_RESOURCE(assets);
}

namespace quorvel
{

void initAppAssets()
{
    static const bool done = (initAssetsResource(), true);
    (void)done;
}

QIcon hotImage(int index)
{
    if (index < 0 || index >= HotImageCount)
        return QIcon();
    initAppAssets();
    return QIcon(QStringLiteral(":/app/hot%1.png").arg(index, 2, 10, QChar('0')));
}

QIcon openFolderPicture()
{
    initAppAssets();
    return QIcon(QStringLiteral(":/app/openfolder.png"));
}

QIcon programIcon()
{
    initAppAssets();
    return QIcon(QStringLiteral(":/app/quorvel32.png"));
}

QImage loadJpegPicture(const QString &path)
{
    initAppAssets();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
    const QByteArray data = file.readAll();
    try {
        const platform::RgbImage rgb =
            platform::decodeJpeg(reinterpret_cast<const unsigned char *>(data.constData()),
                                 static_cast<std::size_t>(data.size()));
        if (rgb.width <= 0 || rgb.height <= 0 ||
            rgb.pixels.size() < static_cast<std::size_t>(rgb.width) * rgb.height * 3)
            return QImage();
        // QImage would only borrow the buffer; copy() makes it own its pixels.
        return QImage(rgb.pixels.data(), rgb.width, rgb.height, rgb.width * 3,
                      QImage::Format_RGB888)
            .copy();
    } catch (const platform::JpegError &) {
        return QImage();
    }
}

} // namespace quorvel
