#include "widgets/framepainter.h"

#include <QPainter>
#include <QPalette>

#include <iterator>

namespace quorvel
{

namespace
{

enum Shade { Face, Shadow, Dark, Light, Midlight };

struct Ring {
    Shade topLeft;
    Shade bottomRight;
};

struct StyleLook {
    Ring outer;
    Ring inner;
};

// Indexed by TFrameStyle.
constexpr StyleLook looks[] = {
    {{Face, Face}, {Face, Face}},        // fsNone
    {{Shadow, Shadow}, {Face, Face}},    // fsFlat
    {{Shadow, Light}, {Light, Shadow}},  // fsGroove
    {{Light, Shadow}, {Shadow, Light}},  // fsBump
    {{Shadow, Light}, {Dark, Midlight}}, // fsLowered
    {{Dark, Light}, {Shadow, Midlight}}, // fsButtonDown
    {{Light, Dark}, {Midlight, Shadow}}, // fsRaised
    {{Midlight, Dark}, {Light, Shadow}}, // fsButtonUp
    {{Shadow, Light}, {Face, Face}},     // fsStatus
    {{Shadow, Shadow}, {Light, Shadow}}, // fsPopup
};

const QColor &pick(const FrameShades &shades, Shade shade)
{
    switch (shade) {
    case Shadow:
        return shades.shadow;
    case Dark:
        return shades.dark;
    case Light:
        return shades.light;
    case Midlight:
        return shades.midlight;
    case Face:
        break;
    }
    return shades.face;
}

void paintRing(QPainter &painter, const QRect &r, const Ring &ring, TFrameSides sides,
               const FrameShades &shades)
{
    if (r.width() <= 0 || r.height() <= 0)
        return;
    const QColor &tl = pick(shades, ring.topLeft);
    const QColor &br = pick(shades, ring.bottomRight);
    if (sides & sdTop)
        painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), tl);
    if (sides & sdLeft)
        painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), tl);
    if (sides & sdBottom)
        painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), br);
    if (sides & sdRight)
        painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), br);
}

// Moves the edges of r inwards by one pixel on the chosen sides only, so the inner ring
// meets the outer one where a side is left out.
QRect shrink(const QRect &r, TFrameSides sides)
{
    return r.adjusted(sides & sdLeft ? 1 : 0, sides & sdTop ? 1 : 0, sides & sdRight ? -1 : 0,
                      sides & sdBottom ? -1 : 0);
}

} // namespace

FrameShades frameShades(const QPalette &palette, const QColor &frameColor)
{
    FrameShades shades;
    shades.shadow = frameColor;
    shades.dark = frameColor.darker(160);
    shades.light = palette.color(QPalette::Light);
    shades.midlight = palette.color(QPalette::Midlight);
    shades.face = palette.color(QPalette::Base);
    return shades;
}

void paintFrame(QPainter &painter, const QRect &outer, TFrameStyle style, TFrameSides sides,
                const FrameShades &shades)
{
    const int index = static_cast<int>(style);
    if (index < 0 || index >= static_cast<int>(std::size(looks)))
        return;
    // Sides left out show the background, whatever Qt drew in the reserved room before.
    const StyleLook &blank = looks[fsNone];
    paintRing(painter, outer, blank.outer, allFrameSides, shades);
    paintRing(painter, outer.adjusted(1, 1, -1, -1), blank.inner, allFrameSides, shades);
    const StyleLook &look = looks[index];
    paintRing(painter, outer, look.outer, sides, shades);
    paintRing(painter, shrink(outer, sides), look.inner, sides, shades);
}

} // namespace quorvel
