#pragma once
// The memo editor: a dialog that edits one long text, plain or RTF, with a tab bar of tool groups
// above the editor, a width marker, a status bar and an on-screen keyboard. Its unit fills the slots
// through which the lower packages ask for a text to be edited. RTF stays the stored format: a text
// confirmed unchanged keeps its original bytes.

#include "TAbstractMemoForm.h"

#include "Vcl.Dialogs.h"

#include <QChar>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QTextCursor>

#include <memory>

class QComboBox;
class QFontComboBox;
class QFrame;
class QAction;
class QKeyEvent;
class QLabel;
class QMenu;
class QMouseEvent;
class QPushButton;
class QSlider;
class QStatusBar;
class QTextEdit;
class QToolButton;
class QTextCharFormat;
class TColorPickerController;
class TFrameVirtualKeyboard;
class TNumbersController;
class TRichEditUndoController;
class TVoskRibbon;

class TMemoFormEx final : public TAbstractMemoForm {
    Q_OBJECT
public:
    explicit TMemoFormEx(QObject* owner = nullptr, QWidget* parent = nullptr);
    ~TMemoFormEx() override;

    // Boolean form: txt and txt_rtf in and out; true when the user confirmed a change.
    static bool _EditText(const QString& FieldName, QString& txt, QString& txt_rtf, bool ReadOnly,
                          bool isRtf, QChar AddChar, int CursorStart,
                          bool ShowNonModal_OnlyIfReadOnly);
    // String form: the edited text when confirmed, else txt as passed.
    static QString _EditText(const QString& FieldName, const QString& txt, int CursorStart,
                             bool ReadOnly, bool isRtf, QChar AddChar,
                             bool ShowNonModal_OnlyIfReadOnly);

    bool EditText(const QString& FieldName, QString& txt, QString& txt_rtf, bool ReadOnly, bool isRtf,
                  QChar AddChar, int CursorStart, bool ShowNonModal_OnlyIfReadOnly);

    void SetPrintCaption(const QString& S);
    void Undo();
    void Redo();
    int GetEditorRow() const;
    int GetEditorCol() const;
    // The whole content as stored: RTF for rich text, else the plain text.
    QString GetAltText() const;
    void RefreshModified();
    QString GetTemplateName(QObject* Sender) const;
    bool isVorlageLeer() const;

    // Handlers of the form and its components.
    void FormShow();
    void FormActivate();
    void FormKeyDown(QKeyEvent* e);
    void textKeyDown(QKeyEvent* e);
    void EditorChange();
    void EditorSelectionChange();
    void WidthMarkerChange();
    void OkBtClick();
    void AbortBtClick();
    void StatusLockedClick();
    void BarButtonSaveTemplateClick(QObject* Sender);
    void BarButtonLoadTemplateClick(QObject* Sender);
    void btShowOnlyNonModalClick();
    void BarButtonPrintClick();
    void BarButtonNewClick();
    void BarButtonSearchF2Click();
    void BarButtonKeyboardClick();

    // Windows virtual-key code of a Qt key and the shift state as stored with key snippets
    // (Shift 1, Alt 2, Ctrl 4; AltGr counts as Ctrl+Alt); 0 for a key without a code.
    static int VirtualKeyOf(int qtKey);
    // The same for the native key code of X11 and Wayland (the key's place on the keyboard).
    static int VirtualKeyOfScanCode(quint32 scanCode);
    static int KeyStateOf(Qt::KeyboardModifiers modifiers);

    // The word-processor tools.
    void SetFontColor();
    void FontDialogClick();
    void BarButtonAlignClick(QToolButton* Sender);
    // Numbering of the selected paragraphs: type 0 none, 1 bullets, 2 decimal, 3 lower-case
    // letters; style 512 a period behind the number.
    void SetNumberingStyle(int typ, int style, int start);
    void BarButtonBulletsClick();
    void NumbStyleChanged(QAction* Sender);
    void SetColorScheme(const QString& name);
    void BarButtonClearClick();
    void BarButtonFindClick();
    void BarButtonReplaceClick();
    // The find and replace dialogs' event: selects the next hit; true when there was one.
    bool FindOne(Vcl::TFindDialog* Sender);
    void ReplaceOne(Vcl::TFindDialog* Sender);
    // The dialog's new top so that it does not cover the caret (both in screen coordinates).
    static int DialogTopOutOfTheWay(const QRect& dialog, const QPoint& caret, const QRect& screen);
    void BarButtonImageInsertClick();
    void InitSymbolGallery();
    static const QList<QList<char32_t>>& SymbolGroups();
    // A symbol's glyph: round(32 r) pixels square, r being the resolution over 96 dpi.
    static QImage CreateBitmap(char32_t code, const QFont& font, double r);
    void SymbolItemClick(char32_t code);
    void EditorMouseUp(QMouseEvent* e);
    void EditorContextPopup(const QPoint& globalPos);
    void ShowMiniToolBar(const QPoint& globalPos);

    // A picture larger than this would be stored as a text of about 100 MB.
    static constexpr qint64 MaxPicturePixels = 16'000'000;
    static QString PictureTooLargeText();

    bool FCanOnChange = false;
    QString FPrintCaption;
    bool FUpdating = false;
    QString FFieldName;
    bool FIsRTF = false;
    QString FAltText;
    bool FModified = false;

    TVoskRibbon* Ribbon;
    QSlider* WidthMarker;
    QFrame* PanelPageWidth;
    QTextEdit* Editor;
    TFrameVirtualKeyboard* FrameVirtualKeyboard1;
    QStatusBar* StatusBar;
    QLabel* StatusLineNumber;
    QLabel* StatusColumnNumber;
    QToolButton* StatusLocked;
    QLabel* StatusModified;
    QLabel* StatusHinweis; // says when the RTF reader had to leave something out
    QPushButton* OkBt;
    QPushButton* AbortBt;
    QPushButton* btShowOnlyNonModal;

    QToolButton* BarButtonNew;
    QToolButton* BarButtonPrint;
    QToolButton* BarButtonSaveTemplate;
    QToolButton* BarButtonLoadTemplate;
    QToolButton* BarButtonUndo;
    QToolButton* BarButtonRedo;
    QToolButton* BarButtonCut;
    QToolButton* BarButtonCopy;
    QToolButton* BarButtonPaste;
    QToolButton* BarButtonSelectAll;
    QToolButton* BarButtonClear;
    QToolButton* BarButtonFind;
    QToolButton* BarButtonReplace;
    QToolButton* BarButtonBold;
    QToolButton* BarButtonItalic;
    QToolButton* BarButtonUnderline;
    QFontComboBox* BarComboFontName;
    QComboBox* BarComboFontSize;
    QToolButton* BarButtonFontDialog;
    QToolButton* BarButtonFontColor;
    QToolButton* BarButtonAlignLeft;
    QToolButton* BarButtonAlignCenter;
    QToolButton* BarButtonAlignRight;
    QToolButton* BarButtonBullets;
    QToolButton* BarButtonWordWrap;
    QToolButton* BarButtonSymbol;
    QToolButton* BarButtonImageInsert;
    QToolButton* BarButtonKeyboard;
    QToolButton* BarButtonSearchF2;

    QWidget* PanelBottom;
    std::unique_ptr<TRichEditUndoController> FUndoController;
    TColorPickerController* FColorPicker = nullptr;
    std::unique_ptr<TNumbersController> FNumbersController;
    QAction* FNumbButton = nullptr;
    QMenu* NumberingMenu = nullptr;
    QMenu* SymbolMenu = nullptr;
    QList<QToolButton*> SymbolItems;
    QMenu* EditorPopupMenu = nullptr;
    QFrame* MiniToolBar = nullptr;
    Vcl::TFindDialog* FindDialog = nullptr;
    Vcl::TReplaceDialog* ReplaceDialog = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void LoadContent(const QString& text);
    // The exact comparison with the text as loaded, done only when an answer depends on it.
    bool ContentChanged() const;
    void CloseIfNotModal();
    void InitTools();
    void SelectionFeedbackTools(const QTextCharFormat& f);
    QTextCursor Search(const QTextCursor& from, const QString& text,
                       Vcl::TFindOptions options) const;

    bool m_lockFixed = false;
    bool m_modifiedShown = false;
    QString m_loadedRtf; // the RTF as passed in, kept when the user confirms it unchanged
    bool m_replacingAll = false;
    QTextCursor m_replaceCursor; // the hit of a replace-all, which leaves the caret alone
};
