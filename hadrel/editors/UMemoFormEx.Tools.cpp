// The word-processor tools of the memo editor: character and paragraph formats, numbering, the
// colour and symbol galleries, find and replace, pictures, the mini tool bar and the context menu.
#include "UMemoFormEx.Tools.h"

#include "UMemoFormEx.h"

#include "RtfCodec.h"
#include "RtfInternal.h"
#include "RtfPicture.h"
#include "TVoskRibbon.h"
#include "UDM1.h"
#include "Vcl.Dialogs.h"
#include "Vcl.Hourglass.h"
#include "Vcl.Services.h"
#include "VoskExceptionHelper.h"
#include "VoskExceptions.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QFontComboBox>
#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextList>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidgetAction>

#include <optional>

namespace {

QString Text(int nr, const char* def) {
    return makeText(nr, QString::fromUtf8(def));
}

int Channel(int v, int target, int percent) {
    return qBound(0, qRound(v + (target - v) * percent / 100.0), 255);
}

void Describe(QWidget* w, const QString& caption) {
    QString t = caption;
    t.remove(u'&');
    w->setToolTip(t);
    w->setAccessibleName(t);
}

// The colours that have a name of their own (the component layer's sixteen).
const QList<std::pair<QRgb, const char*>>& NamedColors() {
    static const QList<std::pair<QRgb, const char*>> names = {
        {0x000000, "Schwarz"}, {0x800000, "Kastanienbraun"}, {0x008000, "Grün"},
        {0x808000, "Oliv"},    {0x000080, "Marineblau"},     {0x800080, "Violett"},
        {0x008080, "Petrol"},  {0x808080, "Grau"},           {0xC0C0C0, "Silber"},
        {0xFF0000, "Rot"},     {0x00FF00, "Hellgrün"},       {0xFFFF00, "Gelb"},
        {0x0000FF, "Blau"},    {0xFF00FF, "Magenta"},        {0x00FFFF, "Cyan"},
        {0xFFFFFF, "Weiß"}};
    return names;
}

} // namespace

// ---- TColorPickerController ------------------------------------------------------------------

TColorPickerController::TColorPickerController(QToolButton* colorButton, const QFont& font,
                                               QWidget* dialogParent)
    : QObject(colorButton), ColorButton(colorButton), m_dialogParent(dialogParent) {
    setObjectName(QStringLiteral("ColorPickerController"));
    m_glyphSize = qMax(12, QFontMetrics(font).height());
    PopupMenu = new QMenu(colorButton);
    PopupMenu->setObjectName(QStringLiteral("ColorPopupMenu"));
    Gallery = new QWidget(PopupMenu);
    Gallery->setObjectName(QStringLiteral("ColorGallery"));
    Gallery->setAccessibleName(Text(6216, "Schriftfarbe"));
    auto* box = new QVBoxLayout(Gallery);
    box->setContentsMargins(4, 4, 4, 4);
    box->setSpacing(GroupSpacing);
    auto* galleryAction = new QWidgetAction(PopupMenu);
    galleryAction->setDefaultWidget(Gallery);
    PopupMenu->addAction(galleryAction);
    PopupMenu->addSeparator();
    NoColorButton = PopupMenu->addAction(Text(17884, "Standard"));
    NoColorButton->setObjectName(QStringLiteral("NoColorButton"));
    QImage none(m_glyphSize, m_glyphSize, QImage::Format_ARGB32);
    none.fill(Qt::transparent);
    NoColorButton->setIcon(QIcon(QPixmap::fromImage(none)));
    NoColorButton->setToolTip(NoColorButton->text());
    MoreColorsButton = PopupMenu->addAction(Text(17883, "Weitere Farben…"));
    MoreColorsButton->setObjectName(QStringLiteral("MoreColorsButton"));
    MoreColorsButton->setIcon(QIcon::fromTheme(QStringLiteral("color-management")));
    MoreColorsButton->setToolTip(MoreColorsButton->text());
    ColorMapMenu = PopupMenu->addMenu(QStringLiteral("Farbschema"));
    ColorMapMenu->setObjectName(QStringLiteral("ColorMapMenu"));
    ColorMapMenu->setToolTip(QStringLiteral("Farbschema des Editors"));
    connect(NoColorButton, &QAction::triggered, this, [this] { ColorItemClick(QColor()); });
    connect(MoreColorsButton, &QAction::triggered, this, &TColorPickerController::MoreColorsClick);
    ColorButton->setMenu(PopupMenu);
    ColorButton->setPopupMode(QToolButton::MenuButtonPopup);
    BuildThemeColorGallery();
    BuildColorSchemeGallery();
    ShowColor();
}

const QList<QColor>& TColorPickerController::StandardColors() {
    static const QList<QColor> colors = {
        QColor(0xC00000), QColor(0xFF0000), QColor(0xFFC000), QColor(0xFFFF00), QColor(0x92D050),
        QColor(0x00B050), QColor(0x00B0F0), QColor(0x0070C0), QColor(0x002060), QColor(0x7030A0)};
    return colors;
}

QColor TColorPickerController::Lighter(const QColor& c, int percent) {
    return QColor(Channel(c.red(), 255, percent), Channel(c.green(), 255, percent),
                  Channel(c.blue(), 255, percent));
}

QColor TColorPickerController::Darker(const QColor& c, int percent) {
    return QColor(Channel(c.red(), 0, percent), Channel(c.green(), 0, percent),
                  Channel(c.blue(), 0, percent));
}

QColor TColorPickerController::CreateAccent(const QColor& c, int kind) {
    switch (kind) {
    case akLighter80:
        return Lighter(c, 80);
    case akLighter60:
        return Lighter(c, 60);
    case akLighter50:
        return Lighter(c, 50);
    case akLighter40:
        return Lighter(c, 40);
    case akLighter35:
        return Lighter(c, 35);
    case akLighter25:
        return Lighter(c, 25);
    case akLighter15:
        return Lighter(c, 15);
    case akLighter5:
        return Lighter(c, 5);
    case akDarker90:
        return Darker(c, 90);
    case akDarker75:
        return Darker(c, 75);
    case akDarker50:
        return Darker(c, 50);
    case akDarker25:
        return Darker(c, 25);
    default:
        return Darker(c, 10);
    }
}

QList<QColor> TColorPickerController::GetAccentColorScheme(const QColor& c) {
    QList<QColor> shades;
    for (int kind : {akDarker50, akDarker75, akLighter80, akLighter60, akLighter40, akLighter25})
        shades << CreateAccent(c, kind);
    return shades;
}

QString TColorPickerController::ColorCaption(const QColor& c) {
    const QRgb rgb = c.rgb() & 0xFFFFFF;
    for (const auto& [value, name] : NamedColors())
        if (value == rgb)
            return QString::fromUtf8(name);
    return u'$' + QStringLiteral("%1").arg(rgb, 6, 16, QLatin1Char('0')).toUpper();
}

QImage TColorPickerController::ColorGlyph(const QColor& c, int size) {
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.fillRect(0, 0, size, size, c.isValid() ? c : QColor(Qt::transparent));
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawRect(0, 0, size - 1, size - 1);
    p.end();
    return img;
}

const QStringList& TColorPickerController::ColorSchemes() { return TVoskRibbon::ColorSchemes(); }

QToolButton* TColorPickerController::AddItem(QWidget* parent, const QColor& c) {
    auto* b = new QToolButton(parent);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setIconSize(QSize(m_glyphSize, m_glyphSize));
    b->setIcon(QIcon(QPixmap::fromImage(ColorGlyph(c, m_glyphSize))));
    b->setProperty("color", c);
    Describe(b, ColorCaption(c));
    connect(b, &QToolButton::clicked, this, [this, c] {
        PopupMenu->close();
        ColorItemClick(c);
    });
    return b;
}

void TColorPickerController::BuildThemeColorGallery() {
    auto* box = static_cast<QVBoxLayout*>(Gallery->layout());
    while (QLayoutItem* item = box->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    ThemeItems.clear();
    StandardItems.clear();
    const auto group = [&](const QString& title, int rows, QList<QToolButton*>& items,
                           const std::function<QColor(int, int)>& color) {
        auto* header = new QLabel(title, Gallery);
        header->setStyleSheet(QStringLiteral("font-weight: bold;"));
        box->addWidget(header);
        auto* cells = new QWidget(Gallery);
        cells->setAccessibleName(title);
        auto* grid = new QGridLayout(cells);
        grid->setContentsMargins(0, 0, 0, 0);
        grid->setSpacing(0);
        for (int r = 0; r < rows; ++r)
            for (int col = 0; col < GalleryColumns; ++col) {
                QToolButton* b = AddItem(cells, color(r, col));
                grid->addWidget(b, r, col);
                items << b;
            }
        box->addWidget(cells);
    };
    group(Text(17886, "Designfarben"), 6, ThemeItems,
          [](int row, int col) { return GetAccentColorScheme(StandardColors()[col])[row]; });
    group(Text(17884, "Standard"), 1, StandardItems,
          [](int, int col) { return StandardColors()[col]; });
}

void TColorPickerController::BuildColorSchemeGallery() {
    ColorMapMenu->clear();
    auto* group = new QActionGroup(ColorMapMenu);
    for (const QString& name : ColorSchemes()) {
        QAction* a = ColorMapMenu->addAction(name);
        a->setCheckable(true);
        a->setChecked(name == m_scheme);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, name] {
            SelectColorScheme(name);
            if (OnColorSchemeChanged)
                OnColorSchemeChanged(name);
        });
    }
}

void TColorPickerController::SelectColorScheme(const QString& name) {
    m_scheme = name;
    BuildThemeColorGallery();
    // The list stays: its entry may be the one whose event runs.
    for (QAction* a : ColorMapMenu->actions())
        a->setChecked(a->text() == name);
}

void TColorPickerController::SetColor(const QColor& c) {
    const QColor next = c.isValid() ? QColor(c.rgb()) : QColor();
    if (next == m_color)
        return;
    m_color = next;
    ShowColor();
    if (OnColorChanged)
        OnColorChanged();
}

void TColorPickerController::ColorItemClick(const QColor& c) {
    SetColor(c);
}

void TColorPickerController::MoreColorsClick() {
    QColor c = m_color;
    if (Vcl::FontColorDialogs::Instance().ChooseColor(c, m_dialogParent))
        SetColor(c);
}

void TColorPickerController::ShowColor() {
    // The button's glyph: its colour as a bar under the letter, as word processors show it.
    const int s = 24;
    QImage img(s, s, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    QFont f = ColorButton->font();
    f.setBold(true);
    f.setPixelSize(15);
    p.setFont(f);
    p.setPen(QColor(0x30, 0x30, 0x30));
    p.drawText(QRect(0, 0, s, s - 6), Qt::AlignCenter, QStringLiteral("A"));
    p.fillRect(2, s - 6, s - 4, 5, m_color.isValid() ? m_color : QColor(Qt::black));
    p.end();
    const QIcon icon(QPixmap::fromImage(img));
    if (QAction* a = ColorButton->defaultAction())
        a->setIcon(icon); // a button over an action shows the action's icon
    else
        ColorButton->setIcon(icon);
    ColorButton->setProperty("color", m_color);
}

// ---- TNumbersController ----------------------------------------------------------------------

TNumbersController::TNumbersController(QMenu* menu) {
    m_group = new QActionGroup(menu);
    const struct {
        int nr;
        const char* text;
        const char* icon;
    } entries[] = {{17889, "Aufzählungszeichen", "format-list-unordered"},
                   {17888, "Nummerierung 1. 2. 3.", "format-list-ordered"},
                   {17887, "Buchstaben a. b. c.", "format-list-ordered"}};
    int typ = 0;
    for (const auto& e : entries) {
        QAction* a =
            menu->addAction(QIcon::fromTheme(QString::fromLatin1(e.icon)), Text(e.nr, e.text));
        a->setCheckable(true);
        a->setToolTip(a->text());
        a->setData(++typ);
        m_group->addAction(a);
        Entries << a;
    }
    Entries.first()->setChecked(true);
}

void TNumbersController::SetNumberParams(int typ, int style, int start) {
    m_typ = typ;
    m_style = style;
    m_start = start;
    if (QAction* a = EntryOfTyp(typ))
        a->setChecked(true);
}

QAction* TNumbersController::EntryOfTyp(int typ) const {
    return typ >= 1 && typ <= Entries.size() ? Entries[typ - 1] : nullptr;
}

QAction* TNumbersController::Current() const {
    return EntryOfTyp(m_typ);
}

// ---- the form's tools ------------------------------------------------------------------------

void TMemoFormEx::InitTools() {
    FUndoController = std::make_unique<TRichEditUndoController>(Editor);

    for (QToolButton* b : {BarButtonBold, BarButtonItalic, BarButtonUnderline, BarButtonAlignLeft,
                           BarButtonAlignCenter, BarButtonAlignRight, BarButtonBullets})
        b->defaultAction()->setCheckable(true);
    BarButtonAlignLeft->setProperty("Tag", int(Qt::AlignLeft));
    BarButtonAlignCenter->setProperty("Tag", int(Qt::AlignHCenter));
    BarButtonAlignRight->setProperty("Tag", int(Qt::AlignRight));
    for (QToolButton* b : {BarButtonAlignLeft, BarButtonAlignCenter, BarButtonAlignRight})
        connect(b->defaultAction(), &QAction::triggered, this, [this, b] { BarButtonAlignClick(b); });

    // Colour
    FColorPicker = new TColorPickerController(BarButtonFontColor, Ribbon->font(), this);
    FColorPicker->OnColorChanged = [this] {
        if (!FUpdating)
            SetFontColor();
    };
    FColorPicker->OnColorSchemeChanged = [this](const QString& name) { SetColorScheme(name); };
    connect(BarButtonFontColor->defaultAction(), &QAction::triggered, this, &TMemoFormEx::SetFontColor);
    connect(BarButtonFontDialog->defaultAction(), &QAction::triggered, this, &TMemoFormEx::FontDialogClick);

    // Numbering
    NumberingMenu = new QMenu(BarButtonBullets);
    NumberingMenu->setObjectName(QStringLiteral("NumberingMenu"));
    FNumbersController = std::make_unique<TNumbersController>(NumberingMenu);
    FNumbButton = FNumbersController->Entries.first();
    BarButtonBullets->setMenu(NumberingMenu);
    BarButtonBullets->setPopupMode(QToolButton::MenuButtonPopup);
    connect(NumberingMenu, &QMenu::triggered, this, &TMemoFormEx::NumbStyleChanged);
    connect(BarButtonBullets->defaultAction(), &QAction::triggered, this, &TMemoFormEx::BarButtonBulletsClick);

    // Clipboard and edit
    connect(BarButtonClear->defaultAction(), &QAction::triggered, this, &TMemoFormEx::BarButtonClearClick);
    connect(BarButtonFind->defaultAction(), &QAction::triggered, this, &TMemoFormEx::BarButtonFindClick);
    connect(BarButtonReplace->defaultAction(), &QAction::triggered, this, &TMemoFormEx::BarButtonReplaceClick);
    connect(BarButtonImageInsert->defaultAction(), &QAction::triggered, this,
            &TMemoFormEx::BarButtonImageInsertClick);
    FindDialog = new Vcl::TFindDialog(this);
    FindDialog->setWindowTitle(Text(17912, "Suchen"));
    FindDialog->OnFind = [this](Vcl::TFindDialog* d) { FindOne(d); };
    ReplaceDialog = new Vcl::TReplaceDialog(this);
    ReplaceDialog->setWindowTitle(Text(26188, "Ersetzen"));
    ReplaceDialog->OnFind = [this](Vcl::TFindDialog* d) { FindOne(d); };
    ReplaceDialog->OnReplace = [this](Vcl::TFindDialog* d) { ReplaceOne(d); };

    InitSymbolGallery();

    // Context menu and mini tool bar
    EditorPopupMenu = new QMenu(this);
    EditorPopupMenu->setObjectName(QStringLiteral("EditorPopupMenu"));
    const auto item = [this](QToolButton* b, const std::function<void()>& fn) {
        QAction* a = EditorPopupMenu->addAction(b->icon(), b->text(), this, fn);
        a->setObjectName(
            b->objectName().replace(QStringLiteral("BarButton"), QStringLiteral("mi")));
        a->setToolTip(b->toolTip());
        return a;
    };
    item(BarButtonUndo, [this] { Undo(); });
    EditorPopupMenu->addSeparator();
    item(BarButtonCut, [this] { Editor->cut(); });
    item(BarButtonCopy, [this] { Editor->copy(); });
    item(BarButtonPaste, [this] { Editor->paste(); });
    item(BarButtonClear, [this] { BarButtonClearClick(); });
    EditorPopupMenu->addSeparator();
    item(BarButtonSelectAll, [this] { Editor->selectAll(); });
    Editor->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Editor, &QTextEdit::customContextMenuRequested, this, [this](const QPoint& pos) {
        EditorContextPopup(Editor->viewport()->mapToGlobal(pos));
    });

    MiniToolBar = new QFrame(this, Qt::Popup);
    MiniToolBar->setObjectName(QStringLiteral("MiniToolBar"));
    MiniToolBar->setFrameShape(QFrame::StyledPanel);
    MiniToolBar->setAccessibleName(QStringLiteral("Format der Markierung"));
    auto* row = new QHBoxLayout(MiniToolBar);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(1);
    for (QToolButton* source :
         {BarButtonBold, BarButtonItalic, BarButtonUnderline, BarButtonFontColor,
          BarButtonAlignLeft, BarButtonAlignCenter, BarButtonAlignRight, BarButtonBullets}) {
        // The ribbon's action does the work, so both stay alike.
        auto* b = new QToolButton(MiniToolBar);
        b->setObjectName(QStringLiteral("Mini") + source->objectName());
        b->setDefaultAction(source->defaultAction());
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setAccessibleName(source->accessibleName());
        if (source->menu()) {
            b->setMenu(source->menu());
            b->setPopupMode(source->popupMode());
        }
        row->addWidget(b);
    }
}

void TMemoFormEx::ShowMiniToolBar(const QPoint& globalPos) {
    MiniToolBar->adjustSize();
    MiniToolBar->move(globalPos - QPoint(0, MiniToolBar->height() + 8));
    MiniToolBar->show();
}

void TMemoFormEx::EditorMouseUp(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && FIsRTF && Editor->textCursor().hasSelection() &&
        !Editor->isReadOnly())
        ShowMiniToolBar(e->globalPosition().toPoint());
}

void TMemoFormEx::EditorContextPopup(const QPoint& globalPos) {
    if (FIsRTF && Editor->textCursor().hasSelection() && !Editor->isReadOnly())
        ShowMiniToolBar(globalPos);
    for (QAction* a : EditorPopupMenu->actions()) {
        if (a->isSeparator())
            continue;
        const QString name =
            a->objectName().replace(QStringLiteral("mi"), QStringLiteral("BarButton"));
        if (auto* tool = findChild<QAction*>(name))
            a->setEnabled(tool->isEnabled());
    }
    EditorPopupMenu->popup(globalPos);
}

void TMemoFormEx::SetFontColor() {
    if (Editor->isReadOnly() || !FIsRTF)
        return;
    QTextCharFormat f;
    const QColor c = FColorPicker->Color();
    // No colour: the text's default, which the writer leaves out.
    f.setForeground(c.isValid() ? QBrush(c) : QBrush());
    Editor->mergeCurrentCharFormat(f);
}

void TMemoFormEx::FontDialogClick() {
    if (Editor->isReadOnly() || !FIsRTF)
        return;
    const QTextCharFormat current = Editor->currentCharFormat();
    QFont font = current.font();
    QColor color =
        current.foreground().style() != Qt::NoBrush ? current.foreground().color() : QColor();
    if (!Vcl::FontColorDialogs::Instance().ChooseFont(font, color, this))
        return;
    QTextCharFormat f;
    f.setFontFamilies({font.family()});
    if (font.pointSizeF() > 0)
        f.setFontPointSize(font.pointSizeF());
    f.setFontWeight(font.bold() ? QFont::Bold : QFont::Normal);
    f.setFontItalic(font.italic());
    f.setFontUnderline(font.underline());
    f.setFontStrikeOut(font.strikeOut());
    f.setForeground(color.isValid() ? QBrush(color) : QBrush());
    Editor->mergeCurrentCharFormat(f);
    EditorSelectionChange();
}

void TMemoFormEx::BarButtonAlignClick(QToolButton* Sender) {
    const auto a = Sender->isChecked() ? Qt::Alignment(Sender->property("Tag").toInt())
                                       : Qt::Alignment(Qt::AlignLeft);
    Editor->setAlignment(a);
    EditorSelectionChange();
}

void TMemoFormEx::SetNumberingStyle(int typ, int style, int start) {
    if (Editor->isReadOnly())
        return;
    QTextCursor c = Editor->textCursor();
    c.beginEditBlock();
    if (typ <= 0) {
        const QTextBlock last = Editor->document()->findBlock(c.selectionEnd());
        for (QTextBlock b = Editor->document()->findBlock(c.selectionStart()); b.isValid();
             b = b.next()) {
            if (QTextList* list = b.textList()) {
                list->remove(b);
                QTextCursor bc(b);
                QTextBlockFormat bf = b.blockFormat();
                bf.setIndent(0);
                bc.setBlockFormat(bf);
            }
            if (b == last)
                break;
        }
    } else {
        const Rtf::ListKind kind = typ == 1   ? Rtf::ListKind::Bullet
                                   : typ == 2 ? Rtf::ListKind::Decimal
                                              : Rtf::ListKind::LowerAlpha;
        // The rich-edit numbering styles: 0 ")" behind, 512 "." behind, 768 nothing.
        const QString suffix = style == 0     ? QStringLiteral(")")
                               : style == 768 ? QStringLiteral("")
                                              : QStringLiteral(".");
        // One level of indent is the numbering tab.
        const QTextListFormat lf = Rtf::ListFormat(kind, qMax(0, start), suffix);
        if (QTextList* list = c.currentList())
            list->setFormat(lf);
        else
            c.createList(lf);
    }
    c.endEditBlock();
    EditorSelectionChange();
}

void TMemoFormEx::BarButtonBulletsClick() {
    if (BarButtonBullets->isChecked())
        SetNumberingStyle(FNumbersController->GetNumbTyp(), FNumbersController->GetNumbStyle(),
                          FNumbersController->GetNumbStart());
    else
        SetNumberingStyle(0, 0, 0);
}

void TMemoFormEx::NumbStyleChanged(QAction* Sender) {
    if (!Sender || !FNumbersController->Entries.contains(Sender))
        return;
    FNumbButton = Sender;
    const int typ = Sender->data().toInt();
    FNumbersController->SetNumberParams(typ, 512, 1);
    BarButtonBullets->defaultAction()->setChecked(true);
    BarButtonBullets->defaultAction()->setIcon(Sender->icon());
    BarButtonBulletsClick();
}

void TMemoFormEx::SelectionFeedbackTools(const QTextCharFormat& f) {
    if (!FColorPicker)
        return;
    FColorPicker->SetColor(f.foreground().style() != Qt::NoBrush ? f.foreground().color()
                                                                 : QColor());
    const QTextList* list = Editor->textCursor().currentList();
    BarButtonBullets->defaultAction()->setChecked(list != nullptr);
    if (list) {
        const QTextListFormat::Style s = list->format().style();
        const int typ = s == QTextListFormat::ListDecimal      ? 2
                        : s == QTextListFormat::ListLowerAlpha ? 3
                                                               : 1;
        FNumbButton = FNumbersController->EntryOfTyp(typ);
        FNumbersController->SetNumberParams(typ, FNumbersController->GetNumbStyle(),
                                            FNumbersController->GetNumbStart());
        BarButtonBullets->defaultAction()->setIcon(FNumbButton->icon());
    }
}

void TMemoFormEx::SetColorScheme(const QString& name) {
    Ribbon->SetColorSchemeName(name);
    QPalette pal = PanelBottom->palette();
    pal.setColor(QPalette::Window, TVoskRibbon::SchemeColor(name));
    PanelBottom->setPalette(pal);
    PanelBottom->setAutoFillBackground(true);
    if (FColorPicker->ColorScheme() != name)
        FColorPicker->SelectColorScheme(name);
}

void TMemoFormEx::BarButtonClearClick() {
    if (!Editor->isReadOnly())
        Editor->textCursor().removeSelectedText();
}

// ---- symbols ---------------------------------------------------------------------------------

const QList<QList<char32_t>>& TMemoFormEx::SymbolGroups() {
    static const QList<QList<char32_t>> groups = [] {
        QList<QList<char32_t>> g = {
            {0x00B1, 0x2260, 0x2264, 0x2265, 0x00F7, 0x00D7, 0x221E, 0x2211},
            {},
            {0x00A9, 0x00AE, 0x2122, 0x00D8},
            {0x20AC, 0x0024, 0x00A3, 0x00A5, 0x20A3}};
        for (char32_t c = 0x03B1; c <= 0x03BA; ++c)
            g[1] << c;
        return g;
    }();
    return groups;
}

QImage TMemoFormEx::CreateBitmap(char32_t code, const QFont& font, double r) {
    const int side = qRound(32 * r);
    QImage img(side, side, QImage::Format_RGB32);
    img.fill(QColor(0xFA, 0xFA, 0xFA));
    QPainter p(&img);
    QFont f = font;
    f.setPointSize(qMax(1, qRound(16 * r)));
    p.setFont(f);
    p.setPen(QColor(0x5C, 0x53, 0x4C));
    p.drawText(QRect(0, 0, side, side), Qt::AlignCenter | Qt::TextSingleLine,
               QString::fromUcs4(&code, 1));
    p.end();
    return img;
}

void TMemoFormEx::InitSymbolGallery() {
    SymbolMenu = new QMenu(BarButtonSymbol);
    SymbolMenu->setObjectName(QStringLiteral("SymbolMenu"));
    auto* gallery = new QWidget(SymbolMenu);
    gallery->setObjectName(QStringLiteral("SymbolGallery"));
    gallery->setAccessibleName(Text(17166, "Symbol"));
    auto* box = new QVBoxLayout(gallery);
    box->setContentsMargins(4, 4, 4, 4);
    box->setSpacing(TColorPickerController::GroupSpacing);
    const double r = logicalDpiX() / 96.0;
    const QFont font(QStringLiteral("Arial"));
    for (const QList<char32_t>& group : SymbolGroups()) {
        auto* cells = new QWidget(gallery);
        auto* grid = new QGridLayout(cells);
        grid->setContentsMargins(0, 0, 0, 0);
        grid->setSpacing(1);
        int i = 0;
        for (const char32_t code : group) {
            auto* b = new QToolButton(cells);
            b->setAutoRaise(true);
            b->setFocusPolicy(Qt::NoFocus);
            const QImage glyph = CreateBitmap(code, font, r);
            b->setIcon(QIcon(QPixmap::fromImage(glyph)));
            b->setIconSize(glyph.size());
            Describe(b, QString::fromUcs4(&code, 1) + QStringLiteral(" #") +
                            QString::number(quint32(code)));
            b->setProperty("code", quint32(code));
            connect(b, &QToolButton::clicked, this, [this, code] {
                SymbolMenu->close();
                SymbolItemClick(code);
            });
            grid->addWidget(b, i / TColorPickerController::GalleryColumns,
                            i % TColorPickerController::GalleryColumns);
            SymbolItems << b;
            ++i;
        }
        box->addWidget(cells);
    }
    auto* action = new QWidgetAction(SymbolMenu);
    action->setDefaultWidget(gallery);
    SymbolMenu->addAction(action);
    BarButtonSymbol->setMenu(SymbolMenu);
    BarButtonSymbol->setPopupMode(QToolButton::InstantPopup);
}

void TMemoFormEx::SymbolItemClick(char32_t code) {
    if (Editor->isReadOnly())
        return;
    QTextCharFormat f = Editor->currentCharFormat();
    bool ok = false;
    const int size = BarComboFontSize->currentText().toInt(&ok);
    if (ok && size > 0 && size < 1000)
        f.setFontPointSize(size);
    f.setFontFamilies({QStringLiteral("Arial")});
    const QColor c = FColorPicker->Color();
    f.setForeground(c.isValid() ? QBrush(c) : QBrush());
    // Through the clipboard, which keeps the character afterwards.
    Vcl::Clipboard::Instance().SetText(QString::fromUcs4(&code, 1));
    QTextCursor cursor = Editor->textCursor();
    cursor.insertText(Vcl::Clipboard::Instance().Text(), f);
    Editor->setTextCursor(cursor);
}

// ---- find and replace ------------------------------------------------------------------------

void TMemoFormEx::BarButtonFindClick() {
    QTextCursor c = Editor->textCursor();
    c.setPosition(c.selectionStart());
    Editor->setTextCursor(c);
    FindDialog->Execute();
}

void TMemoFormEx::BarButtonReplaceClick() {
    ReplaceDialog->Execute();
}

QTextCursor TMemoFormEx::Search(const QTextCursor& from, const QString& text,
                                Vcl::TFindOptions options) const {
    QTextDocument::FindFlags flags;
    if (options.testFlag(Vcl::frMatchCase))
        flags |= QTextDocument::FindCaseSensitively;
    if (options.testFlag(Vcl::frWholeWord))
        flags |= QTextDocument::FindWholeWords;
    const QTextDocument* doc = Editor->document();
    if (options.testFlag(Vcl::frDown))
        return doc->find(text, from.selectionEnd(), flags);
    // Backwards from the selection start: a hit must end before it.
    const int start = from.selectionStart();
    int pos = start;
    while (pos > 0) {
        const QTextCursor hit = doc->find(text, pos, flags | QTextDocument::FindBackward);
        if (hit.isNull())
            break;
        if (hit.selectionEnd() <= start)
            return hit;
        pos = hit.selectionStart();
    }
    return {};
}

int TMemoFormEx::DialogTopOutOfTheWay(const QRect& dialog, const QPoint& caret,
                                      const QRect& screen) {
    if (!dialog.contains(caret))
        return dialog.top();
    if (caret.y() < screen.center().y())
        return caret.y() + 40;
    return caret.y() - 20 - dialog.height();
}

bool TMemoFormEx::FindOne(Vcl::TFindDialog* Sender) {
    std::optional<Vcl::THourglass> wait;
    if (!m_replacingAll)
        wait.emplace();
    const QTextCursor hit = Search(m_replacingAll ? m_replaceCursor : Editor->textCursor(),
                                   Sender->FindText(), Sender->Options());
    if (!hit.isNull()) {
        if (m_replacingAll) {
            m_replaceCursor = hit;
            return true;
        }
        Editor->setTextCursor(hit);
        if (Sender->isVisible()) {
            const QPoint caret = Editor->viewport()->mapToGlobal(Editor->cursorRect().topLeft());
            const QRect frame = Sender->frameGeometry();
            const QScreen* screen =
                Sender->screen() ? Sender->screen() : QGuiApplication::primaryScreen();
            const int top = DialogTopOutOfTheWay(frame, caret, screen->geometry());
            if (top != frame.top())
                Sender->move(frame.left(), top);
        }
        return true;
    }
    if (!m_replacingAll) {
        wait.reset();
        Vcl::ShowMessage(Text(17890, "Der Suchbegriff wurde nicht gefunden."));
    }
    return false;
}

void TMemoFormEx::ReplaceOne(Vcl::TFindDialog* Sender) {
    auto* dialog = dynamic_cast<Vcl::TReplaceDialog*>(Sender);
    if (!dialog || Editor->isReadOnly())
        return;
    const QString search = Sender->FindText();
    const QString replacement = dialog->ReplaceText();
    const Vcl::TFindOptions options = Sender->Options();
    const bool matchCase = options.testFlag(Vcl::frMatchCase);
    const bool down = options.testFlag(Vcl::frDown);
    const auto matches = [&](const QTextCursor& c) {
        const QString selected = c.selectedText();
        return !selected.isEmpty() &&
               (matchCase ? selected == search : selected.toUpper() == search.toUpper());
    };
    // Replaces the selection; a search upwards goes on from the replacement's start, downwards
    // from its end, so that a replacement holding the search text is not found again.
    const auto replace = [&](QTextCursor& c) {
        const int start = c.selectionStart();
        c.insertText(replacement);
        if (!down)
            c.setPosition(start);
    };
    if (!options.testFlag(Vcl::frReplaceAll)) {
        QTextCursor c = Editor->textCursor();
        if (matches(c)) {
            replace(c);
            Editor->setTextCursor(c);
        }
        FindOne(Sender);
        return;
    }
    const int remembered = Editor->textCursor().selectionStart();
    int count = 0;
    m_replacingAll = true;
    m_replaceCursor = Editor->textCursor();
    QTextCursor block(Editor->document());
    block.beginEditBlock();
    try {
        do {
            if (matches(m_replaceCursor)) {
                replace(m_replaceCursor);
                ++count;
            }
        } while (FindOne(Sender));
    } catch (...) {
        block.endEditBlock();
        m_replacingAll = false;
        throw;
    }
    block.endEditBlock();
    m_replacingAll = false;
    m_replaceCursor = QTextCursor();
    QTextCursor c = Editor->textCursor();
    c.setPosition(qMin(remembered, Editor->document()->characterCount() - 1));
    Editor->setTextCursor(c);
    EditorChange();
    if (count > 0)
        Vcl::ShowMessage(Text(17891, "%d Stelle(n) ersetzt.")
                             .replace(QStringLiteral("%d"), QString::number(count)));
    else
        Vcl::ShowMessage(Text(17890, "Der Suchbegriff wurde nicht gefunden."));
}

// ---- pictures --------------------------------------------------------------------------------

void TMemoFormEx::BarButtonImageInsertClick() {
    if (!FIsRTF || Editor->isReadOnly())
        return;
    Vcl::TFileRequest request;
    request.caption = Text(17400, "Bild");
    request.filter = QStringLiteral(
        "Bilder (*.png *.jpg *.jpeg *.bmp *.gif *.tif *.tiff *.webp);;Alle Dateien (*)");
    request.parent = this;
    const QString path = Vcl::FileDialogs::Instance().OpenFile(request);
    if (path.isEmpty())
        return;
    try {
        QImageReader reader(path);
        QSize size = reader.size();
        const auto tooLarge = [](QSize s) {
            return qint64(s.width()) * s.height() > MaxPicturePixels;
        };
        // Refused before it is decoded where the file tells its size.
        if (size.isValid() && tooLarge(size)) {
            Vcl::Ask(Vcl::mtWarning, QString(), PictureTooLargeText(), Vcl::mbOK);
            return;
        }
        const QImage picture = reader.read();
        if (picture.isNull())
            throw EVoskException(QStringLiteral("Das Bild \"%1\" lässt sich nicht lesen: %2")
                                     .arg(path, reader.errorString()));
        if (tooLarge(picture.size())) {
            Vcl::Ask(Vcl::mtWarning, QString(), PictureTooLargeText(), Vcl::mbOK);
            return;
        }
        QTextCursor c = Editor->textCursor();
        const int start = c.selectionStart();
        const int length = c.selectionEnd() - start;
        const QByteArray rtf =
            Rtf::BitmapToRTF(picture, true, Editor->logicalDpiX(), Editor->viewport()->size());
        Rtf::Insert(rtf, c);
        c.setPosition(qMin(start, Editor->document()->characterCount() - 1));
        c.setPosition(qMin(start + length, Editor->document()->characterCount() - 1),
                      QTextCursor::KeepAnchor);
        Editor->setTextCursor(c);
    } catch (...) {
        TVoskExceptionHelper::InsertStackInfo(
            std::current_exception(), Dunmere::SecureFullName(this, QStringLiteral("TMemoFormEx")) +
                                          QStringLiteral(".BarButtonImageInsertClick"));
    }
}

QString TMemoFormEx::PictureTooLargeText() {
    return QStringLiteral("Das Bild ist zu groß (höchstens 16 Megapixel).");
}
