// The in-place editors of the current row: text boxes, editable combo boxes and drop-down lists,
// one per column that asks for the kind, shown on the current row and writing back into it.
#include "controls/MouseInput.h"
#include "controls/QComboBoxAdapter.h"
#include "controls/UC_ListView.h"
#include "support/Twips.h"
#include "support/UiFont.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>
#include <optional>
#include <utility>

namespace {

// Windows virtual-key codes, which the key events report.
std::int16_t VirtualKey(const QKeyEvent& pEvent) {
    const int key = pEvent.key();
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return std::int16_t(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return std::int16_t(0x70 + (key - Qt::Key_F1));
    switch (key) {
    case Qt::Key_Backspace:
        return 0x08;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 0x09;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 0x0D;
    case Qt::Key_Shift:
        return 0x10;
    case Qt::Key_Control:
        return 0x11;
    case Qt::Key_Alt:
        return 0x12;
    case Qt::Key_Escape:
        return 0x1B;
    case Qt::Key_Space:
        return 0x20;
    case Qt::Key_PageUp:
        return 0x21;
    case Qt::Key_PageDown:
        return 0x22;
    case Qt::Key_End:
        return 0x23;
    case Qt::Key_Home:
        return 0x24;
    case Qt::Key_Left:
        return 0x25;
    case Qt::Key_Up:
        return 0x26;
    case Qt::Key_Right:
        return 0x27;
    case Qt::Key_Down:
        return 0x28;
    case Qt::Key_Insert:
        return 0x2D;
    case Qt::Key_Delete:
        return 0x2E;
    default:
        return std::int16_t(pEvent.nativeVirtualKey() & 0x7FFF);
    }
}

// Six digits hhmmss with hh below 31 and mm, ss at most 59 become "hh:mm:ss".
std::optional<QString> AsTime(const QString& pText) {
    if (pText.size() != 6) return std::nullopt;
    for (const QChar c : pText)
        if (c < u'0' || c > u'9') return std::nullopt;
    const int hours = pText.left(2).toInt();
    const int minutes = pText.mid(2, 2).toInt();
    const int seconds = pText.right(2).toInt();
    if (hours >= 31 || minutes > 59 || seconds > 59) return std::nullopt;
    return pText.left(2) + u':' + pText.mid(2, 2) + u':' + pText.right(2);
}

} // namespace

void UC_ListView::CreateEditor(EditorKind pKind) {
    switch (pKind) {
    case EditorKind::Text: {
        const int index = int(TextLV.size());
        auto* editor = new QLineEdit(c_PictureList);
        connect(editor, &QLineEdit::textChanged, this, [this, index] { TextLV_Change(index); });
        TextLV.push_back(editor);
        if (c_FontText >= 0) Support::ApplyUiFont(editor, c_FontText);
        break;
    }
    case EditorKind::Combo: {
        const int index = int(ComboLV.size());
        auto* editor = new QComboBox(c_PictureList);
        editor->setEditable(true);
        editor->setInsertPolicy(QComboBox::NoInsert);
        connect(editor, &QComboBox::activated, this,
                [this, index](int pEntry) { ComboLV_Click(index, pEntry); });
        connect(editor->lineEdit(), &QLineEdit::textEdited, this,
                [this, index](const QString& pText) { ComboLV_Edited(index, pText); });
        ComboLV.push_back(editor);
        if (c_FontCombo >= 0) Support::ApplyUiFont(editor, c_FontCombo);
        break;
    }
    case EditorKind::List: {
        const int index = int(ListLV.size());
        auto* editor = new QComboBox(c_PictureList);
        connect(editor, &QComboBox::activated, this,
                [this, index](int pEntry) { ListLV_Click(index, pEntry); });
        ListLV.push_back(editor);
        if (c_FontList >= 0) Support::ApplyUiFont(editor, c_FontList);
        break;
    }
    }
    QWidget* editor = pKind == EditorKind::Text    ? static_cast<QWidget*>(TextLV.back())
                      : pKind == EditorKind::Combo ? static_cast<QWidget*>(ComboLV.back())
                                                   : static_cast<QWidget*>(ListLV.back());
    editor->hide();
    editor->installEventFilter(this);
}

QWidget* UC_ListView::Editor(EditorKind pKind, std::int16_t pIndex) const {
    if (pIndex < 0) return nullptr;
    const auto at = [pIndex](const auto& pFamily) -> QWidget* {
        return std::size_t(pIndex) < pFamily.size() ? pFamily[std::size_t(pIndex)] : nullptr;
    };
    switch (pKind) {
    case EditorKind::Text:
        return at(TextLV);
    case EditorKind::Combo:
        return at(ComboLV);
    case EditorKind::List:
        return at(ListLV);
    }
    return nullptr;
}

std::int32_t UC_ListView::EditorColumn(EditorKind pKind, int pIndex) const {
    for (std::int32_t column = 0; column < std::int32_t(c_Model.Tabs().size()); ++column) {
        const TabRecord& tab = c_Model.Tabs()[std::size_t(column)];
        if ((tab.UseTextCombo & int(pKind)) == 0) continue;
        const std::int16_t index = pKind == EditorKind::Text    ? tab.TextEditorIndex
                                   : pKind == EditorKind::Combo ? tab.ComboEditorIndex
                                                                : tab.ListEditorIndex;
        if (index == pIndex) return column;
    }
    return -1;
}

QComboBox* UC_ListView::ComboOf(std::int32_t pData, bool pList) const {
    const TabRecord* tab = c_Model.Tab(pData);
    if (tab == nullptr) return nullptr;
    return static_cast<QComboBox*>(Editor(pList ? EditorKind::List : EditorKind::Combo,
                                          pList ? tab->ListEditorIndex : tab->ComboEditorIndex));
}

void UC_ListView::ApplyEditorFonts() {
    for (QLineEdit* editor : TextLV)
        Support::ApplyUiFont(editor, c_FontText);
    for (QComboBox* editor : ComboLV)
        Support::ApplyUiFont(editor, c_FontCombo);
    for (QComboBox* editor : ListLV)
        Support::ApplyUiFont(editor, c_FontList);
}

void UC_ListView::HideEditors() {
    for (QLineEdit* editor : TextLV)
        editor->hide();
    for (QComboBox* editor : ComboLV)
        editor->hide();
    for (QComboBox* editor : ListLV)
        editor->hide();
}

bool UC_ListView::TextComboVisible() const {
    return !TextLV.front()->isHidden() || !ComboLV.front()->isHidden() || !ListLV.front()->isHidden();
}

void UC_ListView::PlaceEditors() {
    if (!c_Initialised) return;
    const int onePixel = 1;
    // Across: every column's editors follow its tab.
    for (const TabRecord& tab : c_Model.Tabs()) {
        const int x = TwipsToPixels(tab.TabLeft - c_HScrollOffset);
        const int width = TwipsToPixels(tab.TabWidth);
        if (QWidget* text = Editor(EditorKind::Text, tab.TextEditorIndex))
            text->setGeometry(x + 3, text->y(), width - 3 > onePixel ? width - 3 : onePixel, text->height());
        for (QWidget* box :
             {Editor(EditorKind::Combo, tab.ComboEditorIndex), Editor(EditorKind::List, tab.ListEditorIndex)})
            if (box != nullptr)
                box->setGeometry(x + 2, box->y(), width - 2 > onePixel ? width - 2 : onePixel,
                                 box->sizeHint().height());
    }
    // Down: on the current row when it is on screen.
    const std::int32_t rows = OneHeight() >= 1 ? c_ListHeight / OneHeight() : 0;
    const std::int32_t current = SelectedItem();
    const bool onScreen = current >= 0 && current < ItemCount() && current >= TopItem() &&
                          std::int64_t(current) < std::int64_t(TopItem()) + rows;
    if (!onScreen || c_HideTextCombo == 1) {
        HideEditors();
        return;
    }
    const int top = RowTopPixels(current - TopItem()) + TwipsToPixels(c_EditorTop);
    const ItemRecord& item = c_Model.Item(current);
    const bool settingBefore = c_SettingEditor;
    c_SettingEditor = true;
    for (std::int32_t column = 0; column < std::int32_t(c_Model.Tabs().size()); ++column) {
        const TabRecord& tab = c_Model.Tabs()[std::size_t(column)];
        const QString value = column < std::int32_t(item.Value.size())
                                  ? item.Value[std::size_t(column)].DisplayText()
                                  : QString();
        const struct {
            EditorKind Kind;
            std::int16_t Index;
        } kinds[] = {{EditorKind::Text, tab.TextEditorIndex},
                     {EditorKind::Combo, tab.ComboEditorIndex},
                     {EditorKind::List, tab.ListEditorIndex}};
        for (const auto& [kind, index] : kinds) {
            QWidget* editor = Editor(kind, index);
            if (editor == nullptr || (tab.UseTextCombo & int(kind)) == 0) continue;
            if (tab.TabHidden == 1 || tab.FrontObj != int(kind)) {
                editor->hide();
                continue;
            }
            if (editor->y() != top) editor->move(editor->x(), top);
            if (kind == EditorKind::Text) {
                auto* text = static_cast<QLineEdit*>(editor);
                if (text->text() != value) text->setText(value);
            } else if (kind == EditorKind::Combo) {
                auto* combo = static_cast<QComboBox*>(editor);
                if (combo->currentText() != value) combo->setEditText(value);
            } else {
                auto* list = static_cast<QComboBox*>(editor);
                list->setCurrentIndex(list->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive));
            }
            if (c_HideTextCombo == 0) editor->show();
        }
    }
    c_SettingEditor = settingBefore;
}

void UC_ListView::StoreEditorText(std::int32_t pData, const QString& pText) {
    if (SelectedItem() < 0 || SelectedItem() >= ItemCount()) return;
    Value(SelectedItem(), pData, ListValue(pText));
}

void UC_ListView::TextLV_Change(int pIndex) {
    if (c_SettingEditor) return;
    const std::int32_t column = EditorColumn(EditorKind::Text, pIndex);
    if (column < 0) return;
    QLineEdit* editor = TextLV[std::size_t(pIndex)];
    if (c_Model.Tabs()[std::size_t(column)].TextIsTime != 0)
        if (const std::optional<QString> time = AsTime(editor->text())) {
            // The rewrite is a further change, which stores the time.
            editor->setText(*time);
            return;
        }
    StoreEditorText(column, editor->text());
}

void UC_ListView::ComboLV_Click(int pIndex, int pEntry) {
    const std::int32_t column = EditorColumn(EditorKind::Combo, pIndex);
    if (column < 0) return;
    StoreEditorText(column, ComboLV[std::size_t(pIndex)]->itemText(pEntry));
    Q_EMIT ComboChaged(column, pEntry);
}

void UC_ListView::ComboLV_Edited(int pIndex, const QString& pText) {
    // Typing into the combo's own field keeps the text too, without a choice event.
    const std::int32_t column = EditorColumn(EditorKind::Combo, pIndex);
    if (column >= 0 && !c_SettingEditor) StoreEditorText(column, pText);
}

void UC_ListView::ListLV_Click(int pIndex, int pEntry) {
    const std::int32_t column = EditorColumn(EditorKind::List, pIndex);
    if (column < 0) return;
    StoreEditorText(column, ListLV[std::size_t(pIndex)]->itemText(pEntry));
    Q_EMIT ComboChaged(column, pEntry);
}

bool UC_ListView::eventFilter(QObject* pWatched, QEvent* pEvent) {
    const QEvent::Type type = pEvent->type();
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease)
        return EditorKeyEvent(pWatched, static_cast<QKeyEvent*>(pEvent), type == QEvent::KeyRelease);
    return QWidget::eventFilter(pWatched, pEvent);
}

bool UC_ListView::EditorKeyEvent(QObject* pEditor, QKeyEvent* pEvent, bool pRelease) {
    std::int32_t isCombo = -1;
    int index = -1;
    for (std::size_t i = 0; i < TextLV.size(); ++i)
        if (TextLV[i] == pEditor) {
            isCombo = 0;
            index = int(i);
        }
    for (std::size_t i = 0; i < ComboLV.size(); ++i)
        if (ComboLV[i] == pEditor) {
            isCombo = 1;
            index = int(i);
        }
    if (isCombo < 0) return false;
    const std::int32_t column = EditorColumn(isCombo == 1 ? EditorKind::Combo : EditorKind::Text, index);
    if (column < 0) return false;
    std::int16_t shift = MouseInput::ShiftCode(pEvent->modifiers());
    std::int16_t key = VirtualKey(*pEvent);
    const std::int16_t given = key;
    Q_EMIT TextComboKeyAction(isCombo, column, pRelease ? 0 : 1, key, shift);
    if (pRelease) return false;
    if (given != 0 && key == 0) return true;
    if (pEvent->text().isEmpty()) return false;
    std::int16_t character = std::int16_t(pEvent->text().at(0).unicode());
    std::int16_t none = 0;
    Q_EMIT TextComboKeyAction(isCombo, column, 2, character, none);
    return character == 0;
}

std::int32_t UC_ListView::ComboIndex(std::int32_t pIndex, std::int32_t pData) const {
    const TabRecord* tab = c_Model.Tab(pData);
    const QComboBox* combo = ComboOf(pData, false);
    const std::int32_t index = c_Model.Resolve(pIndex, true);
    if (tab == nullptr || (tab->UseTextCombo & 2) == 0 || combo == nullptr || index < 0) return -1;
    return combo->findText(Value(index, pData).DisplayText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void UC_ListView::AddComboItem(std::int32_t pData, const std::string& pValue) {
    if (QComboBox* combo = ComboOf(pData, false)) combo->addItem(QString::fromStdString(pValue));
}

void UC_ListView::AddListItem(std::int32_t pData, const std::string& pValue) {
    if (QComboBox* list = ComboOf(pData, true)) list->addItem(QString::fromStdString(pValue));
}

void UC_ListView::ClearComboItem(std::int32_t pData) {
    if (QComboBox* combo = ComboOf(pData, false)) combo->clear();
}

void UC_ListView::ClearListItem(std::int32_t pData) {
    if (QComboBox* list = ComboOf(pData, true)) list->clear();
}

namespace {
UC_ListView::DeviceFiller& Devices() {
    static UC_ListView::DeviceFiller filler;
    return filler;
}
} // namespace

UC_ListView::DeviceFiller UC_ListView::SetDeviceFiller(DeviceFiller pFiller) {
    return std::exchange(Devices(), std::move(pFiller));
}

void UC_ListView::LoadDevToLVCombo(std::int32_t pData, std::int32_t pIsIn) {
    if (!Devices()) return;
    for (const bool list : {false, true})
        if (QComboBox* box = ComboOf(pData, list)) {
            QComboBoxAdapter adapter(*box);
            Devices()(adapter, pIsIn);
        }
}
