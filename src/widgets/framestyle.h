#pragma once
// The styles and sides of the list box's own drawn frame.

#include <QFlags>

enum TFrameStyle {
    fsNone,
    fsFlat,
    fsGroove,
    fsBump,
    fsLowered,
    fsButtonDown,
    fsRaised,
    fsButtonUp,
    fsStatus,
    fsPopup
};

enum TFrameSide { sdLeft = 0x1, sdTop = 0x2, sdRight = 0x4, sdBottom = 0x8 };
Q_DECLARE_FLAGS(TFrameSides, TFrameSide)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFrameSides)

inline constexpr TFrameSides allFrameSides{sdLeft | sdTop | sdRight | sdBottom};
