#pragma once

// The tool tip a widget shows for a hover at a point, read and hidden at once.
#include <QApplication>
#include <QHelpEvent>
#include <QToolTip>
#include <QWidget>

namespace TestApp {

// Empty when no tip shows.
inline QString ToolTipAt(QWidget& pWidget, QPoint pPoint) {
    QHelpEvent hover(QEvent::ToolTip, pPoint, pWidget.mapToGlobal(pPoint));
    QApplication::sendEvent(&pWidget, &hover);
    const QString text = QToolTip::isVisible() ? QToolTip::text() : QString();
    // hideText() lets a tip linger for a moment; the next hover must not see it.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->inherits("QTipLabel")) window->hide();
    return text;
}

} // namespace TestApp
