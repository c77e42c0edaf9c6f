// The list's settings that reach beyond the model. The items, the columns and their rules are in
// ListModel; the surfaces, layout and painting in UC_ListView_Paint.cpp, input in
// UC_ListView_Input.cpp.
#include "controls/UC_ListView.h"

#include "controls/Palette.h"
#include "support/Twips.h"
#include "support/UiFont.h"

#include <QFontMetrics>

UC_ListView::UC_ListView(QWidget* pParent)
    : QWidget(pParent)
    , c_VLineColor(Palette::SystemColorRef(Palette::kButtonFace))
    , c_BackColor(Palette::SystemColorRef(Palette::kWindowBackground)) {
    c_Model.ForeColor(Palette::SystemColorRef(Palette::kWindowText));
    CreateSurfaces();
}

UC_ListView::~UC_ListView() = default;

void UC_ListView::UseUCBar(std::int32_t pValue) noexcept {
    if (!c_Initialised) c_UseUCBar = pValue;
}

void UC_ListView::SetTabWidthAuto() {
    if (ItemCount() == 0) return;
    const QFontMetrics metrics(Support::UiFontAt(c_FontRows).Font);
    c_Model.FitTabWidths([&metrics](const QString& pText) { return metrics.horizontalAdvance(pText); },
                         Support::TwipsPerPixel(), c_IconDisabled == 0);
    ReDrawTab(-1);
    ReDraw();
}
