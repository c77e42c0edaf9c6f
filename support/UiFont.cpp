#include "support/UiFont.h"

#include "support/ErrorTrap.h"
#include "support/FileUtil.h"
#include "support/Settings.h"
#include "support/Twips.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <deque>

namespace Support {

namespace {

std::string g_UiFontName;
// A deque keeps the entries where they are while the cache grows: callers hold references.
std::deque<UiFontEntry> g_Cache;
int g_ReleaseAtExit = 0;
bool g_LanguageChecked = false;

std::int16_t Flag(int pValue) {
    return pValue != 0 ? std::int16_t(-1) : std::int16_t(0);
}

QString Q(const std::string& pText) {
    return QString::fromStdString(pText);
}

std::vector<std::string> ToStrings(const QStringList& pList) {
    std::vector<std::string> result;
    result.reserve(std::size_t(pList.size()));
    for (const QString& name : pList)
        result.push_back(name.toStdString());
    return result;
}

int FindEntry(const std::string& pFace, float pSize, std::int16_t pBold, std::int16_t pItalic) {
    for (std::size_t i = 0; i < g_Cache.size(); ++i) {
        const UiFontEntry& entry = g_Cache[i];
        if (entry.Face == pFace && entry.Size == pSize && entry.Bold == pBold && entry.Italic == pItalic)
            return int(i);
    }
    return -1;
}

// Size 0 or less is 9 points; an empty face is the interface face.
int FindOrCreate(float pSize, int pBold, int pItalic, const std::string& pFace) {
    const std::string face = pFace.empty() ? EnsureUiFontName() : pFace;
    const float size = pSize > 0 ? pSize : 9.0F;
    const int found = FindEntry(face, size, Flag(pBold), Flag(pItalic));
    if (found >= 0) return found;
    if (CreateUiFont(size, pBold, pItalic, face) == 0) return -3;
    return int(g_Cache.size()) - 1;
}

bool EnsureDefaultEntry() {
    (void)EnsureUiFontName();
    return !g_Cache.empty() || CreateUiFont(9.0F, 0, 0, g_UiFontName) == 1;
}

} // namespace

const std::vector<std::string>& UiFontPreference() {
    static const std::vector<std::string> faces = {
        "メイリオ", "MS UI Gothic", kUiFontFallback, "Noto Sans CJK JP", "IPAPGothic", "VL PGothic",
    };
    return faces;
}

std::string UiFontName() {
    return g_UiFontName;
}

void UiFontName(const std::string& pFace) {
    g_UiFontName = pFace;
}

std::string EnsureUiFontName() {
    if (g_UiFontName.empty()) {
        const InstalledFaces faces = ListInstalledFaces();
        g_UiFontName = faces.Japanese.empty() ? std::string(kUiFontFallback) : faces.Japanese.front();
    }
    return g_UiFontName;
}

InstalledFaces ListInstalledFaces() {
    if (QGuiApplication::instance() == nullptr) return {};
    return {ToStrings(QFontDatabase::families()),
            ToStrings(QFontDatabase::families(QFontDatabase::Japanese))};
}

void ChooseUiFont(const InstalledFaces& pFaces) {
    for (const std::string& wanted : UiFontPreference()) {
        if (std::find(pFaces.All.begin(), pFaces.All.end(), wanted) != pFaces.All.end()) {
            g_UiFontName = wanted;
            return;
        }
    }
    g_UiFontName = pFaces.Japanese.empty() ? std::string(kUiFontFallback) : pFaces.Japanese.front();
}

void ChooseUiFont() {
    ChooseUiFont(ListInstalledFaces());
}

float FaceHeightFactor(const std::string& pFace) {
    // Measured (ascent + descent) / em of the faces as the fonts system lays them out.
    struct Factor {
        const char* Face;
        float Value;
    };
    static constexpr Factor kFactors[] = {
        {"メイリオ", 1.34F},
        {"Noto Sans CJK JP", 1.448F},
        {"IPAPGothic", 1.076F},
    };
    for (const Factor& factor : kFactors)
        if (pFace == factor.Face) return factor.Value;
    return 1.0F;
}

int CreateUiFont(float pSize, int pBold, int pItalic, const std::string& pFace) {
    return Trapped(0, [&] {
        const float tpp = TwipsPerPixel();
        const float factor = FaceHeightFactor(pFace);
        // A 9-point face has a 12-pixel em at 15 twips per pixel.
        const int em = int(std::lround(double(pSize) * 20.0 / double(tpp)));
        if (pSize <= 0 || em < 1) return 0;
        UiFontEntry entry;
        entry.Size = pSize;
        entry.Bold = Flag(pBold);
        entry.Italic = Flag(pItalic);
        entry.Face = pFace;
        entry.HeightCorrection = 1.0F / factor;
        entry.CellHeight = int(double(pSize) * 20.0 * double(factor) / double(tpp));
        // The weight scales with the screen, but never past the top of the scale: below 10.5
        // twips per pixel the plain formula would ask for more than the heaviest weight.
        entry.Weight = entry.Bold != 0 ? std::min(1000, int(700.0 * 15.0 / double(tpp))) : 0;
        entry.Font = QFont(Q(pFace));
        entry.Font.setPixelSize(em);
        entry.Font.setWeight(entry.Bold != 0 ? QFont::Bold : QFont::Normal);
        entry.Font.setItalic(entry.Italic != 0);
        g_Cache.push_back(std::move(entry));
        return 1;
    });
}

int ApplyUiFont(QWidget* pWindow, int pIndex, QWidget* pControl, float pSize, int pBold, int pItalic,
                const std::string& pFace) {
    return Trapped(-3, [&] {
        if (pIndex < -2) return -3;
        if (!EnsureDefaultEntry()) return -3;
        QWidget* target = pWindow;
        float size = pSize;
        int bold = pBold;
        int italic = pItalic;
        std::string face = pFace;
        if (pIndex == -1) {
            if (pControl == nullptr) return -3;
            const QFont own = pControl->font();
            target = pControl;
            size = own.pixelSize() > 0 ? float(own.pixelSize()) * TwipsPerPixel() / 20.0F
                                       : float(own.pointSizeF());
            bold = own.bold() ? -1 : 0;
            italic = own.italic() ? -1 : 0;
            face = own.family().toStdString();
        }
        const int index = pIndex >= 0 ? pIndex : FindOrCreate(size, bold, italic, face);
        if (index < 0 || index >= int(g_Cache.size())) return -3;
        if (target != nullptr) target->setFont(g_Cache[std::size_t(index)].Font);
        return index;
    });
}

const UiFontEntry& UiFontAt(int pIndex) {
    if (pIndex >= 0 && pIndex < int(g_Cache.size())) return g_Cache[std::size_t(pIndex)];
    EnsureDefaultEntry();
    if (!g_Cache.empty()) return g_Cache.front();
    static const UiFontEntry none;
    return none;
}

int UiFontCount() {
    return int(g_Cache.size());
}

void ReleaseUiFonts() {
    g_Cache.clear();
}

int StartupLanguageFlag(const LanguageEnvironment& pEnvironment, int pLangMode) {
    if (!pEnvironment.JapaneseSystem || pLangMode != 0) return 0;
    // A toolkit shipped in the program folder decides alone, with or without its Japanese texts.
    const std::string folder = SetTrailingSeparator(pEnvironment.ProgramFolder, 0);
    if (FileExists(folder + "libQt6Core.so.6") != 0)
        return FileExists(folder + "translations/qtbase_ja.qm") != 0 ||
                       FileExists(folder + "qtbase_ja.qm") != 0
                   ? 0
                   : 1;
    return FileExists(SetTrailingSeparator(pEnvironment.SystemTranslations, 0) + "qtbase_ja.qm") != 0 ? 0 : 1;
}

void CheckStartupLanguage() {
    if (g_LanguageChecked) return;
    g_LanguageChecked = true;
    Trapped(0, [] {
        const LanguageEnvironment environment{
            QLocale::system().language() == QLocale::Japanese, AppFolder(),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath).toStdString()};
        if (!environment.JapaneseSystem) return 0;
        const int langMode = IntegerOrZero(ReadSetting("LangMode", std::int32_t(0)));
        g_ReleaseAtExit = StartupLanguageFlag(environment, langMode);
        return 0;
    });
}

int ReleaseFontsAtExit() {
    return g_ReleaseAtExit;
}

float ScreenTwipsPerPixel() {
    const QScreen* screen =
        QGuiApplication::instance() != nullptr ? QGuiApplication::primaryScreen() : nullptr;
    const double dpi = screen != nullptr ? screen->logicalDotsPerInchX() : 96.0;
    return dpi > 0 ? float(1440.0 / dpi) : 15.0F;
}

} // namespace Support
