#include "controls/ListSurfaces.h"

#include "controls/UC_ListView.h"

#include <QApplication>
#include <QHelpEvent>
#include <QPainter>

ListFrame::ListFrame(UC_ListView& pList, QWidget* pParent)
    : QWidget(pParent)
    , c_List(pList) {}

void ListFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    c_List.PaintFrame(painter);
}

ListHeaderStrip::ListHeaderStrip(UC_ListView& pList, QWidget* pParent)
    : QWidget(pParent)
    , c_List(pList) {}

void ListHeaderStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    c_List.PaintTabs(painter);
}

void ListHeaderStrip::mousePressEvent(QMouseEvent* pEvent) {
    c_List.TabsMousePress(pEvent);
}

void ListHeaderStrip::mouseDoubleClickEvent(QMouseEvent* pEvent) {
    c_List.TabsMousePress(pEvent);
}

void ListHeaderStrip::mouseMoveEvent(QMouseEvent* pEvent) {
    c_List.TabsMouseMove(pEvent);
}

void ListHeaderStrip::mouseReleaseEvent(QMouseEvent* pEvent) {
    c_List.TabsMouseRelease(pEvent);
}

void ListHeaderStrip::leaveEvent(QEvent* pEvent) {
    // A resize drag keeps its pointer beyond the strip.
    if (!(QApplication::mouseButtons() & Qt::LeftButton)) c_List.ShowSizingPointer(false);
    QWidget::leaveEvent(pEvent);
}

ListRows::ListRows(UC_ListView& pList, QWidget* pParent)
    : QWidget(pParent)
    , c_List(pList) {}

bool ListRows::event(QEvent* pEvent) {
    if (pEvent->type() != QEvent::ToolTip) return QWidget::event(pEvent);
    c_List.RowsToolTip(static_cast<QHelpEvent*>(pEvent));
    return true;
}

void ListRows::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    c_List.PaintRows(painter);
}

void ListRows::mousePressEvent(QMouseEvent* pEvent) {
    c_List.RowsMousePress(pEvent);
}

void ListRows::mouseDoubleClickEvent(QMouseEvent* pEvent) {
    c_List.RowsDoubleClick(pEvent);
}

void ListRows::mouseMoveEvent(QMouseEvent* pEvent) {
    c_List.RowsMouseMove(pEvent);
}

void ListRows::mouseReleaseEvent(QMouseEvent* pEvent) {
    c_List.RowsMouseRelease(pEvent);
}

void ListRows::dragEnterEvent(QDragEnterEvent* pEvent) {
    c_List.RowsDragOver(pEvent);
}

void ListRows::dragMoveEvent(QDragMoveEvent* pEvent) {
    c_List.RowsDragOver(pEvent);
}

void ListRows::dragLeaveEvent(QDragLeaveEvent*) {
    c_List.RowsDragLeave();
}

void ListRows::dropEvent(QDropEvent* pEvent) {
    c_List.RowsDrop(pEvent);
}
