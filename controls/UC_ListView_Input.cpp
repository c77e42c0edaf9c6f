// The list's mouse, keyboard, wheel and drag-and-drop handling. The surfaces (ListSurfaces.h) hand
// their events here; positions become twips in the surface's coordinates.
#include "controls/MouseInput.h"
#include "controls/UC_ListView.h"
#include "support/Rounding.h"
#include "support/Twips.h"
#include "support/UiFont.h"

#include <QDrag>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <optional>

namespace {

using MouseInput::ButtonCode;
using MouseInput::ButtonsCode;
using MouseInput::ShiftCode;

// Drop effects: 1 copy, 2 move, 4 link.
std::int32_t EffectOf(Qt::DropActions pActions) {
    return ((pActions & Qt::CopyAction) ? 1 : 0) | ((pActions & Qt::MoveAction) ? 2 : 0) |
           ((pActions & Qt::LinkAction) ? 4 : 0);
}

Qt::DropActions ActionsOf(std::int32_t pEffect) {
    Qt::DropActions actions;
    if ((pEffect & 1) != 0) actions |= Qt::CopyAction;
    if ((pEffect & 2) != 0) actions |= Qt::MoveAction;
    if ((pEffect & 4) != 0) actions |= Qt::LinkAction;
    return actions;
}

Qt::DropAction FirstAction(std::int32_t pEffect) {
    for (const Qt::DropAction action : {Qt::CopyAction, Qt::MoveAction, Qt::LinkAction})
        if (ActionsOf(pEffect) & action) return action;
    return Qt::IgnoreAction;
}

} // namespace

double UC_ListView::SecondsNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// ---- columns under the pointer

std::int32_t UC_ListView::TabAtX(float pX) const {
    const std::vector<std::int32_t>& order = c_Model.DisplayOrder();
    const std::vector<TabRecord>& tabs = c_Model.Tabs();
    if (order.empty()) return 0;
    const float x = pX + float(c_HScrollOffset);
    const auto shown = [&tabs](std::int32_t pColumn) { return tabs[std::size_t(pColumn)].TabHidden != 1; };
    if (x > float(tabs[std::size_t(order.back())].TabRight)) {
        for (auto it = order.rbegin(); it != order.rend(); ++it)
            if (shown(*it)) return *it;
        return 0;
    }
    if (x < float(tabs[std::size_t(order.front())].TabRight)) {
        for (const std::int32_t column : order)
            if (shown(column)) return column;
        return 0;
    }
    for (std::size_t position = 1; position < order.size(); ++position) {
        const TabRecord& tab = tabs[std::size_t(order[position])];
        if (tab.TabHidden != 1 && float(tab.TabLeft) < x && x < float(tab.TabRight)) return order[position];
    }
    return 0;
}

std::int32_t UC_ListView::TabEdgeAtX(float pX) const {
    const float x = pX + float(c_HScrollOffset);
    const float reach = Support::Px(5);
    std::int32_t found = -1;
    for (const std::int32_t column : c_Model.DisplayOrder()) {
        const TabRecord& tab = c_Model.Tabs()[std::size_t(column)];
        if (tab.TabHidden != 1 && float(tab.TabRight) - reach < x && x < float(tab.TabRight) + reach)
            found = column;
    }
    return found;
}

std::int32_t UC_ListView::RowAt(float pY) const noexcept {
    // The row arithmetic of YsItem, so a press selects the row painted under it.
    return std::clamp(YsItem(pY), 0, std::max(0, ItemCount() - 1));
}

QString UC_ListView::CellText(std::int32_t pItem, std::int32_t pData) const {
    return Value(pItem, pData).DisplayText();
}

bool UC_ListView::CellIsCut(std::int32_t pItem, std::int32_t pData) const {
    const QString text = CellText(pItem, pData);
    const QFontMetrics metrics(Support::UiFontAt(c_FontRows).Font);
    return text.size() > 1 && metrics.horizontalAdvance(text) > TwipsToPixels(TextRoom(pData));
}

QRect UC_ListView::CellRect(std::int32_t pItem, std::int32_t pData) const {
    const TabRecord* tab = c_Model.Tab(pData);
    if (tab == nullptr) return {};
    const int top = RowTopPixels(std::int64_t(pItem) - TopItem());
    const int bottom = RowTopPixels(std::int64_t(pItem) - TopItem() + 1);
    const int left = c_Model.FirstShown(pData) ? 0 : TwipsToPixels(tab->TabLeft - c_HScrollOffset);
    const int right = TwipsToPixels(tab->TabRight - c_HScrollOffset);
    return {left, top, right - left, bottom - top};
}

// ---- mouse on the rows

void UC_ListView::RowsMousePress(QMouseEvent* pEvent) {
    if (c_ClickDisabled == 1) return;
    const std::int16_t button = ButtonCode(pEvent->button());
    const std::int16_t shift = ShiftCode(pEvent->modifiers());
    const float x = TwipsOfPixels(pEvent->position().x());
    const float y = TwipsOfPixels(pEvent->position().y());
    Q_EMIT MouseDown(button, shift, x, y);
    // Any button: a right release reports RightClicked only after a press here.
    c_MouseDown = true;
    if (button != 1) return;
    c_PressX = x;
    c_PressY = y;
    c_PressVBar = c_VBar.Value();
    c_PressHBar = c_HBar.Value();
    c_Model.PressRow(RowAt(y), shift);
    c_Model.SelectedData(TabAtX(x));
    ReDraw();
}

void UC_ListView::RowsMouseMove(QMouseEvent* pEvent) {
    if (c_ClickDisabled == 1) return;
    const float x = TwipsOfPixels(pEvent->position().x());
    const float y = TwipsOfPixels(pEvent->position().y());
    if (c_ShowToolTip != 0 && QToolTip::isVisible() && ItemCount() != 0)
        QToolTip::showText(pEvent->globalPosition().toPoint(), CellText(RowAt(y), TabAtX(x)), c_PictureList);
    if ((pEvent->buttons() & Qt::LeftButton) && c_MouseDown) {
        if (c_UseScroll != 0) {
            if (c_VBar.Visible() && OneHeight() >= 1) {
                const std::int64_t rows = RoundHalfEven(double(c_PressY - y)) / OneHeight();
                const std::int32_t top = std::int32_t(
                    std::clamp<std::int64_t>(c_PressVBar + rows, 0, std::max(0, ItemCount() - 1)));
                if (top != TopItem()) SetTopItem(top, 1, 0);
            }
            if (c_HBar.Visible()) {
                const std::int64_t value = RoundHalfEven(double(c_PressX - x) + c_PressHBar);
                c_HBar.SetValue(std::int32_t(std::clamp<std::int64_t>(value, c_HBar.Min(), c_HBar.Max())));
                TakeOffsetFromBar();
            }
        } else if (ItemCount() != 0 && c_PressX >= 0) {
            const float reach = Support::Px(8);
            if (std::abs(x - c_PressX) > reach || std::abs(y - c_PressY) > reach) {
                c_PressX = -1;
                c_PressY = -1;
                StartDragOut();
            }
        }
    }
    if (c_SizingPointer) ShowSizingPointer(false);
}

void UC_ListView::StartDragOut() {
    auto content = std::make_unique<QMimeData>();
    std::int32_t allowed = 1;
    Q_EMIT OLEStartDrag(content.get(), allowed);
    // The drag consumes the button's release.
    c_MouseDown = false;
    if (content->formats().isEmpty() || ActionsOf(allowed) == Qt::DropActions()) return;
    auto* drag = new QDrag(c_PictureList);
    drag->setMimeData(content.release());
    std::int32_t effect = EffectOf(drag->exec(ActionsOf(allowed), FirstAction(allowed)));
    Q_EMIT OLECompleteDrag(effect);
}

void UC_ListView::RowsMouseRelease(QMouseEvent* pEvent) {
    if (c_ClickDisabled == 1 || !c_MouseDown) return;
    c_MouseDown = false;
    const float x = TwipsOfPixels(pEvent->position().x());
    const float y = TwipsOfPixels(pEvent->position().y());
    if (pEvent->button() == Qt::RightButton) {
        Q_EMIT RightClicked(x, y);
    } else {
        Q_EMIT Clicked(x, y);
        ReDraw();
    }
    c_PressX = -1;
    c_PressY = -1;
}

void UC_ListView::RowsDoubleClick(QMouseEvent*) {
    if (c_ClickDisabled == 1 || ItemCount() == 0) return;
    Q_EMIT DblClicked();
}

void UC_ListView::RowsToolTip(QHelpEvent* pEvent) {
    QString text;
    QRect cell;
    if (c_ClickDisabled != 1 && ItemCount() != 0) {
        const float y = TwipsOfPixels(pEvent->pos().y());
        const std::int32_t column = TabAtX(TwipsOfPixels(pEvent->pos().x()));
        // Below the last row there is no item to speak of, except for the cell-following tip.
        const std::int32_t item = YsItem(y);
        if (c_ShowToolTip != 0) {
            text = CellText(RowAt(y), column);
        } else if (item < ItemCount()) {
            if (c_CutToolTip != 0 && CellIsCut(item, column)) text = CellText(item, column);
            // The tip goes when the pointer leaves the cell it speaks of.
            cell = CellRect(item, column);
        }
        if (item < ItemCount()) Q_EMIT ToolTipText(item, column, text);
    }
    if (text.isEmpty()) {
        QToolTip::hideText();
        pEvent->ignore();
        return;
    }
    QToolTip::showText(pEvent->globalPos(), text, c_PictureList, cell);
}

// ---- mouse on the header

void UC_ListView::ShowSizingPointer(bool pShow) {
    if (pShow == c_SizingPointer) return;
    c_SizingPointer = pShow;
    if (pShow)
        c_PictureAll->setCursor(Qt::SizeHorCursor);
    else
        c_PictureAll->unsetCursor();
}

void UC_ListView::TabsMouseMove(QMouseEvent* pEvent) {
    if (c_TabDisabled == 1) return;
    const float x = TwipsOfPixels(pEvent->position().x());
    if (pEvent->buttons() == Qt::NoButton) {
        ShowSizingPointer(TabEdgeAtX(x) != -1);
        return;
    }
    const TabRecord* tab = c_Model.Tab(c_ResizeTab);
    if ((pEvent->buttons() & Qt::LeftButton) && c_SizingPointer && tab != nullptr) {
        const std::int64_t width =
            RoundHalfEven(double(c_HScrollOffset) + x + Support::Px(3) - tab->TabRight + tab->TabWidth);
        TabWidth(c_ResizeTab, std::int32_t(std::clamp<std::int64_t>(width, kMinTabWidth, 1 << 24)));
        ReDrawTab(-1);
    }
}

void UC_ListView::TabsMousePress(QMouseEvent* pEvent) {
    if (c_TabDisabled == 1 || pEvent->button() != Qt::LeftButton) return;
    const float x = TwipsOfPixels(pEvent->position().x());
    if (c_SizingPointer)
        c_ResizeTab = TabEdgeAtX(x);
    else
        ReDrawTab(TabAtX(x));
}

void UC_ListView::TabsMouseRelease(QMouseEvent* pEvent) {
    if (c_TabDisabled == 1) return;
    const float x = TwipsOfPixels(pEvent->position().x());
    if (pEvent->button() == Qt::LeftButton) {
        if (c_SizingPointer) {
            ShowSizingPointer(false);
            SetVbarParm();
            ReDrawTab(-1);
            ReDraw();
            Q_EMIT TabMoved();
            return;
        }
        if (c_SortDisabled == 0 && c_ClickDisabled == 0) ReOrder(TabAtX(x), 0, -1);
        ReDrawTab(-1);
        ReDraw();
    } else if (pEvent->button() == Qt::RightButton && c_UseTabOrder != 0) {
        c_MenuTab = TabAtX(x);
        const QList<QAction*> entries = MenuRCTabP->actions();
        for (qsizetype k = 0; k < entries.size(); ++k)
            entries[k]->setEnabled(k != TabOrder(c_MenuTab));
        MenuRCTabP->popup(pEvent->globalPosition().toPoint());
    }
}

void UC_ListView::MenuRCTab_Click(int pIndex) {
    SetTabOrder(c_MenuTab, pIndex);
    c_Model.LayoutTabs();
    ReDrawTab(-1);
    ReDraw();
    Q_EMIT TabReOrderd();
}

// ---- keyboard and wheel

void UC_ListView::MoveByKey(std::int32_t pTarget, bool pExtend) {
    if (ItemCount() == 0) return;
    c_Model.KeySelect(pTarget, pExtend);
    EnsureVisible(SelectedItem());
}

void UC_ListView::keyPressEvent(QKeyEvent* pEvent) {
    if (c_ClickDisabled == 1) {
        QWidget::keyPressEvent(pEvent);
        return;
    }
    const bool extend = (pEvent->modifiers() & Qt::ShiftModifier) != 0;
    const std::int64_t current = SelectedItem();
    const std::int32_t page = std::max(1, c_VisibleRows - 1);
    const auto move = [&](std::int64_t pTarget) {
        MoveByKey(std::int32_t(std::clamp<std::int64_t>(pTarget, -1, ItemCount())), extend);
    };
    switch (pEvent->key()) {
    case Qt::Key_Up:
        move(current - 1);
        break;
    case Qt::Key_Down:
        move(current + 1);
        break;
    case Qt::Key_PageUp:
        move(current - page);
        break;
    case Qt::Key_PageDown:
        move(current < 0 ? page : current + page);
        break;
    case Qt::Key_Home:
        move(0);
        break;
    case Qt::Key_End:
        move(ItemCount() - 1);
        break;
    case Qt::Key_A:
        if (pEvent->modifiers() != Qt::ControlModifier) {
            QWidget::keyPressEvent(pEvent);
            return;
        }
        if (c_Model.NoMultiSelect() == 0) SelectAll();
        ReDraw();
        break;
    case Qt::Key_Delete:
        Q_EMIT KeyDeletePressed();
        break;
    default:
        QWidget::keyPressEvent(pEvent);
        return;
    }
    pEvent->accept();
}

void UC_ListView::wheelEvent(QWheelEvent* pEvent) {
    const QPoint delta = pEvent->angleDelta();
    const bool across = delta.x() != 0 || (pEvent->modifiers() & Qt::ShiftModifier);
    c_WheelRemainder += across ? (delta.x() != 0 ? delta.x() : delta.y()) : delta.y();
    // One notch is 120; finer wheels add up to whole notches.
    const int notches = c_WheelRemainder / 120;
    c_WheelRemainder -= notches * 120;
    if (notches != 0) {
        if (across)
            HBarScroll(-notches * std::int32_t(std::lround(Support::Px(48))));
        else
            VBarScroll(-notches);
    }
    pEvent->accept();
}

// ---- drag and drop

void UC_ListView::RowsDragOver(QDragMoveEvent* pEvent) {
    pEvent->acceptProposedAction();
    Q_EMIT OLEDragOver();
    DragOverStep(TwipsOfPixels(pEvent->position().x()), TwipsOfPixels(pEvent->position().y()), SecondsNow());
    if (!c_DragTimer.isActive()) c_DragTimer.start();
}

void UC_ListView::RowsDragLeave() {
    c_DragTimer.stop();
}

void UC_ListView::RowsDrop(QDropEvent* pEvent) {
    c_DragTimer.stop();
    std::int32_t effect = EffectOf(pEvent->proposedAction());
    Q_EMIT OLEDragDrop(pEvent->mimeData(), effect, ButtonsCode(pEvent->buttons()),
                       ShiftCode(pEvent->modifiers()), TwipsOfPixels(pEvent->position().x()),
                       TwipsOfPixels(pEvent->position().y()));
    pEvent->setDropAction(FirstAction(effect));
    pEvent->accept();
}

void UC_ListView::DragOverStep(float pX, float pY, double pNow) {
    if (c_NoOleScroll != 0 || !c_VBar.Visible()) return;
    if (pX != c_DragLastX || pY != c_DragLastY) {
        c_DragLastX = pX;
        c_DragLastY = pY;
        return;
    }
    // The pointer rests.
    const double dt = std::abs(c_DragStepTime - pNow);
    if (dt > 1) {
        c_DragStepTime = pNow;
        return;
    }
    const double row = OneHeight();
    const double height = c_ListHeight;
    const std::int64_t value = c_VBar.Value();
    std::optional<std::int64_t> next;
    if (pY < 0.5 * row) {
        if (dt >= 0.02) next = value - c_VBar.LargeChange();
    } else if (pY < 1.5 * row) {
        if (dt >= 0.2) next = value - 1;
    } else if (pY <= height - 0.5 * row) {
        if (pY > height - 1.5 * row && dt >= 0.2) next = value + 1;
    } else if (dt >= 0.02) {
        next = value + c_VBar.LargeChange();
    }
    if (!next) return;
    c_DragStepTime = pNow;
    c_VBar.SetValue(std::int32_t(std::clamp<std::int64_t>(*next, c_VBar.Min(), c_VBar.Max())));
    TakeTopFromBar();
}
