#include "controls/Skin.h"
#include "controls/UC_Check.h"
#include "support/Twips.h"
#include "tools/controls/InspectionPages.h"
#include "tools/controls/PageRows.h"

#include <QPainter>

namespace {

// Paints its background into a picture it keeps, as the main window does, and lends that picture
// to its check boxes.
class CheckPage final : public QWidget {
public:
    CheckPage() {
        resize(900, 600);
        Repaint();
        QLabel* events = PageRows::EventLine(this, 8);
        int top = 40;
        const auto row = [&](const char* pCaption, const QString& pBoxCaption, std::int32_t pValue) {
            auto* box = new UC_Check;
            box->resize(10, 20);
            PageRows::Place(this, pCaption, top, box);
            if (c_Shared) box->Gradhdc(c_Shared);
            box->SetBGPic(Support::Px(float(box->x())), Support::Px(float(box->y())), &c_Background);
            box->FontSize(9);
            box->SizeRate(1);
            box->Caption(pBoxCaption);
            box->Value(pValue);
            if (!c_Shared) c_Shared = box->Gradhdc();
            QObject::connect(box, &UC_Check::Click, events, [events, box] {
                events->setText(QStringLiteral("Click: %1 = %2").arg(box->Caption()).arg(box->Value()));
            });
            top += box->height() + 10;
            return box;
        };
        row("unchecked", QStringLiteral("デコードのみ"), 0);
        row("checked", QStringLiteral("ディザ"), 1);
        row("disabled", QStringLiteral("mp3"), 0)->Enabled(0);
        row("disabled, checked", QStringLiteral("mp2"), 1)->Enabled(0);
        UC_Check* option = row("option", QStringLiteral("ステレオ"), 0);
        option->IsOption(1);
        UC_Check* chosen = row("option, chosen", QStringLiteral("モノラル"), 1);
        chosen->IsOption(1);
        row("no caption", QString(), 1);
        auto* large = new UC_Check;
        large->resize(10, 20);
        PageRows::Place(this, "SizeRate 1.5, 12 points", top, large);
        large->SetBGPic(Support::Px(float(large->x())), Support::Px(float(large->y())), &c_Background);
        large->SizeRate(1.5F);
        large->FontSize(12);
        large->Caption(QStringLiteral("大きい箱"));
        large->Value(1);
        top += large->height() + 10;
        auto* plain = new UC_Check;
        plain->resize(10, 20);
        PageRows::Place(this, "no background picture", top, plain);
        plain->Caption(QStringLiteral("背景なし"));
        plain->Value(1);
    }

protected:
    void resizeEvent(QResizeEvent*) override { Repaint(); }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawPixmap(0, 0, c_Background);
    }

private:
    // The boxes hold a pointer to the picture, so it is repainted in place.
    void Repaint() {
        c_Background = Skin::MakeSurface(size(), this);
        QPainter painter(&c_Background);
        Skin::PaintSkin(painter, rect(), Skin::kBackground);
        Skin::PaintSkin(painter, rect(), Skin::kFaceQuiet);
        painter.end();
        for (QWidget* child : findChildren<QWidget*>())
            child->update();
    }

    QPixmap c_Background;
    UC_Check::BoxImage c_Shared;
};

} // namespace

QWidget* MakeCheckPage() {
    return new CheckPage;
}
