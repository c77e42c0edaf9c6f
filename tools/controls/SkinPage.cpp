#include "controls/Skin.h"
#include "tools/controls/InspectionPages.h"

#include <QPainter>
#include <QWidget>

namespace {

// Every skin style on a tile of its own, with its number.
class SkinPage final : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Skin::BackColor());
        const int styles[] = {-2, 1, 2, 5, 6, 7, 12, 13, 14};
        int x = 16;
        int y = 16;
        for (const int style : styles) {
            const QRect tile(x, y, 150, 40);
            Skin::PaintSkin(painter, tile, style);
            painter.setPen(Qt::black);
            painter.drawText(QRect(x, y + 44, 150, 20), Qt::AlignLeft, QStringLiteral("style %1").arg(style));
            x += 170;
            if (x + 150 > width()) {
                x = 16;
                y += 80;
            }
        }
        QRect framed(16, y + 90, 300, 48);
        Skin::PaintFramedFill(painter, framed, 0, 0x686868, 1, 0);
        Skin::DrawEdge(painter, QRect(340, y + 90, 200, 48), true);
    }
};

} // namespace

QWidget* MakeSkinPage() {
    return new SkinPage;
}
