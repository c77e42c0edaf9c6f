#pragma once

#include <string>

// A window as the placement routines see it: geometry in twips, state 0 normal, 1 minimised,
// 2 maximised, and the size of the screen it is on.
class PlacementForm {
public:
    virtual ~PlacementForm() = default;
    [[nodiscard]] virtual int WindowState() const = 0;
    virtual void WindowState(int pState) = 0;
    [[nodiscard]] virtual double Left() const = 0;
    [[nodiscard]] virtual double Top() const = 0;
    [[nodiscard]] virtual double Width() const = 0;
    [[nodiscard]] virtual double Height() const = 0;
    virtual void Move(double pLeft, double pTop) = 0;
    virtual void Width(double pWidth) = 0;
    virtual void Height(double pHeight) = 0;
    [[nodiscard]] virtual double ScreenWidth() const = 0;
    [[nodiscard]] virtual double ScreenHeight() const = 0;
};

namespace Support {

inline constexpr int kStateNormal = 0;

// Restores "WindowLeft", "WindowTop", "WindowHeight", "WindowWidth" and "WindowState" (each with
// pSuffix); a position off the screen comes back at 0.
void LoadWindowPlacement(PlacementForm& pForm, const std::string& pSuffix, bool pSkipSize, bool pSkipState,
                         bool pSkipPosition);
// Position and size are saved only in the normal state, so a run that ends maximised keeps the
// last normal placement.
void SaveWindowPlacement(const PlacementForm& pForm, const std::string& pSuffix, bool pSkipSize,
                         bool pSkipState);

} // namespace Support
