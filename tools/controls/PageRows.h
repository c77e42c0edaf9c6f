#pragma once

#include <QLabel>
#include <QString>
#include <QWidget>

// Pages that show controls the way the main window places them: by position, not by layout, so
// the controls keep the sizes they give themselves.
namespace PageRows {

inline constexpr int kLabelLeft = 16;
inline constexpr int kControlLeft = 230;

// A caption for the row at pTop, and the control placed beside it.
template <typename Control>
Control* Place(QWidget* pPage, const char* pCaption, int pTop, Control* pControl) {
    auto* label = new QLabel(QString::fromUtf8(pCaption), pPage);
    label->move(kLabelLeft, pTop + 2);
    label->adjustSize();
    pControl->setParent(pPage);
    pControl->move(kControlLeft, pTop);
    return pControl;
}

// Rows one below the other, each a caption and its control, pGap pixels apart.
class Column {
public:
    Column(QWidget* pPage, int pTop, int pGap)
        : c_Page(pPage)
        , c_Top(pTop)
        , c_Gap(pGap) {}
    template <typename Control> Control* Add(const char* pCaption, Control* pControl) {
        Place(c_Page, pCaption, c_Top, pControl);
        c_Top += pControl->height() + c_Gap;
        return pControl;
    }
    [[nodiscard]] int Top() const noexcept { return c_Top; }

private:
    QWidget* c_Page;
    int c_Top;
    int c_Gap;
};

// A label that shows the last event of the page's controls.
inline QLabel* EventLine(QWidget* pPage, int pTop) {
    auto* line = new QLabel(QStringLiteral("event: -"), pPage);
    line->move(kLabelLeft, pTop);
    line->resize(600, 20);
    return line;
}

} // namespace PageRows
