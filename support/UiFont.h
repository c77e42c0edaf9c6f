#pragma once

#include <QFont>

#include <cstdint>
#include <string>
#include <vector>

class QWidget;

// The one interface face of the window and every control, chosen at start-up, and the
// process-wide cache of fonts made from it: one entry per (face, size, bold, italic), whose index
// is the font's identifier for callers.
namespace Support {

struct UiFontEntry {
    QFont Font;
    float Size = 0;        // points
    std::int16_t Bold = 0; // -1 true
    std::int16_t Italic = 0;
    std::string Face;
    float HeightCorrection = 1; // reciprocal of the face's height factor
    int CellHeight = 0;         // pixels: ascent + descent as the face is laid out
    int Weight = 0;             // 0 (the platform default) or the bold weight
};

// The faces looked for, best first.
[[nodiscard]] const std::vector<std::string>& UiFontPreference();
// The face used when none of the preferred ones is installed and nothing else is known.
inline constexpr const char* kUiFontFallback = "ＭＳ Ｐゴシック";

// The chosen face; empty until chosen.
[[nodiscard]] std::string UiFontName();
void UiFontName(const std::string& pFace);
// The chosen face, or the last resort when none was chosen yet (it is then kept).
[[nodiscard]] std::string EnsureUiFontName();

// What the fonts system offers: every family, and the families that can show Japanese.
struct InstalledFaces {
    std::vector<std::string> All;
    std::vector<std::string> Japanese;
};
[[nodiscard]] InstalledFaces ListInstalledFaces();

// Takes the first preferred face that is installed, else the first installed Japanese face,
// else the fallback name.
void ChooseUiFont(const InstalledFaces& pFaces);
void ChooseUiFont();

// (ascent + descent) / em of a face; 1 for faces not in the table.
[[nodiscard]] float FaceHeightFactor(const std::string& pFace);

// Makes a font and appends it to the cache: 1 on success, 0 on failure. Bold and italic: -1 true.
[[nodiscard]] int CreateUiFont(float pSize, int pBold, int pItalic, const std::string& pFace);

// Finds or makes the font and gives it to pWindow (may be null): the cache index used, or -3.
// pIndex -1 takes size, bold, italic and face from pControl's own font (and gives the font to
// pControl); -2 looks the arguments up; 0 or more uses that entry.
int ApplyUiFont(QWidget* pWindow, int pIndex, QWidget* pControl = nullptr, float pSize = 0, int pBold = 0,
                int pItalic = 0, const std::string& pFace = {});

// The entry at pIndex; the default 9-point entry (made on demand) for an index outside the cache.
[[nodiscard]] const UiFontEntry& UiFontAt(int pIndex);
[[nodiscard]] int UiFontCount();
// Empties the cache.
void ReleaseUiFonts();

// The start-up language check (once per process): on a Japanese system, unless "LangMode" says
// otherwise, fonts are released at exit when the toolkit's Japanese resources are not installed.
void CheckStartupLanguage();
[[nodiscard]] int ReleaseFontsAtExit();
// The check's inputs, for tests: whether the system is Japanese, and where the toolkit's
// resources are looked for (the program folder first, then the system's).
struct LanguageEnvironment {
    bool JapaneseSystem = false;
    std::string ProgramFolder;
    std::string SystemTranslations;
};
[[nodiscard]] int StartupLanguageFlag(const LanguageEnvironment& pEnvironment, int pLangMode);

// 1440 / the primary screen's logical DPI (15 when there is no screen).
[[nodiscard]] float ScreenTwipsPerPixel();

} // namespace Support
