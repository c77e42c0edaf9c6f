#pragma once

// Where a message box goes so that its centre lies on its owner's centre, kept on the screen:
// its bottom at least 600 twips above the screen's bottom edge, never off the left or top.
namespace Support {

struct BoxPoint {
    int X = 0;
    int Y = 0;
};

// Form rectangle in twips; box size and screen size in pixels; result in pixels.
[[nodiscard]] BoxPoint CenteredBoxTopLeft(double pFormLeft, double pFormTop, double pFormWidth,
                                          double pFormHeight, int pBoxWidth, int pBoxHeight, int pScreenWidth,
                                          int pScreenHeight, double pTwipsPerPixel);

} // namespace Support
