#pragma once
// The companion classes of the memo editor's word-processor tools: the lock under which undo and
// redo run, the font-colour gallery with its shades and colour schemes, and the remembered
// numbering entry of the bullets button.

#include <QColor>
#include <QImage>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QAction;
class QActionGroup;
class QFont;
class QMenu;
class QTextEdit;
class QToolButton;
class QWidget;

// While locked, the editor's change handler leaves the tool states alone; they are set once the
// undo or redo is done.
class TRichEditUndoController final {
public:
    explicit TRichEditUndoController(QTextEdit* editor) : m_editor(editor) {}
    void Lock() { m_locked = true; }
    void UnLock() { m_locked = false; }
    bool Locked() const { return m_locked; }
    QTextEdit* Editor() const { return m_editor; }

private:
    QTextEdit* m_editor;
    bool m_locked = false;
};

// Shade kinds of CreateAccent; any other value gives "darker by 10".
enum TAccentKind {
    akLighter80,
    akLighter60,
    akLighter50,
    akLighter40,
    akLighter35,
    akLighter25,
    akLighter15,
    akLighter5,
    akDarker90,
    akDarker75,
    akDarker50,
    akDarker25,
};

// The font-colour gallery: a theme group of six rows of shades over the ten standard colours and
// the standard row, in a pop-up with "no colour" and "more colours"; a list of colour schemes.
// The current colour is invalid for "no colour" (the text's default colour).
class TColorPickerController final : public QObject {
    Q_OBJECT
public:
    // Fills the button's pop-up; glyphs are sized after the text height of font.
    TColorPickerController(QToolButton* colorButton, const QFont& font, QWidget* dialogParent);

    static constexpr int GalleryColumns = 10;
    static constexpr int GroupSpacing = 4;
    static const QList<QColor>& StandardColors();
    // Each channel moves percent % of the way to 255, or keeps (100 - percent) % of itself.
    static QColor Lighter(const QColor& c, int percent);
    static QColor Darker(const QColor& c, int percent);
    static QColor CreateAccent(const QColor& c, int kind);
    // The theme column of c, top to bottom.
    static QList<QColor> GetAccentColorScheme(const QColor& c);
    // The colour's name when it has one, else "$" and six hex digits (RRGGBB).
    static QString ColorCaption(const QColor& c);
    static QImage ColorGlyph(const QColor& c, int size);
    static const QStringList& ColorSchemes();

    QColor Color() const { return m_color; }
    void SetColor(const QColor& c);
    void ColorItemClick(const QColor& c);
    void MoreColorsClick();
    void BuildThemeColorGallery();
    void BuildColorSchemeGallery();
    QString ColorScheme() const { return m_scheme; }
    void SelectColorScheme(const QString& name);

    // After a real change of the colour.
    std::function<void()> OnColorChanged;
    // After the user chose a scheme in the list.
    std::function<void(const QString&)> OnColorSchemeChanged;

    QToolButton* ColorButton;
    QMenu* PopupMenu;
    QWidget* Gallery;
    QMenu* ColorMapMenu;
    QAction* NoColorButton;
    QAction* MoreColorsButton;
    // The gallery's items by group: theme (60) and standard (10).
    QList<QToolButton*> ThemeItems;
    QList<QToolButton*> StandardItems;

private:
    QToolButton* AddItem(QWidget* parent, const QColor& c);
    void ShowColor();

    QColor m_color = Qt::black;
    QString m_scheme;
    int m_glyphSize;
    QWidget* m_dialogParent;
};

// The bullets button's pop-up of three entries and the numbering they stand for.
class TNumbersController final {
public:
    explicit TNumbersController(QMenu* menu);

    int GetNumbTyp() const { return m_typ; }
    int GetNumbStyle() const { return m_style; }
    int GetNumbStart() const { return m_start; }
    void SetNumberParams(int typ, int style, int start);
    // The entry of a numbering type (1 to 3), or null.
    QAction* EntryOfTyp(int typ) const;
    QAction* Current() const;

    QList<QAction*> Entries;

private:
    QActionGroup* m_group;
    int m_typ = 1;
    int m_style = 512;
    int m_start = 1;
};
