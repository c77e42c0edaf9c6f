#include "controls/UC_Buttons.h"
#include "support/Twips.h"
#include "tools/controls/InspectionPages.h"
#include "tools/controls/PageRows.h"

#include <QPainter>

namespace {

// The icon sheet as it is: pictures above, masks below, twice the size.
class SheetView final : public QWidget {
public:
    explicit SheetView(UC_Buttons* pOwner)
        : c_Owner(pOwner) {
        resize(2 * 468, 2 * 36);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawPixmap(rect(), c_Owner->PiclibHdc());
    }

private:
    UC_Buttons* c_Owner;
};

UC_Buttons* Strip(int pDesign, int pWidthTwips, int pHeightTwips) {
    auto* strip = new UC_Buttons;
    strip->resize(int(Support::ToPixels(float(pWidthTwips))), int(Support::ToPixels(float(pHeightTwips))));
    strip->DesignType(pDesign);
    return strip;
}

// The main window's three buttons.
UC_Buttons* RunButtons() {
    UC_Buttons* strip = Strip(1, 5175, 390);
    strip->NumButtons(3);
    strip->SetButtonChar(0, QStringLiteral("クリア"));
    strip->SetButtonChar(1, QStringLiteral("中止"));
    strip->SetButtonChar(2, QStringLiteral("開始"));
    strip->ToolTip(QStringLiteral("クリア / 中止 / 開始"));
    strip->Init();
    return strip;
}

} // namespace

QWidget* MakeButtonsPage() {
    auto* page = new QWidget;
    QLabel* events = PageRows::EventLine(page, 8);
    PageRows::Column column(page, 34, 8);
    const auto row = [&](const char* pCaption, UC_Buttons* pStrip) {
        column.Add(pCaption, pStrip);
        QObject::connect(pStrip, &UC_Buttons::ButtonClicked, events, [events](std::int16_t i) {
            events->setText(QStringLiteral("ButtonClicked(%1)").arg(i));
        });
        QObject::connect(pStrip, &UC_Buttons::RightClicked, events, [events](std::int16_t i) {
            events->setText(QStringLiteral("RightClicked(%1)").arg(i));
        });
        QObject::connect(pStrip, &UC_Buttons::ShiftClicked, events, [events](std::int16_t i, std::int16_t s) {
            events->setText(QStringLiteral("ShiftClicked(%1, %2)").arg(i).arg(s));
        });
        QObject::connect(pStrip, &UC_Buttons::ButtonDown, events, [events](std::int16_t i) {
            events->setText(QStringLiteral("ButtonDown(%1)").arg(i));
        });
        return pStrip;
    };

    row("design 1: clear, stop, start", RunButtons());
    UC_Buttons* running = row("running: stop only", RunButtons());
    running->SetButtonDisable(0, 1, 1, 1);
    running->SetButtonDisable(2, 1, 1, 1);
    UC_Buttons* pushed = row("stop pushed, start selected", RunButtons());
    pushed->SetButtonState(1, 1);
    pushed->SelectedButton(2);
    UC_Buttons* raised = row("Disable3D 0, clear disabled", RunButtons());
    raised->Disable3D(0);
    raised->SetButtonDisable(0, 1, 1, 0);
    raised->SetButtonState(2, 2);
    UC_Buttons* noGray = row("NoGrayAtDisabled, clear off", RunButtons());
    noGray->NoGrayAtDisabled(1);
    noGray->SetButtonDisable(0, 1, 1, 0);

    for (int design = 0; design < 4; ++design) {
        UC_Buttons* strip = Strip(design, 5175, 360);
        strip->NumButtons(4);
        strip->SetButtonCharNum();
        strip->Init();
        strip->SetButtonOn(1, 1, 1);
        strip->SetButtonState(2, 1);
        const QByteArray caption = QStringLiteral("design %1: 2 on, 3 pushed").arg(design).toUtf8();
        row(caption.constData(), strip);
    }

    UC_Buttons* mci = row("MCI preset, play pushed", Strip(0, 2400, 390));
    mci->SetButtonsMCI();
    mci->Init();
    mci->SetButtonState(2, 1);
    UC_Buttons* pcx = row("PCX play preset, play on", Strip(3, 3600, 390));
    pcx->SetButtonsPCXplay();
    pcx->Init();
    pcx->SetButtonOn(3, 1, 1);
    pcx->SetButtonState(0, 1);
    UC_Buttons* editor = row("editor control, editor play", Strip(2, 2700, 390));
    editor->SetButtonsEditorCtrl();
    editor->Init();
    UC_Buttons* play = Strip(1, 2700, 390);
    play->SetButtonsEditorPlay();
    play->setParent(page);
    play->move(PageRows::kControlLeft + editor->width() + 12, editor->y());
    play->Init();
    play->SetButtonState(0, 1);
    auto* okCancel = new UC_Buttons;
    okCancel->SetOKCancel(1, 0, 1);
    row("SetOKCancel(1, 0, 1)", okCancel);
    okCancel->SetButtonState(1, 1);

    const int top = column.Top();
    auto* sheet = PageRows::Place(page, "icon sheet (x2)", top, new SheetView(mci));
    sheet->move(PageRows::kLabelLeft, top + 20);
    return page;
}
