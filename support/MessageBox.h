#pragma once

#include <functional>
#include <string>

class QWidget;

// Standard message boxes centred on their owner window.
namespace Support {

// Style bits: buttons in the low four bits, icon in the next four.
inline constexpr int vbOKOnly = 0;
inline constexpr int vbOKCancel = 1;
inline constexpr int vbAbortRetryIgnore = 2;
inline constexpr int vbYesNoCancel = 3;
inline constexpr int vbYesNo = 4;
inline constexpr int vbRetryCancel = 5;
inline constexpr int vbCritical = 16;
inline constexpr int vbQuestion = 32;
inline constexpr int vbExclamation = 48;
inline constexpr int vbInformation = 64;

// Button codes returned.
inline constexpr int vbOK = 1;
inline constexpr int vbCancel = 2;
inline constexpr int vbAbort = 3;
inline constexpr int vbRetry = 4;
inline constexpr int vbIgnore = 5;
inline constexpr int vbYes = 6;
inline constexpr int vbNo = 7;

// Every box goes through this hook when one is set (tests answer boxes without showing them);
// an empty function returns to the real boxes. pCentred tells which of the two routines asked.
using MessageBoxHook = std::function<int(const std::string& pText, int pStyle, const std::string& pCaption,
                                         QWidget* pOwner, bool pCentred)>;
void UseMessageBoxHook(MessageBoxHook pHook);

// Shows a standard modal box where the platform puts it, owned by pOwner (may be null), and
// returns the button pressed.
[[nodiscard]] int ShowMessage(const std::string& pText, int pStyle, const std::string& pCaption,
                              QWidget* pOwner);

// The same box, centred on pForm (may be null) unless that window is minimised.
[[nodiscard]] int ShowMessageCentered(const std::string& pText, int pStyle, const std::string& pCaption,
                                      QWidget* pForm);

} // namespace Support
