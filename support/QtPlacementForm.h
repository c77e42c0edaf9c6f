#pragma once

#include "support/WindowPlacement.h"

class QWidget;

// A top-level widget in twips, for the placement routines.
class QtPlacementForm final : public PlacementForm {
public:
    explicit QtPlacementForm(QWidget& pWidget)
        : c_Widget(pWidget) {}
    [[nodiscard]] int WindowState() const override;
    void WindowState(int pState) override;
    [[nodiscard]] double Left() const override;
    [[nodiscard]] double Top() const override;
    [[nodiscard]] double Width() const override;
    [[nodiscard]] double Height() const override;
    void Move(double pLeft, double pTop) override;
    void Width(double pWidth) override;
    void Height(double pHeight) override;
    [[nodiscard]] double ScreenWidth() const override;
    [[nodiscard]] double ScreenHeight() const override;

private:
    [[nodiscard]] double TwipsPerPixel() const;
    QWidget& c_Widget;
};
