#include "support/QtPlacementForm.h"

#include <QScreen>
#include <QWidget>

#include <cmath>

namespace {
int Pixels(double pTwips, double pTwipsPerPixel) {
    return int(std::lrint(pTwips / pTwipsPerPixel));
}
} // namespace

double QtPlacementForm::TwipsPerPixel() const {
    return 1440.0 / c_Widget.logicalDpiX();
}

int QtPlacementForm::WindowState() const {
    if (c_Widget.isMinimized()) return 1;
    if (c_Widget.isMaximized()) return 2;
    return 0;
}

void QtPlacementForm::WindowState(int pState) {
    if (pState == 1)
        c_Widget.setWindowState(Qt::WindowMinimized);
    else if (pState == 2)
        c_Widget.setWindowState(Qt::WindowMaximized);
    else
        c_Widget.setWindowState(Qt::WindowNoState);
}

double QtPlacementForm::Left() const {
    return c_Widget.x() * TwipsPerPixel();
}
double QtPlacementForm::Top() const {
    return c_Widget.y() * TwipsPerPixel();
}
double QtPlacementForm::Width() const {
    return c_Widget.width() * TwipsPerPixel();
}
double QtPlacementForm::Height() const {
    return c_Widget.height() * TwipsPerPixel();
}

void QtPlacementForm::Move(double pLeft, double pTop) {
    c_Widget.move(Pixels(pLeft, TwipsPerPixel()), Pixels(pTop, TwipsPerPixel()));
}

void QtPlacementForm::Width(double pWidth) {
    c_Widget.resize(Pixels(pWidth, TwipsPerPixel()), c_Widget.height());
}

void QtPlacementForm::Height(double pHeight) {
    c_Widget.resize(c_Widget.width(), Pixels(pHeight, TwipsPerPixel()));
}

double QtPlacementForm::ScreenWidth() const {
    const QScreen* screen = c_Widget.screen();
    return screen != nullptr ? screen->geometry().width() * TwipsPerPixel() : 0;
}

double QtPlacementForm::ScreenHeight() const {
    const QScreen* screen = c_Widget.screen();
    return screen != nullptr ? screen->geometry().height() * TwipsPerPixel() : 0;
}
