#include "controls/UC_ListView.h"
#include "controls/DroppedFiles.h"
#include "controls/Palette.h"
#include "support/Twips.h"
#include "support/UiFont.h"
#include "tests/common/TestApp.h"
#include "tests/common/ToolTipAt.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

constexpr double kTwips = 15;

// The file list as the main window sets it up, shown on the offscreen screen, with pItems rows
// named "item NNN" in descending order.
std::unique_ptr<UC_ListView> ShownList(int pItems, int pHeight = 300, int pWidth = 540) {
    TestApp::Instance();
    Support::TwipsPerPixel(float(kTwips));
    // The face the window would choose, whatever an earlier test left behind.
    Support::ChooseUiFont();
    auto list = std::make_unique<UC_ListView>();
    list->NumData(3);
    list->NumAux(1);
    list->UseUCBar(1);
    list->Init();
    const std::int32_t widths[] = {3510, 1140, 2700};
    for (int column = 0; column < 3; ++column) {
        list->TabName(column, "列");
        list->TabWidth(column, widths[column]);
    }
    list->InitTab();
    list->ReDrawTab(-1);
    list->resize(pWidth, pHeight);
    list->AddItem(pItems);
    for (int i = 0; i < pItems; ++i)
        list->Value(i, 0, QStringLiteral("item %1").arg(pItems - i, 3, 10, QLatin1Char('0')));
    list->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(list.get()));
    list->Refresh();
    return list;
}

// First pixel row of a row on screen, and a point in the middle of it.
int RowTop(const UC_ListView& pList, int pRow) {
    return int(std::ceil(pRow * pList.OneHeight() / kTwips - 1e-6));
}
QPointF RowPoint(const UC_ListView& pList, int pRow, double pX = 60) {
    return {pX, (RowTop(pList, pRow) + RowTop(pList, pRow + 1)) / 2.0};
}

void Mouse(QWidget* pWidget, QEvent::Type pType, QPointF pPosition, Qt::MouseButton pButton,
           Qt::MouseButtons pButtons, Qt::KeyboardModifiers pModifiers = Qt::NoModifier) {
    QMouseEvent event(pType, pPosition, pWidget->mapToGlobal(pPosition), pButton, pButtons, pModifiers);
    QApplication::sendEvent(pWidget, &event);
}

void Click(QWidget* pWidget, QPointF pPosition, Qt::KeyboardModifiers pModifiers = Qt::NoModifier,
           Qt::MouseButton pButton = Qt::LeftButton) {
    Mouse(pWidget, QEvent::MouseButtonPress, pPosition, pButton, pButton, pModifiers);
    Mouse(pWidget, QEvent::MouseButtonRelease, pPosition, pButton, Qt::NoButton, pModifiers);
}

// A drag that enters at pPosition and drops there.
void Drop(QWidget* pWidget, QPointF pPosition, const QMimeData& pData) {
    QDragEnterEvent enter(pPosition.toPoint(), Qt::CopyAction, &pData, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(pWidget, &enter);
    QDropEvent drop(pPosition, Qt::CopyAction, &pData, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(pWidget, &drop);
}

std::vector<int> Selected(const UC_ListView& pList) {
    std::vector<int> items;
    for (int i = 0; i < pList.ItemCount(); ++i)
        if (pList.IsSelected(i) == 1) items.push_back(i);
    return items;
}

QColor Pixel(QWidget* pSurface, QPointF pPoint) {
    return pSurface->grab().toImage().pixelColor(pPoint.toPoint());
}

TEST(UC_ListView, PressesSelectWithShiftRangesAndCtrlToggles) {
    auto list = ShownList(12);
    QWidget* rows = list->PictureList();
    Click(rows, RowPoint(*list, 5));
    EXPECT_EQ(Selected(*list), (std::vector<int>{5}));
    Click(rows, RowPoint(*list, 2), Qt::ShiftModifier);
    EXPECT_EQ(Selected(*list), (std::vector<int>{2, 3, 4, 5}));
    EXPECT_EQ(list->SelectedItem(), 2);
    Click(rows, RowPoint(*list, 4), Qt::ShiftModifier);
    EXPECT_EQ(Selected(*list), (std::vector<int>{2, 3, 4}));
    // A plain press on the Shift-made selection keeps it (to drag it); a second one narrows it.
    Click(rows, RowPoint(*list, 3));
    EXPECT_EQ(Selected(*list), (std::vector<int>{2, 3, 4}));
    Click(rows, RowPoint(*list, 3));
    EXPECT_EQ(Selected(*list), (std::vector<int>{3}));

    Click(rows, RowPoint(*list, 7), Qt::ControlModifier);
    EXPECT_EQ(Selected(*list), (std::vector<int>{3, 7}));
    EXPECT_EQ(list->SelectedItem(), 7);
    Click(rows, RowPoint(*list, 7), Qt::ControlModifier);
    EXPECT_EQ(Selected(*list), (std::vector<int>{3}));
    EXPECT_EQ(list->SelectedItem(), 3) << "the lowest selected item becomes current";
    // A plain press on an unselected item after Ctrl selects it at once.
    Click(rows, RowPoint(*list, 9), Qt::ControlModifier);
    Click(rows, RowPoint(*list, 10));
    EXPECT_EQ(Selected(*list), (std::vector<int>{10}));

    // The row under the pointer is the row painted there, also in its top pixels, and the same
    // row YsItem gives for the event's Y.
    float pressY = -1;
    QObject::connect(list.get(), &UC_ListView::MouseDown,
                     [&](std::int16_t, std::int16_t, float, float pY) { pressY = pY; });
    Click(rows, QPointF(60, RowTop(*list, 6) + 1));
    EXPECT_EQ(Selected(*list), (std::vector<int>{6}));
    EXPECT_EQ(list->YsItem(pressY), 6);

    list->ClickDisabled(1);
    Click(rows, RowPoint(*list, 1));
    EXPECT_EQ(Selected(*list), (std::vector<int>{6}));
}

TEST(UC_ListView, ReleasesDragStartsGrabScrollingAndTheColumnMenuAreReported) {
    auto list = ShownList(60);
    QWidget* rows = list->PictureList();
    QSignalSpy clicked(list.get(), &UC_ListView::Clicked);
    QSignalSpy rightClicked(list.get(), &UC_ListView::RightClicked);
    Click(rows, RowPoint(*list, 1), Qt::NoModifier, Qt::RightButton);
    Click(rows, RowPoint(*list, 1));
    EXPECT_EQ(rightClicked.count(), 1);
    EXPECT_EQ(clicked.count(), 1);

    // A drag starts 8 pixels from the press; the host that supplies no data drags nothing.
    int starts = 0;
    QObject::connect(list.get(), &UC_ListView::OLEStartDrag, [&](QMimeData*, std::int32_t&) { ++starts; });
    const QPointF press = RowPoint(*list, 2);
    Mouse(rows, QEvent::MouseButtonPress, press, Qt::LeftButton, Qt::LeftButton);
    Mouse(rows, QEvent::MouseMove, press + QPointF(8, 0), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(starts, 0);
    Mouse(rows, QEvent::MouseMove, press + QPointF(9, 0), Qt::NoButton, Qt::LeftButton);
    Mouse(rows, QEvent::MouseButtonRelease, press + QPointF(9, 0), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(starts, 1);

    list->UseScroll(1);
    const QPointF grab = RowPoint(*list, 5);
    const QPointF up = grab - QPointF(0, 3 * list->OneHeight() / kTwips + 1);
    Mouse(rows, QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
    Mouse(rows, QEvent::MouseMove, up, Qt::NoButton, Qt::LeftButton);
    Mouse(rows, QEvent::MouseButtonRelease, up, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(list->TopItem(), 3) << "dragging up by three rows scrolls three rows down";
    EXPECT_EQ(starts, 1);

    list->UseTabOrder(1);
    QSignalSpy reordered(list.get(), &UC_ListView::TabReOrderd);
    Click(list->PictureTab(), QPointF(10, 9), Qt::NoModifier, Qt::RightButton);
    auto* menu = list->findChild<QMenu*>(QStringLiteral("MenuRCTabP"));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_FALSE(menu->actions()[0]->isEnabled()) << "the column's own position";
    menu->actions()[2]->trigger();
    menu->close();
    EXPECT_EQ(list->ColumnAt(2), 0);
    EXPECT_EQ(list->TabLeft(0), list->TabWidth(1) + list->TabWidth(2));
    EXPECT_EQ(reordered.count(), 1);
}

TEST(UC_ListView, RowsAreAsHighAsTheFontAsksAndKeepTheirTextInside) {
    auto list = ShownList(4);
    const double t = QFontMetrics(list->PictureList()->font()).height() * kTwips /
                     Support::FaceHeightFactor(Support::UiFontName());
    EXPECT_EQ(list->OneHeight(), std::lround(t * 1.4));
    for (int i = 0; i < 4; ++i) {
        list->Value(i, 0, i == 1 ? "漢字アgyÅp(j)" : "");
        list->IconType(i, -1);
    }
    list->ReDraw();
    const QImage image = list->PictureList()->grab().toImage();
    int top = image.height();
    int bottom = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < 200; ++x)
            if (qGray(image.pixel(x, y)) < 160) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    // Clear of the row's top line, where the stripe, the band and HLine leave or draw a line.
    EXPECT_GT(top, RowTop(*list, 1)) << "ink above the row";
    EXPECT_LT(bottom, RowTop(*list, 2)) << "ink below the row";
    EXPECT_GT(bottom - top, 8);
}

TEST(UC_ListView, HeaderClicksSortAndAlternateAndEdgesResizeToTheMinimum) {
    auto list = ShownList(8);
    QWidget* tabs = list->PictureTab();
    Click(tabs, QPointF(50, 9));
    EXPECT_EQ(list->Value(0, 0), "item 001");
    EXPECT_EQ(list->OrderInverted(), 0);
    Click(tabs, QPointF(50, 9));
    EXPECT_EQ(list->Value(0, 0), "item 008");
    EXPECT_EQ(list->OrderInverted(), 1);
    list->SortDisabled(1);
    Click(tabs, QPointF(50, 9));
    list->SortDisabled(0);
    list->ClickDisabled(2); // any non-zero value keeps the tabs from sorting
    Click(tabs, QPointF(50, 9));
    EXPECT_EQ(list->OrderInverted(), 1);
    list->ClickDisabled(0);

    QSignalSpy moved(list.get(), &UC_ListView::TabMoved);
    const double edge = list->TabRight(0) / kTwips;
    Mouse(tabs, QEvent::MouseMove, QPointF(edge - 3, 9), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(list->PictureAll()->cursor().shape(), Qt::SizeHorCursor);
    Mouse(tabs, QEvent::MouseButtonPress, QPointF(edge - 3, 9), Qt::LeftButton, Qt::LeftButton);
    Mouse(tabs, QEvent::MouseMove, QPointF(edge + 40, 9), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(list->TabWidth(0), std::lround((edge + 43) * kTwips));
    Mouse(tabs, QEvent::MouseMove, QPointF(2, 9), Qt::NoButton, Qt::LeftButton);
    Mouse(tabs, QEvent::MouseButtonRelease, QPointF(2, 9), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(list->TabWidth(0), 450);
    EXPECT_EQ(list->TabLeft(1), 450);
    EXPECT_EQ(moved.count(), 1);
    EXPECT_EQ(list->PictureAll()->cursor().shape(), Qt::ArrowCursor);
}

TEST(UC_ListView, AutomaticWidthsMeasureValuesInTheRowFont) {
    auto list = ShownList(2);
    list->Value(0, 0, "a rather long value that needs a wide column");
    list->SetTabWidthAuto();
    EXPECT_GT(list->TabWidth(0), 2000);
    EXPECT_EQ(list->TabWidth(1), 450);
}

TEST(UC_ListView, WheelAndKeysScrollAndKeepTheCursorVisible) {
    auto list = ShownList(100);
    const auto visible = [&] {
        return list->SelectedItem() >= list->TopItem() &&
               list->SelectedItem() < list->TopItem() + list->VisibleRows();
    };
    QWheelEvent wheel(QPointF(50, 50), list->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(list.get(), &wheel);
    EXPECT_EQ(list->TopItem(), 3);

    QTest::keyClick(list.get(), Qt::Key_End);
    EXPECT_EQ(list->SelectedItem(), 99);
    EXPECT_TRUE(visible());
    QTest::keyClick(list.get(), Qt::Key_Home);
    EXPECT_EQ(list->SelectedItem(), 0);
    EXPECT_EQ(list->TopItem(), 0);
    QTest::keyClick(list.get(), Qt::Key_PageDown);
    EXPECT_EQ(list->SelectedItem(), list->VisibleRows() - 1);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(list.get(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(list->NumSelectedItems(), 4) << "Shift extends from where the keyboard selection began";
    EXPECT_EQ(list->SelectedItem(), list->VisibleRows() + 2);
    EXPECT_TRUE(visible());
    EXPECT_GT(list->TopItem(), 0);
    QTest::keyClick(list.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(list->NumSelectedItems(), 100);

    QSignalSpy deleted(list.get(), &UC_ListView::KeyDeletePressed);
    QSignalSpy doubled(list.get(), &UC_ListView::DblClicked);
    QTest::keyClick(list.get(), Qt::Key_Delete);
    QTest::keyClick(list.get(), Qt::Key_Return);
    QTest::keyClick(list.get(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(deleted.count(), 1);
    EXPECT_EQ(doubled.count(), 0) << "Enter is no double click: hosts remove rows on DblClicked";
    EXPECT_EQ(list->NumSelectedItems(), 100);
}

QString ToolTipAt(UC_ListView& pList, QPointF pPoint) {
    return TestApp::ToolTipAt(*pList.PictureList(), pPoint.toPoint());
}

TEST(UC_ListView, ACutCellShowsItsWholeTextAsAToolTip) {
    auto list = ShownList(2);
    const QString longName =
        QStringLiteral("とても長いファイル名の録音 2024-03-11 第二部 完全版 final mix.wav");
    list->Value(0, 0, longName);
    list->Value(0, 2, QStringLiteral("wav"));
    const float middle = float(list->TabLeft(2) + list->TabWidth(2) / 2) / float(kTwips);
    EXPECT_TRUE(ToolTipAt(*list, RowPoint(*list, 0)).isEmpty()) << "off unless the host asks for it";
    list->CutToolTip(1);
    struct Case {
        int Row;
        double X;
        QString Expected;
    };
    const Case cases[] = {
        {0, 60, longName},      // cut: the whole text
        {0, middle, QString()}, // fits: nothing to add
        {1, 60, QString()},     // "item 001" fits
        {5, 60, QString()},     // below the last row
    };
    for (const Case& c : cases)
        EXPECT_EQ(ToolTipAt(*list, RowPoint(*list, c.Row, c.X)), c.Expected) << c.Row << " " << c.X;

    // The host may speak for an item, also where its text fits.
    QObject::connect(list.get(), &UC_ListView::ToolTipText,
                     [](std::int32_t pItem, std::int32_t, QString& pText) {
                         if (pItem == 1) pText = QStringLiteral("変換できませんでした");
                     });
    EXPECT_EQ(ToolTipAt(*list, RowPoint(*list, 1)), QStringLiteral("変換できませんでした"));
    EXPECT_EQ(ToolTipAt(*list, RowPoint(*list, 0)), longName);
}

TEST(UC_ListView, TheFrameShowsWhenTheKeysReachTheList) {
    auto list = ShownList(3);
    QWidget other;
    other.setFocusPolicy(Qt::StrongFocus);
    other.show();
    const auto ring = [&] { return list->PictureAll()->grab().toImage().pixelColor(1, 60); };
    other.activateWindow();
    other.setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    const QColor without = ring();
    list->activateWindow();
    list->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(list.get()));
    ASSERT_TRUE(list->hasFocus());
    EXPECT_NE(ring(), without);
}

TEST(UC_ListView, DoubleClicksAndDropsAreReported) {
    auto list = ShownList(0);
    QWidget* rows = list->PictureList();
    QSignalSpy doubled(list.get(), &UC_ListView::DblClicked);
    Mouse(rows, QEvent::MouseButtonDblClick, RowPoint(*list, 0), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(doubled.count(), 0) << "no items, no event";
    list->AddItem(5);
    list->SetVbarParm();
    Mouse(rows, QEvent::MouseButtonDblClick, RowPoint(*list, 0), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(doubled.count(), 1);

    std::vector<std::string> files;
    std::int32_t row = -1;
    QObject::connect(
        list.get(), &UC_ListView::OLEDragDrop,
        [&](const QMimeData* pData, std::int32_t& pEffect, std::int16_t, std::int16_t, float, float pY) {
            files = DroppedFiles(*pData);
            row = list->YsItem(pY);
            EXPECT_EQ(pEffect, 1);
        });
    QMimeData data;
    data.setData(
        QStringLiteral("text/uri-list"),
        "file:///tmp/a%FF%20b.wav\r\nhttp://example.com/x.mp3\r\nfile://localhost/tmp/%E6%BC%A2.mp3\r\n");
    list->ClickDisabled(1); // drops are still reported during a run
    QSignalSpy over(list.get(), &UC_ListView::OLEDragOver);
    Drop(rows, RowPoint(*list, 2), data);
    EXPECT_EQ(over.count(), 1);
    EXPECT_EQ(files, (std::vector<std::string>{"/tmp/a\xff b.wav", "/tmp/\xe6\xbc\xa2.mp3"}));
    EXPECT_EQ(row, 2);
    Drop(rows, QPointF(60, rows->height() - 2), data);
    EXPECT_EQ(row, 5) << "below the last row: the append position";
}

TEST(UC_ListView, ScrollBarsFollowTheRowsAndDragsScrollNearTheEdges) {
    auto list = ShownList(30);
    // Room for exactly ten rows and all columns: Max = 30 − 10 + 1, LargeChange = round(21 × 10 / 30).
    list->resize(540, 22 + int(std::ceil(10 * list->OneHeight() / kTwips)));
    EXPECT_EQ(list->VisibleRows(), 10);
    EXPECT_FALSE(list->HBarState().Visible);
    EXPECT_EQ(list->VBarState().Max, 21);
    EXPECT_EQ(list->VBarState().LargeChange, 7);

    list->SetTopItem(15, 1, 0);
    EXPECT_EQ(list->TopItem(), 15);
    const float y = float(0.25 * list->OneHeight());
    const double t = 100;
    list->DragOverStep(100, y, t);        // moved: remembered
    list->DragOverStep(100, y, t);        // rests: starts timing
    list->DragOverStep(100, y, t + 0.01); // too soon
    EXPECT_EQ(list->TopItem(), 15);
    list->DragOverStep(100, y, t + 0.025);
    EXPECT_EQ(list->TopItem(), 8) << "top half row: a page up";
    const float second = float(list->OneHeight());
    list->DragOverStep(100, second, t + 0.03);
    list->DragOverStep(100, second, t + 0.1);
    EXPECT_EQ(list->TopItem(), 8);
    list->DragOverStep(100, second, t + 0.3);
    EXPECT_EQ(list->TopItem(), 7) << "second row: one row per 0.2 s";
    const float bottom = float(list->PictureList()->height() * kTwips - 0.25 * list->OneHeight());
    list->DragOverStep(100, bottom, t + 0.4);
    list->DragOverStep(100, bottom, t + 0.45);
    EXPECT_EQ(list->TopItem(), 14);

    // Deleting rows while scrolled down keeps rows on screen.
    for (int i = 5; i < 30; ++i)
        list->IsSelected(i, 1);
    list->DeleteSelected();
    list->SetVbarParm();
    EXPECT_EQ(list->TopItem(), 0);
    EXPECT_FALSE(list->VBarState().Visible);
}

TEST(UC_ListView, PaintsStripesBandsIconsAndCutCaptions) {
    auto list = ShownList(30);
    QWidget* rows = list->PictureList();
    for (int i = 0; i < 30; ++i) {
        list->Value(i, 0, "");
        list->IconType(i, -1);
    }
    list->UseMadara(1);
    list->SetTopItem(1, 1, 0);
    for (int j = 0; j < 5; ++j)
        EXPECT_EQ(Pixel(rows, RowPoint(*list, j)), j % 2 == 0 ? QColor(204, 255, 255) : QColor(Qt::white))
            << "screen row " << j;

    list->UseMadara(0);
    list->IconType(2, 10);
    list->SetSelectedItem(4);
    list->ReDraw();
    const QImage image = rows->grab().toImage();
    EXPECT_EQ(image.pixelColor(RowPoint(*list, 3).toPoint()), QColor(160, 160, 192)) << "band ANDed on white";
    EXPECT_EQ(image.pixelColor(RowPoint(*list, 2, 300).toPoint()), QColor(Qt::white));
    const int iconTop = RowTop(*list, 1) + int(std::lround((list->OneHeight() / kTwips - 16) / 2));
    const QColor mark = image.pixelColor(10, iconTop + 3);
    EXPECT_GT(mark.red(), 150);
    EXPECT_LT(mark.green(), 100);
    EXPECT_EQ(image.pixelColor(10, iconTop + 8), QColor(Qt::white)) << "the cross of the failed mark";
    EXPECT_EQ(image.pixelColor(10, RowTop(*list, 0) + 3), QColor(Qt::white)) << "no icon where -1";

    // A caption wider than its tab ends with its last whole character.
    const QString caption = QStringLiteral("漢字漢字漢字漢字漢字漢字");
    list->TabName(0, caption.toStdString());
    list->TabWidth(0, 1500);
    list->ReDrawTab(-1);
    const QFontMetrics metrics(list->PictureTab()->font());
    int whole = 1;
    while (metrics.horizontalAdvance(caption.left(whole + 1)) <= 100 - 6)
        ++whole;
    const int end = 6 + metrics.horizontalAdvance(caption.left(whole));
    const QImage header = list->PictureTab()->grab().toImage();
    const auto inkBetween = [&](int pFrom, int pTo) {
        for (int x = pFrom; x < pTo; ++x)
            for (int y = 3; y < header.height() - 2; ++y)
                if (qGray(header.pixel(x, y)) < 128) return true;
        return false;
    };
    EXPECT_TRUE(inkBetween(end - 6, end));
    EXPECT_FALSE(inkBetween(end + 1, 98)) << "no part of the next character";
}

TEST(UC_ListView, PaintingTouchesOnlyTheVisibleRowsOfAHugeList) {
    auto list = ShownList(100000);
    (void)list->PictureList()->grab();
    EXPECT_EQ(list->PaintedFirst(), 0);
    EXPECT_GT(list->PaintedCount(), 0);
    EXPECT_LE(list->PaintedCount(), list->VisibleRows() + 1);
    list->SetTopItem(50000, 1, 0);
    (void)list->PictureList()->grab();
    EXPECT_EQ(list->PaintedFirst(), 50000);
    EXPECT_LE(list->PaintedCount(), list->VisibleRows() + 1);
}

TEST(UC_ListView, EditorsWriteIntoTheCurrentRowAndReportKeys) {
    TestApp::Instance();
    UC_ListView list;
    list.NumData(3);
    list.Init();
    list.UseTextCombo(1, 1);
    list.TextIsTime(1, 1);
    list.UseTextCombo(2, 4);
    list.InitTab();
    list.AddListItem(2, "左");
    list.AddListItem(2, "右");
    list.resize(540, 200);
    list.show();
    list.AddItem(2);
    list.SetSelectedItem(0);
    list.SetVbarParm();
    list.ReDraw();
    ASSERT_TRUE(list.TextComboVisible());

    auto* text = list.PictureList()->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly).front();
    QTest::keyClicks(text, QStringLiteral("123456"));
    EXPECT_EQ(list.Value(0, 1), "12:34:56");
    text->clear();
    QTest::keyClicks(text, QStringLiteral("993000"));
    EXPECT_EQ(list.Value(0, 1), "993000");
    // A handler that zeroes a key press swallows the character.
    QObject::connect(&list, &UC_ListView::TextComboKeyAction,
                     [](std::int32_t pIsCombo, std::int32_t pTab, std::int32_t pAction, std::int16_t& pKey,
                        std::int16_t&) {
                         EXPECT_EQ(pIsCombo, 0);
                         EXPECT_EQ(pTab, 1);
                         if (pAction == 2 && pKey == 'x') pKey = 0;
                     });
    text->clear();
    QTest::keyClicks(text, QStringLiteral("axb"));
    EXPECT_EQ(list.Value(0, 1), "ab");

    QComboBox* choice = nullptr;
    for (QComboBox* box : list.PictureList()->findChildren<QComboBox*>(Qt::FindDirectChildrenOnly))
        if (!box->isEditable()) choice = box;
    ASSERT_NE(choice, nullptr);
    QSignalSpy chosen(&list, &UC_ListView::ComboChaged);
    Q_EMIT choice->activated(1);
    EXPECT_EQ(list.Value(0, 2), "右");
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.front(), (QList<QVariant>{2, 1}));
    EXPECT_EQ(list.ComboIndex(0, 2), -1) << "the column has a list, not a combo";

    // Init again: columns re-created, items gone, the same bars.
    QWidget* bar = list.findChild<QWidget*>(QStringLiteral("VBarName"));
    list.Init();
    EXPECT_EQ(list.ItemCount(), 0);
    EXPECT_EQ(list.UseTextCombo(1), 0);
    EXPECT_EQ(list.findChildren<QWidget*>(QStringLiteral("VBarName")), QList<QWidget*>{bar});
}

} // namespace
