#pragma once

#include <QLineEdit>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>

// What the path box asks of a dialog. Paths have no length limit.
struct PathDialogRequest {
    enum class Kind { Folder, Open, Save };
    Kind Mode = Kind::Folder;
    QString Title;
    QString Directory; // starting folder, without a trailing separator
    QString FileName;  // initial name of a file dialog (may hold a folder too)
    QString Filter;    // in the toolkit's form: "description (patterns);;..."
};
// Shows the dialog and returns the chosen path, or an empty string when it was cancelled.
using PathDialogRunner = std::function<QString(QWidget* pOwner, const PathDialogRequest& pRequest)>;

// A one-line text box for a folder or file path with a square select button at its right end that
// opens the folder browser (Usage 0), the open (1) or save (2) file dialog, or nothing (-1), and
// puts the chosen path into the box. Heights are twips.
class UC_PathText : public QWidget {
    Q_OBJECT
public:
    explicit UC_PathText(QWidget* pParent = nullptr);

    // Every dialog of every path box goes through this runner (tests put in one that never
    // blocks); an empty runner restores the toolkit's dialogs. Returns the previous runner.
    static PathDialogRunner SetDialogRunner(PathDialogRunner pRunner);

    // Applies the fonts, lays out and draws.
    void Init();
    // Draws the select button, pushed when pOn is 1.
    void Draw(int pOn);
    // Runs the dialog for Usage and raises SelectButtonClicked unless the dialog was cancelled.
    void SelectButtonClick();

    [[nodiscard]] std::int32_t Usage() const noexcept { return c_Usage; }
    void Usage(std::int32_t pValue) noexcept { c_Usage = pValue; }
    [[nodiscard]] std::int16_t Enabled() const noexcept { return c_Enabled; }
    // -1 unlocks and whitens the text box, any other value greys and locks it.
    void Enabled(std::int16_t pEnabled);
    [[nodiscard]] std::int32_t ButtonDisabled() const noexcept { return c_ButtonDisabled; }
    // 1 makes the button inert.
    void ButtonDisabled(std::int32_t pValue);
    [[nodiscard]] std::int32_t TextDisabled() const noexcept { return c_TextDisabled; }
    // Non-zero greys the text box; 1 also locks it.
    void TextDisabled(std::int32_t pValue);
    [[nodiscard]] QString Ext() const { return c_Ext; }
    // Stored without any ".".
    void Ext(const QString& pValue);
    [[nodiscard]] QString Filter() const { return c_Filter; }
    // Descriptions and patterns separated by "|": "WAVファイル|*.wav|すべて|*".
    void Filter(const QString& pValue) { c_Filter = pValue; }
    [[nodiscard]] QString InitDir() const { return c_InitDir; }
    void InitDir(const QString& pValue) { c_InitDir = pValue; }
    [[nodiscard]] QString Text() const { return TextPath.text(); }
    void Text(const QString& pStr);
    [[nodiscard]] std::int32_t FontSize() const noexcept { return c_FontSize; }
    // Whole points (a fraction is rounded).
    void FontSize(float pValue);
    // Height of the text box and of the control, in twips.
    void TextHeight(std::int32_t pSize);
    [[nodiscard]] std::int32_t TextHeight() const noexcept { return c_TextHeight; }
    // Input-method mode of the text box: 3 (disable) switches the input method off, 2 (off) and 8
    // (alphanumeric) prefer Latin input, anything else leaves it free.
    void TextIMEMode(std::int32_t pMode);

    // Layout in pixels: the text box (with its edge) and the square button area beside it.
    [[nodiscard]] QRect TextBoxRect() const;
    [[nodiscard]] QRect ButtonArea() const;

    // The dialog texts, for the runner and tests: the folder browser's result ends in "/".
    [[nodiscard]] static QString BrowseForFolder(QWidget* pOwner, const QString& pStart,
                                                 const QString& pTitle);
    // pMode 0 open, 1 save; pFilter in the "|" form.
    [[nodiscard]] static QString ShowFileDialog(QWidget* pOwner, int pMode, const QString& pFilter,
                                                const QString& pStart, const QString& pName);
    // "desc|*.a;*.b|desc2|*.c" as "desc (*.a *.b);;desc2 (*.c)".
    [[nodiscard]] static QString DialogFilter(const QString& pFilter);
    // The filter the file dialogs offer: Filter, or one made from Ext ("wavファイル|*.wav").
    [[nodiscard]] QString EffectiveFilter() const;

Q_SIGNALS:
    void SelectButtonClicked();
    void TextDblClicked();
    void TextChange();

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void EnsureInit();
    void Layout();
    void ApplyTextLook(bool pGrey, bool pLocked);
    [[nodiscard]] bool ButtonUsable() const noexcept { return c_Enabled != 0 && c_ButtonDisabled != 1; }
    [[nodiscard]] QColor TextBackground() const;

    std::int32_t c_Usage = 0;
    std::int16_t c_Enabled = -1;
    std::int32_t c_ButtonDisabled = 0;
    std::int32_t c_TextDisabled = 0;
    QString c_Ext;
    QString c_Filter;
    QString c_InitDir;
    std::int32_t c_FontSize = 9;
    std::int32_t c_TextHeight = 300;
    bool c_Initialised = false;
    bool c_Pressed = false;
    int c_DrawnOn = 0;
    int c_FontIndex = 0;
    bool c_Grey = false;

    QLineEdit TextPath;
};
