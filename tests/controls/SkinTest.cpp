#include "controls/Skin.h"
#include "controls/Palette.h"
#include "tests/common/TestApp.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QtMath>

#include <gtest/gtest.h>

#include <map>

namespace {

QImage Render(int pStyle, int pWidth, int pHeight) {
    QImage image(pWidth, pHeight, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    Skin::PaintSkin(painter, image.rect(), pStyle);
    return image;
}

TEST(Skin, EveryStyleIsDistinctAndStable) {
    TestApp::Instance();
    const int styles[] = {-2, 1, 2, 5, 6, 7, 12, 13, 14};
    std::map<int, QImage> images;
    for (const int style : styles) {
        images[style] = Render(style, 40, 24);
        EXPECT_EQ(images[style], Render(style, 40, 24)) << style;
        // The whole surface is painted (rounded faces leave only their corners).
        EXPECT_NE(images[style].pixelColor(20, 12), QColor(Qt::magenta)) << style;
    }
    for (const int a : styles)
        for (const int b : styles)
            if (a < b) {
                EXPECT_NE(images[a], images[b]) << a << " and " << b;
            }
    // Style 5 runs top to bottom, 6 left to right.
    const QImage down = images[5];
    const QImage across = images[6];
    EXPECT_NE(down.pixel(20, 0), down.pixel(20, 23));
    EXPECT_EQ(down.pixel(0, 12), down.pixel(39, 12));
    EXPECT_NE(across.pixel(0, 12), across.pixel(39, 12));
    EXPECT_EQ(across.pixel(20, 0), across.pixel(20, 23));
}

TEST(Skin, ASunkenEdgeShowsOnAllFourSidesOverTheLightSurfaces) {
    TestApp::Instance();
    // A side shows when it stands apart from the surfaces a box sits on and is drawn on.
    const auto apart = [](QColor pA, QColor pB) {
        return std::abs(pA.red() - pB.red()) + std::abs(pA.green() - pB.green()) +
                   std::abs(pA.blue() - pB.blue()) >=
               60;
    };
    for (const QColor surface : {QColor(Qt::white), Palette::SystemColor(Palette::kButtonFace),
                                 Palette::SystemColor(Palette::k3DLight)}) {
        QImage image(20, 12, QImage::Format_RGB32);
        image.fill(surface);
        QPainter painter(&image);
        Skin::DrawEdge(painter, image.rect(), true);
        painter.end();
        const QColor top = image.pixelColor(10, 0);
        const QColor left = image.pixelColor(0, 6);
        const QColor bottom = image.pixelColor(10, 11);
        const QColor right = image.pixelColor(19, 6);
        for (const QColor side : {top, left, bottom, right})
            EXPECT_TRUE(apart(side, surface))
                << side.name().toStdString() << " on " << surface.name().toStdString();
        EXPECT_EQ(bottom, right);
        EXPECT_GT(bottom.lightness(), top.lightness()) << "still sunken: lit from the top left";
    }
}

TEST(Skin, FitTextToWidthCutsAtTheLastWholeCharacterWithoutEllipsis) {
    TestApp::Instance();
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPixelSize(12);
    const QFontMetrics metrics(font);
    const QString text = QStringLiteral("漢字のファイル名.wav");
    const int fiveWide = metrics.horizontalAdvance(text.left(5));
    EXPECT_EQ(Skin::FitTextToWidth(text, 10000, false, metrics), text);
    EXPECT_EQ(Skin::FitTextToWidth(text, fiveWide, false, metrics), text.left(5));
    EXPECT_EQ(Skin::FitTextToWidth(text, fiveWide - 1, false, metrics), text.left(4));
    EXPECT_EQ(Skin::FitTextToWidth(text, metrics.horizontalAdvance(text.right(3)), true, metrics),
              text.right(3));
    // Never less than one character, and short texts whole.
    EXPECT_EQ(Skin::FitTextToWidth(text, 0, false, metrics), text.left(1));
    EXPECT_EQ(Skin::FitTextToWidth(text, 0, true, metrics), text.right(1));
    EXPECT_EQ(Skin::FitTextToWidth(QStringLiteral("漢"), 0, false, metrics), QStringLiteral("漢"));
    EXPECT_EQ(Skin::FitTextToWidth(QString(), 0, false, metrics), QString());
    // A character outside the basic plane is never split.
    const QString emoji = QStringLiteral("a\U0001F3B5b");
    EXPECT_EQ(Skin::FitTextToWidth(emoji, metrics.horizontalAdvance(emoji) - 1, true, metrics), emoji.mid(1));
}

TEST(Skin, SurfacesAreMadeAtTheDevicePixelRatio) {
    TestApp::Instance();
    const QPixmap surface = Skin::MakeSurface(QSize(10, 4));
    EXPECT_EQ(surface.deviceIndependentSize().toSize(), QSize(10, 4));
    EXPECT_EQ(surface.width(), qCeil(10 * Skin::DevicePixelRatio()));
}

} // namespace
