#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace lintaro {

// Top-left corner that centres a box over a window, both by outer size. The
// halves are integer divisions truncating towards zero, so a box wider than the
// window extends equally to both sides (to within a pixel).
inline QPoint centredOver(const QRect &windowFrame, const QSize &boxSize)
{
    return {windowFrame.left() + (windowFrame.width() - boxSize.width()) / 2,
            windowFrame.top() + (windowFrame.height() - boxSize.height()) / 2};
}

} // namespace lintaro
