#pragma once
// Draws the list box's own frame: two one-pixel rings whose top-left and bottom-right edges
// take light or dark shades, which gives the ten frame styles their looks.

#include "widgets/framestyle.h"

#include <QColor>
#include <QRect>

class QPainter;
class QPalette;

namespace quorvel
{

// Width in pixels that a visible frame takes on each chosen side, the same for every style so
// that switching styles (by focus or mouse) never moves the rows.
inline constexpr int frameWidth = 2;

struct FrameShades {
    QColor shadow;   // the frame colour
    QColor dark;     // deeper than the shadow, for the inner edge of sunken styles
    QColor light;    // highlight
    QColor midlight; // softer highlight
    QColor face;     // background of the control
};

FrameShades frameShades(const QPalette &palette, const QColor &frameColor);

// Paints the frame along the inside of outer on the chosen sides.
void paintFrame(QPainter &painter, const QRect &outer, TFrameStyle style, TFrameSides sides,
                const FrameShades &shades);

} // namespace quorvel
