#pragma once
// The program's own pictures, compiled in from src/app/assets: the HotImages list of toolbar and
// menu pictures, the window icon and the JPEG pictures decoded with libjpeg.

#include <QIcon>
#include <QImage>
#include <QString>

namespace quorvel
{

// Number of pictures in HotImages, indexed from 0.
inline constexpr int HotImageCount = 16;

// Registers the compiled-in resources; the library is static, so the linker would otherwise be
// free to drop them. Safe to call more than once.
void initAppAssets();

// Picture index of HotImages as a 16 x 16 icon; a null icon for an index outside the list.
QIcon hotImage(int index);

// The 16 x 16 picture of opening a favorites folder; it is not one of HotImages.
QIcon openFolderPicture();

// The 32 x 32 window icon.
QIcon programIcon();

// Decodes the JPEG file (usually a resource path) through libjpeg. A null image when the file
// cannot be read or is not a JPEG picture; the caller then simply shows nothing.
QImage loadJpegPicture(const QString &path);

} // namespace quorvel
