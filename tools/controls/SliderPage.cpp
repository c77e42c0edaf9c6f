#include "controls/UC_Slider.h"
#include "tools/controls/InspectionPages.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QWidget>

namespace {

struct Variant {
    const char* Caption;
    bool Vertical;
    int NoGrad;
    int NoArrow;
    std::int16_t CenterLined;
    std::int16_t Disabletrim;
    float Pointer;
    int Value;
};

} // namespace

QWidget* MakeSliderPage() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    const Variant variants[] = {
        {"horizontal, gradient thumb", false, 0, 0, 0, 0, 0.25F, 300},
        {"flat thumb (the list's bars)", false, 1, 0, 0, 0, 0.5F, 700},
        {"centre line, no arrows", false, 0, 1, -1, 0, 0.15F, 1000},
        {"arrows disabled", false, 0, 0, 0, -1, 0.1F, 0},
        {"thumb fills a short track", false, 0, 0, 0, 0, 2.0F, 500},
    };
    int row = 0;
    for (const Variant& v : variants) {
        auto* slider = new UC_Slider;
        slider->setFixedSize(320, 18);
        slider->NoGrad(v.NoGrad);
        slider->NoArrow(v.NoArrow);
        slider->CenterLined(v.CenterLined);
        slider->Disabletrim(v.Disabletrim);
        slider->Init();
        slider->SetPointerSize(v.Pointer);
        slider->Value(v.Value);
        auto* label = new QLabel(QString::fromUtf8(v.Caption));
        auto* value = new QLabel(QString::number(slider->Value()));
        QObject::connect(slider, &UC_Slider::Scrolled, value,
                         [slider, value](std::int16_t) { value->setNum(int(slider->Value())); });
        grid->addWidget(label, row, 0);
        grid->addWidget(slider, row, 1);
        grid->addWidget(value, row, 2);
        ++row;
    }
    auto* vertical = new UC_Slider;
    vertical->setFixedSize(18, 240);
    vertical->IsVertical(1);
    vertical->NoGrad(1);
    vertical->Init();
    vertical->SetPointerSize(0.3F);
    vertical->Value(400);
    auto* verticalGrad = new UC_Slider;
    verticalGrad->setFixedSize(18, 240);
    verticalGrad->IsVertical(1);
    verticalGrad->Init();
    verticalGrad->SetPointerSize(0.2F);
    verticalGrad->Value(800);
    auto* verticals = new QWidget;
    auto* box = new QHBoxLayout(verticals);
    box->addWidget(vertical);
    box->addWidget(verticalGrad);
    box->addStretch();
    grid->addWidget(new QLabel(QStringLiteral("vertical: flat and gradient")), row, 0);
    grid->addWidget(verticals, row, 1);
    grid->setRowStretch(row + 1, 1);
    grid->setColumnStretch(3, 1);
    return page;
}
