#include "support/MessageBoxGeometry.h"

#include <cmath>

namespace Support {

BoxPoint CenteredBoxTopLeft(double pFormLeft, double pFormTop, double pFormWidth, double pFormHeight,
                            int pBoxWidth, int pBoxHeight, int pScreenWidth, int pScreenHeight,
                            double pTwipsPerPixel) {
    const double tpp = pTwipsPerPixel > 0 ? pTwipsPerPixel : 15.0;
    const auto centreX = int(std::lrint((pFormLeft + pFormWidth / 2) / tpp));
    const auto centreY = int(std::lrint((pFormTop + pFormHeight / 2) / tpp));
    const auto bottomLimit = pScreenHeight - int(std::lrint(600 / tpp));
    BoxPoint p;
    p.Y = centreY - pBoxHeight / 2;
    if (p.Y + pBoxHeight > bottomLimit) p.Y = bottomLimit - pBoxHeight;
    if (p.Y < 0) p.Y = 0;
    p.X = centreX - pBoxWidth / 2;
    if (p.X + pBoxWidth > pScreenWidth) p.X = pScreenWidth - pBoxWidth;
    if (p.X < 0) p.X = 0;
    return p;
}

} // namespace Support
