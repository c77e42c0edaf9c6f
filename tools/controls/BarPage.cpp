#include "controls/Palette.h"
#include "controls/UC_Bar.h"
#include "support/Twips.h"
#include "tools/controls/InspectionPages.h"
#include "tools/controls/PageRows.h"

namespace {

UC_Bar* Bar(int pWidthTwips, int pHeightTwips, std::int32_t pColor, std::int32_t pNoGrad) {
    auto* bar = new UC_Bar;
    bar->resize(int(Support::ToPixels(float(pWidthTwips))), int(Support::ToPixels(float(pHeightTwips))));
    bar->BarColor(pColor);
    bar->NoGrad(pNoGrad);
    bar->Init();
    return bar;
}

} // namespace

QWidget* MakeBarPage() {
    auto* page = new QWidget;
    QLabel* events = PageRows::EventLine(page, 8);
    PageRows::Column column(page, 34, 10);
    const auto row = [&](const char* pCaption, UC_Bar* pBar, std::int32_t pValue) {
        column.Add(pCaption, pBar);
        pBar->Value(pValue);
        QObject::connect(pBar, &UC_Bar::Scrolled, events, [events, pBar] {
            events->setText(QStringLiteral("Scrolled: %1").arg(pBar->Value()));
        });
        QObject::connect(pBar, &UC_Bar::MouseUD, events, [events, pBar](bool pDown) {
            events->setText(QStringLiteral("MouseUD(%1): %2").arg(pDown ? -1 : 0).arg(pBar->Value()));
        });
        return pBar;
    };

    row("value 0: the sliver", Bar(5175, 240, 0, 0), 0);
    row("value 1 of 1000", Bar(5175, 240, 0, 0), 1);
    row("value 250", Bar(5175, 240, 0, 0), 250);
    UC_Bar* half = row("value 500, text", Bar(5175, 330, 0, 0), 500);
    half->TextToDisp(QStringLiteral("50 %"));
    row("value 1500: full", Bar(5175, 240, 0, 0), 1500);
    row("NoGrad, value 700", Bar(5175, 240, 0, 1), 700);
    row("BarColor blue, value 620", Bar(5175, 240, Palette::Rgb(70, 120, 200), 0), 620);
    UC_Bar* tall = row("tall, bold text", Bar(5175, 420, Palette::Rgb(90, 160, 90), 0), 330);
    tall->SetStyle(10, -1, {}, Palette::Rgb(30, 50, 30));
    tall->TextToDisp(QStringLiteral("変換中 33 %"));
    UC_Bar* wide = row("text wider than the bar", Bar(1800, 330, 0, 0), 400);
    wide->TextToDisp(QStringLiteral("とても長い説明文がバーからはみ出す"));
    UC_Bar* locked = row("Locked (mouse ignored)", Bar(5175, 240, 0, 0), 900);
    locked->Locked(1);
    UC_Bar* empty = new UC_Bar;
    empty->resize(int(Support::ToPixels(5175)), 16);
    empty->Max(0);
    empty->Init();
    row("Max 0", empty, 300);
    return page;
}
