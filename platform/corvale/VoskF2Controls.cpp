#include "VoskF2Controls.h"

#include "VoskKeyControls.h"

#include <EventGuard.h>
#include <TKorvexPython.h>
#include <UDM1.h>
#include <VoskQuery2.h>

#include <QAbstractItemView>
#include <QAction>
#include <QCompleter>
#include <QIcon>
#include <QStringListModel>

namespace Corvale {
QString ScriptLine(const QObject* control, const QString& pythonValue) {
    return control->objectName().toLower() + QStringLiteral(" = ") + pythonValue;
}

QString FastF2Sql(const QString& query, const QString& filter, int limit) {
    QString sql = query.trimmed();
    while (sql.endsWith(QLatin1Char(';')))
        sql.chop(1);
    const QString condition = filter.trimmed();
    return QStringLiteral("SELECT * FROM (%1) AS fastf2%2 LIMIT %3")
        .arg(sql, condition.isEmpty() ? QString() : QStringLiteral(" WHERE ") + condition)
        .arg(limit);
}
} // namespace Corvale

int TVoskEditButtons::Add(TVoskEditButtonKind kind) {
    QIcon icon;
    QString tip;
    switch (kind) {
    case TVoskEditButtonKind::Ellipsis:
        icon = QIcon::fromTheme(QStringLiteral("document-open-folder"),
                                QIcon::fromTheme(QStringLiteral("edit-find")));
        tip = QStringLiteral("Auswahl (F2)");
        break;
    case TVoskEditButtonKind::DropDown:
        icon = QIcon::fromTheme(QStringLiteral("go-down"));
        tip = QStringLiteral("Auswahl aufklappen");
        break;
    case TVoskEditButtonKind::Text:
        icon = QIcon::fromTheme(QStringLiteral("document-edit"));
        tip = QStringLiteral("Text bearbeiten");
        break;
    }
    auto* action = new QAction(icon, tip, m_edit);
    action->setToolTip(tip);
    const int index = Count();
    QObject::connect(action, &QAction::triggered, m_edit, [this, index] {
        if (OnClick)
            OnClick(index);
    });
    m_edit->addAction(action, QLineEdit::TrailingPosition);
    m_items.append({kind, action});
    return index;
}

void TVoskEditButtons::SetVisible(int index, bool visible) {
    m_items.at(index).action->setVisible(visible);
}

TVoskEdit::TVoskEdit(QWidget* parent) : QLineEdit(parent), m_buttons(this) {
    m_buttons.OnClick = [this](int index) {
        Rtl::Guarded([&] {
            if (OnButtonClick)
                OnButtonClick(this, index);
        });
    };
}

TVoskEdit::~TVoskEdit() = default;

void TVoskEdit::SetFastF2(const QString& query, const QString& filter) {
    m_fastQuery = query;
    m_fastFilter = filter;
    if (query.trimmed().isEmpty()) {
        if (m_completer)
            m_completer->popup()->hide();
        return;
    }
    if (m_completer)
        return;
    m_matches = new QStringListModel(this);
    m_completer = new QCompleter(m_matches, this);
    // The rows are already the server's choice; the completer only shows them.
    m_completer->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    m_completer->popup()->setAccessibleName(QStringLiteral("Treffer"));
    setCompleter(m_completer);
    connect(this, &QLineEdit::textEdited, this, &TVoskEdit::fastF2Typed);
}

QStringList TVoskEdit::FastF2Matches(const QString& text) const {
    QStringList rows;
    if (m_fastQuery.trimmed().isEmpty())
        return rows;
    try {
        TVoskQuery2 q(nullptr, Corvale::FastF2Sql(m_fastQuery, m_fastFilter, FastF2MaxRows));
        if (TVoskParam* self = q.FindParam(QStringLiteral("Self")))
            self->SetAsString(text + QLatin1Char('%'));
        q.Open();
        for (; !q.Eof(); q.Next())
            rows.append(q.Fields(0).AsString());
    } catch (const std::exception& e) {
        if (TDM1* dm = DM1())
            dm->LogEvent(QStringLiteral("TVoskEdit.FastF2: ") + objectName(), &e);
    }
    return rows;
}

void TVoskEdit::fastF2Typed(const QString& text) {
    if (!m_completer)
        return;
    m_matches->setStringList(text.isEmpty() ? QStringList() : FastF2Matches(text));
    if (m_matches->rowCount() > 0)
        m_completer->complete();
    else
        m_completer->popup()->hide();
}

bool TVoskEdit::CheckF2Value() const {
    return !m_required || !text().trimmed().isEmpty();
}

void TVoskEdit::GetF2ScriptValue(QStringList& lines) const {
    lines.append(Corvale::ScriptLine(this, EscapePythonString(text())));
}

TVoskPickEdit::TVoskPickEdit(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
}

bool TVoskPickEdit::CheckF2Value() const {
    const QString t = currentText();
    if (t.trimmed().isEmpty())
        return !m_required;
    return !m_itemsOnly || findText(t, Qt::MatchFixedString) >= 0;
}

void TVoskPickEdit::GetF2ScriptValue(QStringList& lines) const {
    lines.append(Corvale::ScriptLine(this, EscapePythonString(currentText())));
}

TVoskCheckBox::TVoskCheckBox(QWidget* parent) : QCheckBox(parent) {}

void TVoskCheckBox::GetF2ScriptValue(QStringList& lines) const {
    lines.append(
        Corvale::ScriptLine(this, isChecked() ? QStringLiteral("True") : QStringLiteral("False")));
}

TVoskDateEdit::TVoskDateEdit(QWidget* parent)
    : TVoskEdit(parent), m_dropDown(new Corvale::TDateDropDown(this)) {
    setPlaceholderText(QStringLiteral("TT.MM.JJJJ"));
    m_dropDown->hide();
    auto* button =
        addAction(QIcon::fromTheme(QStringLiteral("view-calendar")), QLineEdit::TrailingPosition);
    button->setObjectName(QStringLiteral("CalendarButton"));
    button->setText(QStringLiteral("Kalender öffnen"));
    button->setToolTip(QStringLiteral("Kalender öffnen (Alt+Unten)"));
    connect(button, &QAction::triggered, this, [this] { DroppedDown() ? CloseUp() : DropDown(); });
}

bool TVoskDateEdit::DroppedDown() const {
    return m_dropDown->isVisible();
}
void TVoskDateEdit::DropDown() {
    if (!isReadOnly())
        m_dropDown->DropDown();
}
void TVoskDateEdit::CloseUp() {
    m_dropDown->hide();
}

QDate TVoskDateEdit::Date() const {
    const QString t = text().trimmed();
    for (const QString& format : {QStringLiteral("d.M.yyyy"), QStringLiteral("yyyy-MM-dd")}) {
        const QDate d = QDate::fromString(t, format);
        if (d.isValid())
            return d;
    }
    return {};
}

void TVoskDateEdit::SetDate(const QDate& date) {
    setText(date.isValid() ? date.toString(QStringLiteral("dd.MM.yyyy")) : QString());
}

bool TVoskDateEdit::CheckF2Value() const {
    if (text().trimmed().isEmpty())
        return !Required();
    return Date().isValid();
}

void TVoskDateEdit::GetF2ScriptValue(QStringList& lines) const {
    const QDate d = Date();
    lines.append(Corvale::ScriptLine(
        this, d.isValid() ? EscapePythonString(d.toString(QStringLiteral("yyyy-MM-dd")))
                          : QStringLiteral("None")));
}

TVoskMemo::TVoskMemo(QWidget* parent) : QPlainTextEdit(parent) {}

void TVoskMemo::GetF2ScriptValue(QStringList& lines) const {
    lines.append(Corvale::ScriptLine(this, EscapePythonString(toPlainText())));
}
