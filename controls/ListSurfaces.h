#pragma once

#include <QWidget>

class UC_ListView;

// The list view's surfaces: the frame around everything, the strip of column tabs and the rows.
// Each paints and takes its own events by calling into the list, which keeps all the state.
class ListFrame : public QWidget {
public:
    ListFrame(UC_ListView& pList, QWidget* pParent);

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    UC_ListView& c_List;
};

class ListHeaderStrip : public QWidget {
public:
    ListHeaderStrip(UC_ListView& pList, QWidget* pParent);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void leaveEvent(QEvent* pEvent) override;

private:
    UC_ListView& c_List;
};

class ListRows : public QWidget {
public:
    ListRows(UC_ListView& pList, QWidget* pParent);

protected:
    // Tool tips.
    bool event(QEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void dragEnterEvent(QDragEnterEvent* pEvent) override;
    void dragMoveEvent(QDragMoveEvent* pEvent) override;
    void dragLeaveEvent(QDragLeaveEvent* pEvent) override;
    void dropEvent(QDropEvent* pEvent) override;

private:
    UC_ListView& c_List;
};
