#include "VoskConditionalFormattingDialog.h"

#include "Korvexcommonvcl.h"
#include "Korvexutils.h"
#include "TVoskDBGrid2.h"
#include "TVoskDBTreeView2.h"
#include "Vcl.Dialogs.h"

#include <TVoskClass.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

using VoskConditionalFormatting::TValueKind;

namespace {

QPushButton* Button(QWidget* parent, const char* name, const QString& text, const QString& tip) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(tip);
    b->setAccessibleName(Korvexcommonvcl::PlainCaption(text).remove(QStringLiteral(" …")));
    b->setAutoDefault(false);
    return b;
}

// A swatch of the rule's look: the sample text as a cell would show it.
void ShowStyle(QLabel* label, const QColor& background, const QColor& text, bool bold) {
    QString css = QStringLiteral("padding: 2px 6px;");
    if (background.isValid())
        css += QStringLiteral("background-color: %1;").arg(background.name());
    if (text.isValid())
        css += QStringLiteral("color: %1;").arg(text.name());
    if (bold)
        css += QStringLiteral("font-weight: bold;");
    label->setStyleSheet(css);
}

QString StyleText(const TVoskCondFormatRule& r) {
    QStringList parts;
    if (r.background.isValid())
        parts << QStringLiteral("Hintergrundfarbe");
    if (r.textColor.isValid())
        parts << QStringLiteral("Schriftfarbe");
    if (r.bold)
        parts << QStringLiteral("fett");
    return parts.isEmpty() ? QStringLiteral("unverändert") : parts.join(QStringLiteral(", "));
}

// The kind of a column's values: the first value there is, else what the catalog says.
TValueKind KindOfColumn(const TVoskClass* c, int col) {
    for (int r = 0; r < c->RecordCount(); ++r) {
        const QVariant v = c->Value(r, col);
        if (!v.isNull())
            return VoskConditionalFormatting::KindOfType(v.typeId());
    }
    if (c->FieldIsBoolean(col))
        return TValueKind::Boolean;
    if (c->FieldIsNumeric(col))
        return TValueKind::Number;
    return TValueKind::Text;
}

} // namespace

// ---- one rule ---------------------------------------------------------------------------------

TfrmConditionalFormattingRule::TfrmConditionalFormattingRule(
    const QList<TVoskCondFormatColumn>& columns, const TVoskCondFormatRule& rule,
    QWidget* parent)
    : TVoskBaseForm(nullptr, parent), m_columns(columns), m_background(rule.background),
      m_textColor(rule.textColor) {
    setObjectName(QStringLiteral("frmConditionalFormattingRule"));
    SetBorderStyle(Vcl::bsDialog);
    SetPosition(Vcl::poOwnerFormCenter);
    setWindowTitle(QStringLiteral("Regel der bedingten Formatierung"));
    auto* box = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    box->addLayout(form);

    cbField = new QComboBox(this);
    cbField->setObjectName(QStringLiteral("cbField"));
    for (const TVoskCondFormatColumn& c : m_columns)
        cbField->addItem(c.caption, c.field);
    const int at = cbField->findData(rule.field, Qt::UserRole, Qt::MatchFixedString);
    cbField->setCurrentIndex(qMax(0, at));
    cbField->setToolTip(QStringLiteral("Die Spalte, deren Zellen die Regel prüft und formatiert"));
    form->addRow(QStringLiteral("&Spalte:"), cbField);

    cbOperator = new QComboBox(this);
    cbOperator->setObjectName(QStringLiteral("cbOperator"));
    for (TVoskCondOperator op : VoskConditionalFormatting::Operators())
        cbOperator->addItem(VoskConditionalFormatting::OperatorText(op), int(op));
    cbOperator->setCurrentIndex(qMax(0, cbOperator->findData(int(rule.op))));
    cbOperator->setToolTip(
        QStringLiteral("Wie der Wert der Zelle mit dem Wert der Regel verglichen wird; eine "
                       "leere Zelle erfüllt keine Bedingung"));
    form->addRow(QStringLiteral("&Bedingung:"), cbOperator);

    edValue1 = new QLineEdit(rule.value1, this);
    edValue1->setObjectName(QStringLiteral("edValue1"));
    form->addRow(QStringLiteral("&Wert:"), edValue1);
    lbValue2 = new QLabel(QStringLiteral("&bis:"), this);
    edValue2 = new QLineEdit(rule.value2, this);
    edValue2->setObjectName(QStringLiteral("edValue2"));
    edValue2->setToolTip(QStringLiteral("Obere Grenze des Bereichs (eingeschlossen)"));
    form->addRow(lbValue2, edValue2);

    auto colorRow = [this, form](const QString& label, QPushButton*& choose, const char* name,
                                 QPushButton*& none, const char* noneName, const QString& what) {
        auto* row = new QHBoxLayout;
        choose = Button(this, name, QStringLiteral("Farbe wählen …"),
                        QStringLiteral("%1 der Zelle wählen").arg(what));
        choose->setAccessibleName(QStringLiteral("%1 wählen").arg(what));
        none = Button(this, noneName, QStringLiteral("Keine"),
                      QStringLiteral("%1 der Zelle nicht ändern").arg(what));
        none->setAccessibleName(QStringLiteral("Keine %1").arg(what));
        row->addWidget(choose);
        row->addWidget(none);
        row->addStretch();
        auto* l = new QLabel(label, this);
        l->setBuddy(choose);
        form->addRow(l, row);
    };
    colorRow(QStringLiteral("&Hintergrund:"), btBackground, "btBackground", btBackgroundNone,
             "btBackgroundNone", QStringLiteral("Hintergrundfarbe"));
    colorRow(QStringLiteral("S&chriftfarbe:"), btTextColor, "btTextColor", btTextColorNone,
             "btTextColorNone", QStringLiteral("Schriftfarbe"));

    cbBold = new QCheckBox(QStringLiteral("&Fett"), this);
    cbBold->setObjectName(QStringLiteral("cbBold"));
    cbBold->setChecked(rule.bold);
    cbBold->setToolTip(QStringLiteral("Den Text der Zelle fett zeigen"));
    cbBold->setAccessibleName(QStringLiteral("Fett"));
    form->addRow(QString(), cbBold);

    lbPreview = new QLabel(QStringLiteral("Beispiel 123"), this);
    lbPreview->setObjectName(QStringLiteral("lbPreview"));
    lbPreview->setToolTip(QStringLiteral("So erscheint eine Zelle, für die die Regel gilt"));
    lbPreview->setAccessibleName(QStringLiteral("Vorschau"));
    form->addRow(QStringLiteral("Vorschau:"), lbPreview);

    auto* buttons = new QHBoxLayout;
    btOk = Button(this, "btOk", QStringLiteral("OK"), QStringLiteral("Die Regel übernehmen"));
    btOk->setDefault(true);
    btCancel = Button(this, "btCancel", QStringLiteral("Abbrechen"),
                      QStringLiteral("Ohne Änderung der Regel schließen"));
    buttons->addStretch();
    buttons->addWidget(btOk);
    buttons->addWidget(btCancel);
    box->addLayout(buttons);

    connect(cbField, &QComboBox::currentIndexChanged, this, [this] { updateState(); });
    connect(cbOperator, &QComboBox::currentIndexChanged, this, [this] { updateState(); });
    connect(cbBold, &QCheckBox::toggled, this, [this] { updateState(); });
    connect(btBackground, &QPushButton::clicked, this, [this] { chooseColor(m_background); });
    connect(btTextColor, &QPushButton::clicked, this, [this] { chooseColor(m_textColor); });
    connect(btBackgroundNone, &QPushButton::clicked, this, [this] {
        m_background = QColor();
        updateState();
    });
    connect(btTextColorNone, &QPushButton::clicked, this, [this] {
        m_textColor = QColor();
        updateState();
    });
    connect(btOk, &QPushButton::clicked, this, [this] {
        if (Validate())
            SetModalResult(Vcl::mrOk);
    });
    connect(btCancel, &QPushButton::clicked, this, [this] { SetModalResult(Vcl::mrCancel); });
    Korvexcommonvcl::NameControls(this);
    updateState();
}

TVoskCondFormatRule TfrmConditionalFormattingRule::Rule() const {
    TVoskCondFormatRule r;
    r.field = cbField->currentData().toString();
    r.op = TVoskCondOperator(cbOperator->currentData().toInt());
    r.value1 = edValue1->text().trimmed();
    if (r.op == TVoskCondOperator::Between)
        r.value2 = edValue2->text().trimmed();
    r.background = m_background;
    r.textColor = m_textColor;
    r.bold = cbBold->isChecked();
    return r;
}

bool TfrmConditionalFormattingRule::Validate() {
    const TVoskCondFormatRule r = Rule();
    if (r.field.isEmpty()) {
        Korvexutils::RaiseInformation(QStringLiteral("Bitte eine Spalte wählen."));
        return false;
    }
    const TVoskCondFormatColumn column = m_columns.value(cbField->currentIndex());
    // A text is searched for in what the cell shows, whatever the column holds.
    const TValueKind kind =
        r.op == TVoskCondOperator::Contains ? TValueKind::Text : column.kind;
    auto check = [&](const QString& value, QLineEdit* edit) {
        QString message;
        if (value.isEmpty())
            message = QStringLiteral("Bitte einen Wert eingeben.");
        else if (!VoskConditionalFormatting::ValueReads(value, kind))
            message = QStringLiteral("„%1“ passt nicht zur Spalte „%2“: erwartet wird %3.")
                          .arg(value, column.caption, VoskConditionalFormatting::KindText(kind));
        if (message.isEmpty())
            return true;
        Korvexutils::RaiseInformation(message);
        edit->setFocus();
        return false;
    };
    if (!check(r.value1, edValue1))
        return false;
    return r.op != TVoskCondOperator::Between || check(r.value2, edValue2);
}

void TfrmConditionalFormattingRule::chooseColor(QColor& color) {
    QColor chosen = color;
    if (Vcl::FontColorDialogs::Instance().ChooseColor(chosen, this) && chosen.isValid())
        color = chosen;
    updateState();
}

void TfrmConditionalFormattingRule::updateState() {
    const bool between =
        TVoskCondOperator(cbOperator->currentData().toInt()) == TVoskCondOperator::Between;
    lbValue2->setEnabled(between);
    edValue2->setEnabled(between);
    const TVoskCondFormatColumn column = m_columns.value(cbField->currentIndex());
    const bool contains =
        TVoskCondOperator(cbOperator->currentData().toInt()) == TVoskCondOperator::Contains;
    edValue1->setToolTip(
        contains ? QStringLiteral("Text, den die Zelle enthalten muss (Groß- und Kleinschreibung "
                                  "gleich)")
                 : QStringLiteral("Vergleichswert: %1")
                       .arg(VoskConditionalFormatting::KindText(column.kind)));
    btBackgroundNone->setEnabled(m_background.isValid());
    btTextColorNone->setEnabled(m_textColor.isValid());
    ShowStyle(lbPreview, m_background, m_textColor, cbBold->isChecked());
}

// ---- the list of rules ------------------------------------------------------------------------

TfrmConditionalFormatting::TfrmConditionalFormatting(const QList<TVoskCondFormatColumn>& columns,
                                                     const QList<TVoskCondFormatRule>& rules,
                                                     QWidget* parent)
    : TVoskBaseForm(nullptr, parent), m_columns(columns), m_rules(rules) {
    setObjectName(QStringLiteral("frmConditionalFormatting"));
    SetBorderStyle(Vcl::bsSizeable);
    SetPosition(Vcl::poOwnerFormCenter);
    setWindowTitle(QStringLiteral("Bedingte Formatierung"));
    resize(560, 320);
    auto* box = new QVBoxLayout(this);
    auto* label = new QLabel(
        QStringLiteral("&Regeln (je Spalte gilt die erste zutreffende Regel):"), this);
    box->addWidget(label);
    auto* row = new QHBoxLayout;
    box->addLayout(row, 1);
    lvRules = new QTreeWidget(this);
    lvRules->setObjectName(QStringLiteral("lvRules"));
    lvRules->setRootIsDecorated(false);
    lvRules->setUniformRowHeights(true);
    lvRules->setHeaderLabels(
        {QStringLiteral("Spalte"), QStringLiteral("Bedingung"), QStringLiteral("Darstellung")});
    lvRules->setAccessibleName(QStringLiteral("Regeln"));
    lvRules->setToolTip(QStringLiteral("Die Regeln der bedingten Formatierung; ein Doppelklick "
                                       "bearbeitet eine Regel"));
    label->setBuddy(lvRules);
    row->addWidget(lvRules, 1);
    auto* side = new QVBoxLayout;
    row->addLayout(side);
    btAdd = Button(this, "btAdd", QStringLiteral("&Neu …"), QStringLiteral("Eine Regel anlegen"));
    btEdit = Button(this, "btEdit", QStringLiteral("&Bearbeiten …"),
                    QStringLiteral("Die gewählte Regel bearbeiten"));
    btDelete = Button(this, "btDelete", QStringLiteral("&Löschen"),
                      QStringLiteral("Die gewählte Regel entfernen"));
    btUp = Button(this, "btUp", QStringLiteral("Nach &oben"),
                  QStringLiteral("Die gewählte Regel vor die vorige stellen"));
    btDown = Button(this, "btDown", QStringLiteral("Nach &unten"),
                    QStringLiteral("Die gewählte Regel hinter die nächste stellen"));
    for (QPushButton* b : {btAdd, btEdit, btDelete, btUp, btDown})
        side->addWidget(b);
    side->addStretch();
    auto* buttons = new QHBoxLayout;
    btOk = Button(this, "btOk", QStringLiteral("OK"),
                  QStringLiteral("Die Regeln übernehmen und schließen"));
    btOk->setDefault(true);
    btCancel = Button(this, "btCancel", QStringLiteral("Abbrechen"),
                      QStringLiteral("Ohne Änderung der Regeln schließen"));
    buttons->addStretch();
    buttons->addWidget(btOk);
    buttons->addWidget(btCancel);
    box->addLayout(buttons);

    connect(btAdd, &QPushButton::clicked, this, [this] { btAddClick(); });
    connect(btEdit, &QPushButton::clicked, this, [this] { btEditClick(); });
    connect(btDelete, &QPushButton::clicked, this, [this] { btDeleteClick(); });
    connect(btUp, &QPushButton::clicked, this, [this] { MoveRule(-1); });
    connect(btDown, &QPushButton::clicked, this, [this] { MoveRule(1); });
    connect(lvRules, &QTreeWidget::itemDoubleClicked, this, [this] { btEditClick(); });
    connect(lvRules, &QTreeWidget::currentItemChanged, this, [this] { updateButtons(); });
    connect(btOk, &QPushButton::clicked, this, [this] { SetModalResult(Vcl::mrOk); });
    connect(btCancel, &QPushButton::clicked, this, [this] { SetModalResult(Vcl::mrCancel); });
    Korvexcommonvcl::NameControls(this);
    fill(m_rules.isEmpty() ? -1 : 0);
}

int TfrmConditionalFormatting::Current() const {
    return lvRules->currentItem() ? lvRules->indexOfTopLevelItem(lvRules->currentItem()) : -1;
}

void TfrmConditionalFormatting::SetCurrent(int row) {
    lvRules->setCurrentItem(lvRules->topLevelItem(row));
    updateButtons();
}

QString TfrmConditionalFormatting::captionOf(const QString& field) const {
    for (const TVoskCondFormatColumn& c : m_columns)
        if (c.field.compare(field, Qt::CaseInsensitive) == 0)
            return c.caption;
    return field;
}

void TfrmConditionalFormatting::fill(int current) {
    lvRules->clear();
    for (const TVoskCondFormatRule& r : m_rules) {
        auto* item = new QTreeWidgetItem(lvRules, {captionOf(r.field),
                                                   VoskConditionalFormatting::ConditionText(r),
                                                   StyleText(r)});
        if (r.background.isValid())
            item->setBackground(2, r.background);
        if (r.textColor.isValid())
            item->setForeground(2, r.textColor);
        QFont f = item->font(2);
        f.setBold(r.bold);
        item->setFont(2, f);
    }
    lvRules->resizeColumnToContents(0);
    lvRules->resizeColumnToContents(1);
    SetCurrent(current);
}

void TfrmConditionalFormatting::updateButtons() {
    const int c = Current();
    btAdd->setEnabled(!m_columns.isEmpty());
    btEdit->setEnabled(c >= 0);
    btDelete->setEnabled(c >= 0);
    btUp->setEnabled(c > 0);
    btDown->setEnabled(c >= 0 && c < m_rules.size() - 1);
}

void TfrmConditionalFormatting::btAddClick() {
    if (m_columns.isEmpty())
        return;
    TVoskCondFormatRule rule;
    const int c = Current();
    // A second rule for the same column is the usual next step.
    rule.field = c >= 0 ? m_rules[c].field : m_columns.first().field;
    TfrmConditionalFormattingRule editor(m_columns, rule, this);
    if (Korvexcommonvcl::ShowModal(&editor) != Vcl::mrOk)
        return;
    m_rules.insert(c + 1, editor.Rule());
    fill(c + 1);
}

void TfrmConditionalFormatting::btEditClick() {
    const int c = Current();
    if (c < 0)
        return;
    QList<TVoskCondFormatColumn> columns = m_columns;
    // A rule on a column that is no longer offered keeps it while it is edited.
    if (!std::any_of(columns.begin(), columns.end(), [&](const TVoskCondFormatColumn& col) {
            return col.field.compare(m_rules[c].field, Qt::CaseInsensitive) == 0;
        }))
        columns.append({m_rules[c].field, m_rules[c].field, TValueKind::Text});
    TfrmConditionalFormattingRule editor(columns, m_rules[c], this);
    if (Korvexcommonvcl::ShowModal(&editor) != Vcl::mrOk)
        return;
    m_rules[c] = editor.Rule();
    fill(c);
}

void TfrmConditionalFormatting::btDeleteClick() {
    const int c = Current();
    if (c < 0)
        return;
    m_rules.removeAt(c);
    fill(qMin(c, int(m_rules.size()) - 1));
}

void TfrmConditionalFormatting::MoveRule(int by) {
    const int c = Current();
    const int to = c + by;
    if (c < 0 || to < 0 || to >= m_rules.size())
        return;
    m_rules.swapItemsAt(c, to);
    fill(to);
}

namespace {

// The grid and the tree list alike.
template <class View> QList<TVoskCondFormatColumn> ColumnsOfView(View* view) {
    QList<TVoskCondFormatColumn> columns;
    TVoskClass* c = view ? view->DataClass() : nullptr;
    if (!c)
        return columns;
    const QStringList fields = c->FieldNames();
    for (int col : view->ShownColumns()) {
        if (col >= fields.size())
            continue;
        const QString caption =
            view->model()->headerData(col, Qt::Horizontal, Qt::DisplayRole).toString();
        columns.append({fields[col], caption.isEmpty() ? fields[col] : caption,
                        KindOfColumn(c, col)});
    }
    for (const TVoskCondFormatRule& r : view->ConditionalFormatting()->Rules()) {
        const int col = c->FieldIndex(r.field);
        if (col < 0 || view->isColumnHidden(col))
            if (std::none_of(columns.begin(), columns.end(), [&](const auto& x) {
                    return x.field.compare(r.field, Qt::CaseInsensitive) == 0;
                }))
                columns.append({r.field, r.field,
                                col < 0 ? TValueKind::Text : KindOfColumn(c, col)});
    }
    return columns;
}

template <class View> bool ExecuteFor(View* view) {
    if (!view)
        return false;
    const QList<TVoskCondFormatColumn> columns = ColumnsOfView(view);
    if (columns.isEmpty()) {
        Korvexutils::RaiseInformation(
            QStringLiteral("Die Tabelle zeigt keine Spalten, die sich formatieren lassen."));
        return false;
    }
    TfrmConditionalFormatting dialog(columns, view->ConditionalFormatting()->Rules(), view);
    if (Korvexcommonvcl::ShowModal(&dialog) != Vcl::mrOk)
        return false;
    view->ConditionalFormatting()->SetRules(dialog.Rules());
    return true;
}

} // namespace

QList<TVoskCondFormatColumn> TfrmConditionalFormatting::ColumnsOf(TVoskDBGrid2* grid) {
    return ColumnsOfView(grid);
}

QList<TVoskCondFormatColumn> TfrmConditionalFormatting::ColumnsOf(TVoskDBTreeView2* tree) {
    return ColumnsOfView(tree);
}

bool TfrmConditionalFormatting::Execute(TVoskDBGrid2* grid) {
    return ExecuteFor(grid);
}

bool TfrmConditionalFormatting::Execute(TVoskDBTreeView2* tree) {
    return ExecuteFor(tree);
}
