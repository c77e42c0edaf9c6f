#pragma once

#include <Qt>

#include <cstdint>

// Mouse buttons and modifier keys as the controls report them in their events.
namespace MouseInput {

// 1 left, 2 right, 4 middle, 0 any other button.
[[nodiscard]] inline std::int16_t ButtonCode(Qt::MouseButton pButton) noexcept {
    switch (pButton) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

// The sum of the held buttons' codes.
[[nodiscard]] inline std::int16_t ButtonsCode(Qt::MouseButtons pButtons) noexcept {
    return std::int16_t((pButtons & Qt::LeftButton ? 1 : 0) | (pButtons & Qt::RightButton ? 2 : 0) |
                        (pButtons & Qt::MiddleButton ? 4 : 0));
}

// 1 Shift, 2 Ctrl, 4 Alt, summed.
[[nodiscard]] inline std::int16_t ShiftCode(Qt::KeyboardModifiers pModifiers) noexcept {
    return std::int16_t((pModifiers & Qt::ShiftModifier ? 1 : 0) |
                        (pModifiers & Qt::ControlModifier ? 2 : 0) | (pModifiers & Qt::AltModifier ? 4 : 0));
}

} // namespace MouseInput
