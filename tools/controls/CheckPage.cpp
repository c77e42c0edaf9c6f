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
        PageRows::Column column(this, 40, 10);
        // Set up as the main window does: shared box image, background from its own place.
        const auto add = [&](const char* pCaption, UC_Check* pBox, int pHeight) {
            pBox->resize(10, pHeight);
            column.Add(pCaption, pBox);
            QObject::connect(pBox, &UC_Check::Click, events, [events, pBox] {
                events->setText(QStringLiteral("Click: %1 = %2").arg(pBox->Caption()).arg(pBox->Value()));
            });
            return pBox;
        };
        const auto row = [&](const char* pCaption, const QString& pBoxCaption, std::int32_t pValue) {
            UC_Check* box = add(pCaption, new UC_Check, 20);
            if (c_Shared) box->Gradhdc(c_Shared);
            box->SetBGPic(Support::Px(float(box->x())), Support::Px(float(box->y())), &c_Background);
            box->FontSize(9);
            box->SizeRate(1);
            box->Caption(pBoxCaption);
            box->Value(pValue);
            if (!c_Shared) c_Shared = box->Gradhdc();
            return box;
        };
        row("unchecked", QStringLiteral("デコードのみ"), 0);
        row("checked", QStringLiteral("ディザ"), 1);
        row("disabled", QStringLiteral("mp3"), 0)->Enabled(0);
        row("disabled, checked", QStringLiteral("mp2"), 1)->Enabled(0);
        row("option", QStringLiteral("ステレオ"), 0)->IsOption(1);
        row("option, chosen", QStringLiteral("モノラル"), 1)->IsOption(1);
        row("no caption", QString(), 1);
        UC_Check* large = add("SizeRate 1.5, 12 points", new UC_Check, 24);
        large->SetBGPic(Support::Px(float(large->x())), Support::Px(float(large->y())), &c_Background);
        large->SizeRate(1.5F);
        large->FontSize(12);
        large->Caption(QStringLiteral("大きい箱"));
        large->Value(1);
        UC_Check* plain = add("no background picture", new UC_Check, 20);
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
