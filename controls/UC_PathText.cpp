#include "controls/UC_PathText.h"

#include "controls/Palette.h"
#include "controls/Skin.h"
#include "support/Rounding.h"
#include "support/FileUtil.h"
#include "support/Twips.h"
#include "support/UiFont.h"

#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace {

std::string S(const QString& pText) {
    return pText.toStdString();
}

QString Q(const std::string& pText) {
    return QString::fromStdString(pText);
}

QString RunToolkitDialog(QWidget* pOwner, const PathDialogRequest& pRequest) {
    if (pRequest.Mode == PathDialogRequest::Kind::Folder)
        return QFileDialog::getExistingDirectory(pOwner, pRequest.Title, pRequest.Directory,
                                                 QFileDialog::ShowDirsOnly);
    // A name with a folder of its own wins over the starting folder.
    QString start = pRequest.Directory;
    if (pRequest.FileName.contains(QLatin1Char('/')))
        start = pRequest.FileName;
    else if (!pRequest.FileName.isEmpty())
        start = pRequest.Directory.isEmpty() ? pRequest.FileName
                                             : pRequest.Directory + QLatin1Char('/') + pRequest.FileName;
    if (pRequest.Mode == PathDialogRequest::Kind::Open)
        return QFileDialog::getOpenFileName(pOwner, pRequest.Title, start, pRequest.Filter);
    return QFileDialog::getSaveFileName(pOwner, pRequest.Title, start, pRequest.Filter);
}

PathDialogRunner& Runner() {
    static PathDialogRunner runner = RunToolkitDialog;
    return runner;
}

} // namespace

UC_PathText::UC_PathText(QWidget* pParent)
    : QWidget(pParent)
    , TextPath(this) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    TextPath.setFrame(false);
    TextPath.setTextMargins(2, 0, 2, 0);
    TextPath.installEventFilter(this);
    // Tab and a window's focus chain reach the text box through the control.
    setFocusProxy(&TextPath);
    connect(&TextPath, &QLineEdit::textChanged, this, [this] { Q_EMIT TextChange(); });
    ApplyTextLook(false, false);
    Layout();
}

PathDialogRunner UC_PathText::SetDialogRunner(PathDialogRunner pRunner) {
    PathDialogRunner previous = Runner();
    Runner() = pRunner ? std::move(pRunner) : PathDialogRunner(RunToolkitDialog);
    return previous;
}

void UC_PathText::Init() {
    const int own = Support::ApplyUiFont(this, -2, nullptr, float(c_FontSize));
    const int box = Support::ApplyUiFont(&TextPath, -2, nullptr, float(c_FontSize));
    if (own >= 0) c_FontIndex = own;
    if (own >= 0 && box >= 0) c_Initialised = true;
    Layout();
    Draw(0);
}

void UC_PathText::EnsureInit() {
    if (!c_Initialised) Init();
}

QRect UC_PathText::TextBoxRect() const {
    const int side = int(RoundHalfEven(Support::ToPixels(float(c_TextHeight))));
    return {0, 0, std::max(0, width() - side), side};
}

QRect UC_PathText::ButtonArea() const {
    const QRect box = TextBoxRect();
    return {box.right() + 1, 0, std::max(0, width() - box.width()), box.height()};
}

void UC_PathText::Layout() {
    const QRect box = TextBoxRect();
    if (height() != box.height()) resize(width(), box.height());
    TextPath.setGeometry(box.adjusted(1, 1, -1, -1));
    update();
}

void UC_PathText::resizeEvent(QResizeEvent* pEvent) {
    QWidget::resizeEvent(pEvent);
    Layout();
}

void UC_PathText::Draw(int pOn) {
    EnsureInit();
    c_DrawnOn = pOn == 1 ? 1 : 0;
    update(ButtonArea());
}

QColor UC_PathText::TextBackground() const {
    return Palette::SystemColor(c_Grey ? Palette::kButtonFace : Palette::kWindowBackground);
}

void UC_PathText::ApplyTextLook(bool pGrey, bool pLocked) {
    c_Grey = pGrey;
    TextPath.setReadOnly(pLocked);
    // The fixed light palette, whatever the desktop theme says.
    QPalette colours = TextPath.palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Base, TextBackground());
        colours.setColor(group, QPalette::Window, TextBackground());
        colours.setColor(group, QPalette::Text, Palette::SystemColor(Palette::kWindowText));
        colours.setColor(group, QPalette::Highlight, Palette::SystemColor(Palette::kHighlight));
        colours.setColor(group, QPalette::HighlightedText, Palette::SystemColor(14));
    }
    TextPath.setPalette(colours);
    update();
}

void UC_PathText::Enabled(std::int16_t pEnabled) {
    c_Enabled = pEnabled;
    if (pEnabled == -1)
        ApplyTextLook(false, false);
    else
        ApplyTextLook(true, true);
    Draw(c_DrawnOn);
}

void UC_PathText::ButtonDisabled(std::int32_t pValue) {
    c_ButtonDisabled = pValue;
    update(ButtonArea());
}

void UC_PathText::TextDisabled(std::int32_t pValue) {
    c_TextDisabled = pValue;
    ApplyTextLook(pValue != 0, pValue == 1);
    Draw(c_DrawnOn);
}

void UC_PathText::Ext(const QString& pValue) {
    c_Ext = pValue;
    c_Ext.remove(QLatin1Char('.'));
}

void UC_PathText::Text(const QString& pStr) {
    EnsureInit();
    TextPath.setText(pStr);
    Draw(c_DrawnOn);
}

void UC_PathText::FontSize(float pValue) {
    c_FontSize = std::int32_t(RoundHalfEven(double(pValue)));
}

void UC_PathText::TextHeight(std::int32_t pSize) {
    c_TextHeight = pSize;
    Layout();
}

void UC_PathText::TextIMEMode(std::int32_t pMode) {
    TextPath.setAttribute(Qt::WA_InputMethodEnabled, pMode != 3);
    TextPath.setInputMethodHints(pMode == 2 || pMode == 8 ? Qt::ImhPreferLatin : Qt::ImhNone);
}

QString UC_PathText::DialogFilter(const QString& pFilter) {
    if (pFilter.isEmpty()) return {};
    const QStringList parts = pFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QString patterns = i + 1 < parts.size() ? parts[i + 1].trimmed() : QString();
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (patterns.isEmpty()) patterns = QStringLiteral("*");
        // A description that already names its patterns is shown as it is.
        if (description.endsWith(QLatin1Char(')')) && description.contains(QLatin1Char('(')))
            filters.append(description);
        else
            filters.append(description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

QString UC_PathText::EffectiveFilter() const {
    if (!c_Filter.isEmpty() || c_Ext.isEmpty()) return c_Filter;
    return c_Ext + QStringLiteral("ファイル|*.") + c_Ext;
}

QString UC_PathText::BrowseForFolder(QWidget* pOwner, const QString& pStart, const QString& pTitle) {
    PathDialogRequest request;
    request.Mode = PathDialogRequest::Kind::Folder;
    request.Title = pTitle.isEmpty() ? QStringLiteral("フォルダを選択してください") : pTitle;
    request.Directory = Q(Support::SetTrailingSeparator(S(pStart), 1));
    if (request.Directory.isEmpty()) request.Directory = pStart.isEmpty() ? QDir::currentPath() : pStart;
    const QString chosen = Runner()(pOwner, request);
    if (chosen.isEmpty()) return {};
    return Q(Support::SetTrailingSeparator(Support::CutAtNul(S(chosen)), 0));
}

QString UC_PathText::ShowFileDialog(QWidget* pOwner, int pMode, const QString& pFilter, const QString& pStart,
                                    const QString& pName) {
    PathDialogRequest request;
    request.Mode = pMode == 0 ? PathDialogRequest::Kind::Open : PathDialogRequest::Kind::Save;
    request.Directory = Q(Support::SetTrailingSeparator(S(pStart), 1));
    request.FileName = pName;
    request.Filter = DialogFilter(pFilter);
    return Q(Support::CutAtNul(S(Runner()(pOwner, request))));
}

void UC_PathText::SelectButtonClick() {
    if (c_Usage == -1) {
        Q_EMIT SelectButtonClicked();
        return;
    }
    const QString start = !c_InitDir.isEmpty() ? c_InitDir : Q(Support::SplitPath(S(Text()), 1, 0, 0, 0, 0));
    QString chosen;
    if (c_Usage == 0) {
        chosen = BrowseForFolder(this, start, QString());
    } else if (c_Usage == 1 || c_Usage == 2) {
        chosen = ShowFileDialog(this, c_Usage - 1, EffectiveFilter(), start, Text());
        if (!c_Ext.isEmpty()) chosen = Q(Support::EnsureExtension(S(chosen), S(c_Ext)));
    }
    if (chosen.isEmpty()) return;
    Text(chosen);
    Q_EMIT SelectButtonClicked();
}

void UC_PathText::mousePressEvent(QMouseEvent* pEvent) {
    if (pEvent->button() != Qt::LeftButton || !ButtonUsable()) return;
    if (!ButtonArea().contains(pEvent->position().toPoint())) return;
    c_Pressed = true;
    Draw(1);
}

void UC_PathText::mouseDoubleClickEvent(QMouseEvent* pEvent) {
    mousePressEvent(pEvent);
}

void UC_PathText::mouseReleaseEvent(QMouseEvent* pEvent) {
    if (pEvent->button() != Qt::LeftButton || !c_Pressed) return;
    c_Pressed = false;
    Draw(0);
    // Letting go away from the button takes the press back.
    if (ButtonUsable() && ButtonArea().contains(pEvent->position().toPoint())) SelectButtonClick();
}

bool UC_PathText::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pWatched == &TextPath) {
        if (pEvent->type() == QEvent::MouseButtonDblClick) Q_EMIT TextDblClicked();
        // The keyboard's way to the select button.
        if (pEvent->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(pEvent)->key() == Qt::Key_F4 &&
            ButtonUsable()) {
            SelectButtonClick();
            return true;
        }
    }
    return QWidget::eventFilter(pWatched, pEvent);
}

void UC_PathText::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Palette::SystemColor(Palette::kButtonFace));
    const QRect box = TextBoxRect();
    painter.fillRect(box, TextBackground());
    Skin::DrawEdge(painter, box, true);

    const int o = c_DrawnOn;
    const QRect area = ButtonArea();
    const QRect face(area.left() + 1, o, std::max(0, width() - 1 - (area.left() + 1)),
                     std::max(0, height() - 2));
    if (face.isEmpty()) return;
    Skin::PaintSkin(painter, face, Skin::kGradient);
    Skin::DrawEdge(painter, face.adjusted(0, 0, 1, 0), false);

    const QFont& font = Support::UiFontAt(c_FontIndex).Font;
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const QString dots = QStringLiteral("...");
    const double x = face.left() + (face.width() - metrics.horizontalAdvance(dots)) / 2.0;
    const double top = (height() - 2 - metrics.height()) / 2.0 + o;
    painter.setPen(Palette::SystemColor(ButtonUsable() ? Palette::kButtonText : Palette::kGrayText));
    painter.drawText(QPointF(x, top + metrics.ascent()), dots);
}
