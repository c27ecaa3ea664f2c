#include "Vcl.Dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPainter>
#include <QToolButton>
#include <QColorDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace Vcl {

namespace {

class DefaultFontColorDialogs final : public FontColorDialogs {
public:
    bool ChooseFont(QFont& font, QColor& color, QWidget* parent) override {
        TFontColorDialog dialog(font, color, parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        font = dialog.SelectedFont();
        color = dialog.SelectedColor();
        return true;
    }
    bool ChooseColor(QColor& color, QWidget* parent) override {
        const QColor chosen = QColorDialog::getColor(color.isValid() ? color : Qt::black, parent,
                                                     QStringLiteral("Farbe"));
        if (!chosen.isValid())
            return false;
        color = chosen;
        return true;
    }
};

FontColorDialogs* g_fontColor = nullptr;

// The font dialog finds a font's style by its name in the application's language ("Fett"),
// while the font files name it in theirs ("Bold"): the style is named as the files name it.
QFont WithStyleName(const QFont& font) {
    if (!font.styleName().isEmpty())
        return font;
    const int size = font.pointSize() > 0 ? font.pointSize() : 12;
    const int stretch = font.stretch() == QFont::AnyStretch ? QFont::Unstretched : font.stretch();
    for (const QString& style : QFontDatabase::styles(font.family())) {
        const QFont candidate = QFontDatabase::font(font.family(), style, size);
        if (candidate.weight() == font.weight() && candidate.italic() == font.italic() &&
            (candidate.stretch() == stretch || candidate.stretch() == QFont::AnyStretch)) {
            QFont named = font;
            named.setStyleName(style);
            return named;
        }
    }
    return font;
}

void Describe(QWidget* w, const QString& name) {
    w->setAccessibleName(name);
    w->setToolTip(name);
}

} // namespace

TFontColorDialog::TFontColorDialog(const QFont& font, const QColor& color, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("FontColorDialog"));
    setWindowTitle(QStringLiteral("Schriftart"));
    auto* box = new QVBoxLayout(this);
    // The desktop's font dialog, embedded: its own buttons give way to this dialog's.
    FontDialog = new QFontDialog(WithStyleName(font), this);
    FontDialog->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    FontDialog->setWindowFlags(Qt::Widget);
    FontDialog->setVisible(true);
    box->addWidget(FontDialog);
    connect(FontDialog, &QDialog::rejected, this, &QDialog::reject); // Esc inside it

    auto* row = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("Schrift&farbe:"), this);
    ColorButton = new QToolButton(this);
    ColorButton->setObjectName(QStringLiteral("ColorButton"));
    ColorButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    Describe(ColorButton, QStringLiteral("Schriftfarbe"));
    label->setBuddy(ColorButton);
    AutoColorButton = new QToolButton(this);
    AutoColorButton->setObjectName(QStringLiteral("AutoColorButton"));
    AutoColorButton->setText(QStringLiteral("&Automatisch"));
    Describe(AutoColorButton, QStringLiteral("Automatische Schriftfarbe"));
    row->addWidget(label);
    row->addWidget(ColorButton);
    row->addWidget(AutoColorButton);
    row->addStretch(1);
    box->addLayout(row);
    connect(ColorButton, &QToolButton::clicked, this, [this] {
        QColor c = m_color;
        if (FontColorDialogs::Instance().ChooseColor(c, this))
            SetSelectedColor(c);
    });
    connect(AutoColorButton, &QToolButton::clicked, this, [this] { SetSelectedColor(QColor()); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("Buttons"));
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    for (QAbstractButton* b : buttons->buttons())
        Describe(b, b->text());
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    box->addWidget(buttons);
    SetSelectedColor(color);
}

QFont TFontColorDialog::SelectedFont() const { return FontDialog->currentFont(); }

void TFontColorDialog::SetSelectedColor(const QColor& color) {
    m_color = color;
    QPixmap swatch(16, 16);
    swatch.fill(color.isValid() ? color : QColor(Qt::transparent));
    QPainter p(&swatch);
    p.setPen(Qt::gray);
    p.drawRect(0, 0, 15, 15);
    p.end();
    ColorButton->setIcon(QIcon(swatch));
    ColorButton->setText(color.isValid() ? color.name().toUpper() : QStringLiteral("Automatisch"));
    AutoColorButton->setEnabled(color.isValid());
}

FontColorDialogs& FontColorDialogs::Instance() {
    static DefaultFontColorDialogs fallback;
    return g_fontColor ? *g_fontColor : fallback;
}

FontColorDialogs* FontColorDialogs::SetInstance(FontColorDialogs* dialogs) {
    FontColorDialogs* old = g_fontColor;
    g_fontColor = dialogs;
    return old;
}

TFindDialog::TFindDialog(QWidget* parent, bool withReplace) : QDialog(parent) {
    setObjectName(withReplace ? QStringLiteral("ReplaceDialog") : QStringLiteral("FindDialog"));
    setWindowTitle(withReplace ? QStringLiteral("Ersetzen") : QStringLiteral("Suchen"));
    setModal(false);
    auto* main = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* fields = new QFormLayout;
    EdFind = new QLineEdit(this);
    EdFind->setObjectName(QStringLiteral("EdFind"));
    auto* label = new QLabel(QStringLiteral("Su&chen nach:"), this);
    label->setBuddy(EdFind);
    Describe(EdFind, QStringLiteral("Suchen nach"));
    fields->addRow(label, EdFind);
    left->addLayout(fields);
    auto* row = new QHBoxLayout;
    auto* options = new QVBoxLayout;
    CbWholeWord = new QCheckBox(QStringLiteral("Nur &ganzes Wort"), this);
    CbWholeWord->setObjectName(QStringLiteral("CbWholeWord"));
    Describe(CbWholeWord, QStringLiteral("Nur ganze Wörter finden"));
    CbMatchCase = new QCheckBox(QStringLiteral("Groß-/&Kleinschreibung"), this);
    CbMatchCase->setObjectName(QStringLiteral("CbMatchCase"));
    Describe(CbMatchCase, QStringLiteral("Groß- und Kleinschreibung beachten"));
    options->addWidget(CbWholeWord);
    options->addWidget(CbMatchCase);
    row->addLayout(options);
    auto* direction = new QGroupBox(QStringLiteral("Richtung"), this);
    direction->setAccessibleName(QStringLiteral("Richtung"));
    auto* dirBox = new QHBoxLayout(direction);
    RbUp = new QRadioButton(QStringLiteral("&Aufwärts"), direction);
    RbUp->setObjectName(QStringLiteral("RbUp"));
    Describe(RbUp, QStringLiteral("Vom Cursor zum Textanfang suchen"));
    RbDown = new QRadioButton(QStringLiteral("A&bwärts"), direction);
    RbDown->setObjectName(QStringLiteral("RbDown"));
    Describe(RbDown, QStringLiteral("Vom Cursor zum Textende suchen"));
    RbDown->setChecked(true);
    dirBox->addWidget(RbUp);
    dirBox->addWidget(RbDown);
    row->addWidget(direction);
    left->addLayout(row);
    main->addLayout(left, 1);
    auto* buttons = new QVBoxLayout;
    BtFindNext = new QPushButton(QStringLiteral("&Weitersuchen"), this);
    BtFindNext->setObjectName(QStringLiteral("BtFindNext"));
    Describe(BtFindNext, QStringLiteral("Die nächste Stelle suchen"));
    BtFindNext->setDefault(true);
    BtClose = new QPushButton(QStringLiteral("Schließen"), this);
    BtClose->setObjectName(QStringLiteral("BtClose"));
    Describe(BtClose, QStringLiteral("Den Dialog schließen"));
    buttons->addWidget(BtFindNext);
    buttons->addWidget(BtClose);
    buttons->addStretch();
    main->addLayout(buttons);
    connect(BtFindNext, &QPushButton::clicked, this, [this] {
        if (OnFind && !EdFind->text().isEmpty())
            OnFind(this);
    });
    connect(BtClose, &QPushButton::clicked, this, &QDialog::close);
}

QString TFindDialog::FindText() const {
    return EdFind->text();
}
void TFindDialog::SetFindText(const QString& text) {
    EdFind->setText(text);
}

TFindOptions TFindDialog::Options() const {
    TFindOptions o = m_extra;
    if (RbDown->isChecked())
        o |= frDown;
    if (CbMatchCase->isChecked())
        o |= frMatchCase;
    if (CbWholeWord->isChecked())
        o |= frWholeWord;
    return o;
}

void TFindDialog::SetOptions(TFindOptions options) {
    RbDown->setChecked(options.testFlag(frDown));
    RbUp->setChecked(!options.testFlag(frDown));
    CbMatchCase->setChecked(options.testFlag(frMatchCase));
    CbWholeWord->setChecked(options.testFlag(frWholeWord));
}

void TFindDialog::Execute() {
    show();
    raise();
    activateWindow();
    EdFind->setFocus();
    EdFind->selectAll();
}

TReplaceDialog::TReplaceDialog(QWidget* parent) : TFindDialog(parent, true) {
    EdReplace = new QLineEdit(this);
    EdReplace->setObjectName(QStringLiteral("EdReplace"));
    Describe(EdReplace, QStringLiteral("Ersetzen durch"));
    auto* label = new QLabel(QStringLiteral("&Ersetzen durch:"), this);
    label->setBuddy(EdReplace);
    if (auto* fields = findChild<QFormLayout*>())
        fields->addRow(label, EdReplace);
    BtReplace = new QPushButton(QStringLiteral("&Ersetzen"), this);
    BtReplace->setObjectName(QStringLiteral("BtReplace"));
    Describe(BtReplace, QStringLiteral("Die markierte Stelle ersetzen und weitersuchen"));
    BtReplaceAll = new QPushButton(QStringLiteral("A&lle ersetzen"), this);
    BtReplaceAll->setObjectName(QStringLiteral("BtReplaceAll"));
    Describe(BtReplaceAll, QStringLiteral("Alle Stellen ersetzen"));
    // Beside "Weitersuchen", above "Schließen".
    auto* column = static_cast<QBoxLayout*>(layout()->itemAt(1)->layout());
    column->insertWidget(1, BtReplace);
    column->insertWidget(2, BtReplaceAll);
    const auto replace = [this](TFindOption which) {
        if (!OnReplace || EdFind->text().isEmpty())
            return;
        m_extra = which;
        OnReplace(this);
        m_extra = {};
    };
    connect(BtReplace, &QPushButton::clicked, this, [replace] { replace(frReplace); });
    connect(BtReplaceAll, &QPushButton::clicked, this, [replace] { replace(frReplaceAll); });
}

QString TReplaceDialog::ReplaceText() const {
    return EdReplace->text();
}
void TReplaceDialog::SetReplaceText(const QString& text) {
    EdReplace->setText(text);
}

} // namespace Vcl
