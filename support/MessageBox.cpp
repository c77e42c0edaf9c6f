#include "support/MessageBox.h"

#include "support/MessageBoxGeometry.h"

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QObject>
#include <QScreen>
#include <QWidget>

#include <cstdio>

namespace Support {

namespace {

// Moves the box when it first shows, once its real size is known.
class CentreOnShow : public QObject {
public:
    explicit CentreOnShow(QWidget* pForm)
        : c_Form(pForm) {}

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override {
        if (pEvent->type() != QEvent::Show || c_Done) return false;
        auto* box = qobject_cast<QWidget*>(pWatched);
        QScreen* screen = c_Form->screen();
        if (box == nullptr || screen == nullptr) return false;
        c_Done = true;
        const double tpp = 1440.0 / c_Form->logicalDpiX();
        const QRect frame = c_Form->frameGeometry();
        const QRect area = screen->geometry();
        const QSize size = box->frameGeometry().size();
        const BoxPoint p = CenteredBoxTopLeft((frame.x() - area.x()) * tpp, (frame.y() - area.y()) * tpp,
                                              frame.width() * tpp, frame.height() * tpp, size.width(),
                                              size.height(), area.width(), area.height(), tpp);
        box->move(area.x() + p.X, area.y() + p.Y);
        return false;
    }

private:
    QWidget* c_Form;
    bool c_Done = false;
};

QMessageBox::StandardButtons Buttons(int pStyle) {
    switch (pStyle & 0x0F) {
    case vbOKCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case vbAbortRetryIgnore:
        return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case vbYesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case vbYesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case vbRetryCancel:
        return QMessageBox::Retry | QMessageBox::Cancel;
    default:
        return QMessageBox::Ok;
    }
}

QMessageBox::Icon Icon(int pStyle) {
    switch (pStyle & 0x70) {
    case vbCritical:
        return QMessageBox::Critical;
    case vbQuestion:
        return QMessageBox::Question;
    case vbExclamation:
        return QMessageBox::Warning;
    case vbInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

int Code(int pButton) {
    switch (pButton) {
    case QMessageBox::Cancel:
        return vbCancel;
    case QMessageBox::Abort:
        return vbAbort;
    case QMessageBox::Retry:
        return vbRetry;
    case QMessageBox::Ignore:
        return vbIgnore;
    case QMessageBox::Yes:
        return vbYes;
    case QMessageBox::No:
        return vbNo;
    default:
        return vbOK;
    }
}

} // namespace

namespace {

MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}

int Show(const std::string& pText, int pStyle, const std::string& pCaption, QWidget* pOwner, bool pCentre) {
    if (Hook()) return Hook()(pText, pStyle, pCaption, pOwner, pCentre);
    // Without a widget application (a command-line program) a box cannot exist; say it anyway,
    // and answer as if it was closed.
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        std::fprintf(stderr, "%s\n", pText.c_str());
        return (pStyle & 0x0F) == vbOKOnly ? vbOK : vbCancel;
    }
    QMessageBox box(Icon(pStyle), QString::fromStdString(pCaption), QString::fromStdString(pText),
                    Buttons(pStyle), pOwner);
    CentreOnShow centre(pOwner);
    if (pCentre && pOwner != nullptr && !pOwner->isMinimized()) box.installEventFilter(&centre);
    // Closing the box without a button counts as its escape button.
    return Code(box.exec());
}
} // namespace

void UseMessageBoxHook(MessageBoxHook pHook) {
    Hook() = std::move(pHook);
}

int ShowMessage(const std::string& pText, int pStyle, const std::string& pCaption, QWidget* pOwner) {
    return Show(pText, pStyle, pCaption, pOwner, false);
}

int ShowMessageCentered(const std::string& pText, int pStyle, const std::string& pCaption, QWidget* pForm) {
    return Show(pText, pStyle, pCaption, pForm, true);
}

} // namespace Support
