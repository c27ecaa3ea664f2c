#pragma once
// The common dialogs of the component layer that a form keeps open beside its editor (find and
// replace) and the ones it asks for a value (font, colour). Font and colour go through a service
// like the other user-facing ones, so that tests answer them; find and replace are modeless
// windows whose fields and buttons a test drives directly.

#include <QColor>
#include <QDialog>
#include <QFlags>
#include <QFont>
#include <QString>

#include <functional>

class QCheckBox;
class QFontDialog;
class QToolButton;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace Vcl {

// The font dialog edits a font together with its colour.
class FontColorDialogs {
public:
    virtual ~FontColorDialogs() = default;
    // Each returns false when the user cancels; the values are changed only when confirmed.
    virtual bool ChooseFont(QFont& font, QColor& color, QWidget* parent) = 0;
    virtual bool ChooseColor(QColor& color, QWidget* parent) = 0;

    static FontColorDialogs& Instance();
    static FontColorDialogs* SetInstance(FontColorDialogs* dialogs);
};

// The font dialog of the default service: the desktop's font choice with the text colour below
// it, automatic (an invalid colour) or one picked through the service's colour dialog.
class TFontColorDialog final : public QDialog {
    Q_OBJECT
public:
    TFontColorDialog(const QFont& font, const QColor& color, QWidget* parent = nullptr);

    QFont SelectedFont() const;
    QColor SelectedColor() const { return m_color; }
    void SetSelectedColor(const QColor& color);

    QFontDialog* FontDialog;
    QToolButton* ColorButton;     // opens the colour dialog
    QToolButton* AutoColorButton; // back to the automatic colour

private:
    QColor m_color;
};

enum TFindOption {
    frDown = 0x1,
    frMatchCase = 0x4,
    frWholeWord = 0x2,
    frFindNext = 0x8,
    frReplace = 0x10,
    frReplaceAll = 0x20,
};
Q_DECLARE_FLAGS(TFindOptions, TFindOption)

// Search text, match case, whole word and direction; "Weitersuchen" raises OnFind.
class TFindDialog : public QDialog {
    Q_OBJECT
public:
    explicit TFindDialog(QWidget* parent, bool withReplace = false);

    QString FindText() const;
    void SetFindText(const QString& text);
    TFindOptions Options() const;
    void SetOptions(TFindOptions options);
    // Shows the dialog (again) and gives its search field the focus.
    void Execute();

    std::function<void(TFindDialog*)> OnFind;

    QLineEdit* EdFind;
    QCheckBox* CbMatchCase;
    QCheckBox* CbWholeWord;
    QRadioButton* RbUp;
    QRadioButton* RbDown;
    QPushButton* BtFindNext;
    QPushButton* BtClose;

protected:
    // Set while a replace button's event runs, so that the handler sees which one it was.
    TFindOptions m_extra;
};

// The find dialog with a replacement text and the buttons "Ersetzen" and "Alle ersetzen", which
// raise OnReplace with frReplace or frReplaceAll in the options.
class TReplaceDialog final : public TFindDialog {
    Q_OBJECT
public:
    explicit TReplaceDialog(QWidget* parent);

    QString ReplaceText() const;
    void SetReplaceText(const QString& text);

    std::function<void(TFindDialog*)> OnReplace;

    QLineEdit* EdReplace;
    QPushButton* BtReplace;
    QPushButton* BtReplaceAll;
};

} // namespace Vcl

Q_DECLARE_OPERATORS_FOR_FLAGS(Vcl::TFindOptions)
