#include "VoskKeyControls.h"

#include "Korvexutils.h"
#include "TQ32Control.h"
#include "TVoskClass.h"
#include "TVoskDBEdit.h"
#include "TVoskDBGrid2.h"
#include "TVoskDBTreeView2.h"
#include "TVoskDBMemo.h"
#include "Vcl.Accessible.h"
#include "Vcl.Components.h"

#include <EventGuard.h>

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QCompleter>
#include <QKeyEvent>
#include <QLocale>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTextEdit>

namespace {
const char* const kOwnWindow = "korvexOwnWindow";
const QString kDateFormat = QStringLiteral("dd.MM.yyyy");
} // namespace

TVoskButton::TVoskButton(QWidget* parent) : QPushButton(parent) {
    connect(this, &QPushButton::clicked, this, [this] {
        if (OnClick)
            Rtl::Guarded([this] { OnClick(this); }, this);
    });
}

// ---- bound check box -----------------------------------------------------------------------

TVoskDBCheckBox::TVoskDBCheckBox(QWidget* parent)
    : QCheckBox(parent), m_link(new Corvale::TFieldLink(this, [this] { showValue(); })) {
    connect(this, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_showing && !m_link->Write(on))
            showValue();
    });
    showValue();
}

TVoskClass* TVoskDBCheckBox::DataClass() const {
    return m_link->DataClass();
}
void TVoskDBCheckBox::SetDataClass(TVoskClass* dataClass) {
    m_link->SetDataClass(dataClass);
}
QString TVoskDBCheckBox::DataField() const {
    return m_link->FieldName();
}
void TVoskDBCheckBox::SetDataField(const QString& field) {
    m_link->SetFieldName(field);
}

void TVoskDBCheckBox::showValue() {
    m_showing = true;
    setChecked(m_link->Value().toBool());
    setEnabled(m_link->CanEdit());
    m_showing = false;
}

// ---- bound line edits ----------------------------------------------------------------------

TVoskDBFieldEdit::TVoskDBFieldEdit(QWidget* parent)
    : QLineEdit(parent), m_link(new Corvale::TFieldLink(this, [this] { showValue(); })) {
    connect(this, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_link->Write(text); });
}

TVoskClass* TVoskDBFieldEdit::DataClass() const {
    return m_link->DataClass();
}
void TVoskDBFieldEdit::SetDataClass(TVoskClass* dataClass) {
    m_link->SetDataClass(dataClass);
}
QString TVoskDBFieldEdit::DataField() const {
    return m_link->FieldName();
}
void TVoskDBFieldEdit::SetDataField(const QString& field) {
    m_link->SetFieldName(field);
}
QVariant TVoskDBFieldEdit::FieldValue() const {
    return m_link->Value();
}

bool TVoskDBFieldEdit::SetFieldValue(const QVariant& value) {
    const bool ok = m_link->Write(value);
    showValue();
    return ok;
}

void TVoskDBFieldEdit::RefreshControl() {
    showValue();
}

void TVoskDBFieldEdit::showValue() {
    const QString text = m_link->Value().toString();
    if (text != this->text())
        setText(text);
    setReadOnly(!m_link->CanEdit());
}

TVoskDBCalcEdit::TVoskDBCalcEdit(QWidget* parent) : TVoskDBFieldEdit(parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    showValue();
}

// ---- dates -----------------------------------------------------------------------------------

namespace Corvale {

namespace {

TDateDropDown* OpenDropDown(const QWidget* edit) {
    auto* drop = edit->findChild<TDateDropDown*>(QString(), Qt::FindDirectChildrenOnly);
    return drop && drop->isVisible() ? drop : nullptr;
}

// A date edit as a screen reader sees it: the line edit's text, caret and selection, with the
// day its open calendar points at as value and description (the keys stay with the edit, so the
// calendar itself is never what the reader follows).
class TDateEditAccessible final : public QAccessibleWidget,
                                  public QAccessibleTextInterface,
                                  public QAccessibleEditableTextInterface {
public:
    explicit TDateEditAccessible(QLineEdit* edit)
        : QAccessibleWidget(edit, QAccessible::EditableText) {
        addControllingSignal(QStringLiteral("textChanged(const QString&)"));
        addControllingSignal(QStringLiteral("returnPressed()"));
    }

    QString text(QAccessible::Text t) const override {
        const TDateDropDown* drop = OpenDropDown(edit());
        if (t == QAccessible::Value)
            return drop ? drop->selectedDate().toString(kDateFormat) : edit()->text();
        if (t == QAccessible::Description && drop)
            return TDateDropDown::LongDate(drop->selectedDate());
        QString text = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && text.isEmpty())
            text = edit()->placeholderText();
        return text;
    }
    void setText(QAccessible::Text t, const QString& text) override {
        if (t != QAccessible::Value)
            return QAccessibleWidget::setText(t, text);
        if (!edit()->isReadOnly())
            edit()->setText(text);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = !edit()->isReadOnly();
        state.readOnly = edit()->isReadOnly();
        state.selectableText = true;
        state.expandable = true;
        state.expanded = OpenDropDown(edit()) != nullptr;
        state.collapsed = !state.expanded;
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        if (t == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    // text
    void selection(int index, int* start, int* end) const override {
        *start = *end = 0;
        if (index == 0 && edit()->hasSelectedText()) {
            *start = edit()->selectionStart();
            *end = *start + int(edit()->selectedText().size());
        }
    }
    int selectionCount() const override { return edit()->hasSelectedText() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int index) override {
        if (index == 0)
            edit()->deselect();
    }
    void setSelection(int index, int start, int end) override {
        if (index == 0)
            edit()->setSelection(start, end - start);
    }
    int cursorPosition() const override { return edit()->cursorPosition(); }
    void setCursorPosition(int position) override { edit()->setCursorPosition(position); }
    QString text(int start, int end) const override {
        return edit()->text().mid(start, end - start);
    }
    int characterCount() const override { return int(edit()->text().size()); }
    // From the caret's rectangle, which knows how far the text is scrolled.
    QRect characterRect(int offset) const override {
        const QString text = edit()->text();
        if (offset < 0 || offset >= text.size())
            return {};
        const QFontMetrics metrics = edit()->fontMetrics();
        const QRect caret = edit()->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        const int x = caret.x() + metrics.horizontalAdvance(text.left(offset)) -
                      metrics.horizontalAdvance(text.left(edit()->cursorPosition()));
        const QRect local(x, caret.y(), metrics.horizontalAdvance(text.at(offset)), caret.height());
        return QRect(edit()->mapToGlobal(local.topLeft()), local.size());
    }
    int offsetAtPoint(const QPoint& point) const override {
        return edit()->cursorPositionAt(edit()->mapFromGlobal(point));
    }
    void scrollToSubstring(int, int end) override { edit()->setCursorPosition(end); }
    QString attributes(int, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return {};
    }

    // editable text
    void deleteText(int start, int end) override { replaceText(start, end, QString()); }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int start, int end, const QString& text) override {
        if (!edit()->isReadOnly())
            edit()->setText(edit()->text().replace(start, end - start, text));
    }

private:
    QLineEdit* edit() const { return static_cast<QLineEdit*>(widget()); }
};

QAccessibleInterface* DateEditAccessible(const QString& className, QObject* object) {
    if (className != QLatin1String("TVoskDateEdit") &&
        className != QLatin1String("TVoskDBDateEdit"))
        return nullptr;
    auto* edit = qobject_cast<QLineEdit*>(object);
    return edit ? new TDateEditAccessible(edit) : nullptr;
}

} // namespace

TDateDropDown::TDateDropDown(QLineEdit* edit) : QCalendarWidget(edit), m_edit(edit) {
    static const bool installed = [] {
        QAccessible::installFactory(DateEditAccessible);
        return true;
    }();
    Q_UNUSED(installed);
    // A window of its own that does not take the focus: the keys stay with the edit.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setGridVisible(true);
    setAccessibleName(QStringLiteral("Kalender"));
    setToolTip(QStringLiteral("Tag wählen"));
    connect(this, &QCalendarWidget::clicked, this, &TDateDropDown::TakeDate);
    connect(this, &QCalendarWidget::selectionChanged, this, [this] {
        if (isVisible())
            announce();
    });
    edit->installEventFilter(this);
}

QString TDateDropDown::LongDate(const QDate& date) {
    return QLocale(QLocale::German, QLocale::Germany)
        .toString(date, QStringLiteral("dddd, d. MMMM yyyy"));
}

void TDateDropDown::showEvent(QShowEvent* event) {
    QCalendarWidget::showEvent(event);
    announce();
}

void TDateDropDown::hideEvent(QHideEvent* event) {
    QCalendarWidget::hideEvent(event);
    announce();
}

void TDateDropDown::announce() {
    Vcl::AccessibleEvents& events = Vcl::AccessibleEvents::Instance();
    QAccessibleInterface* edit =
        events.Listening() ? QAccessible::queryAccessibleInterface(m_edit) : nullptr;
    if (!edit)
        return;
    QAccessibleValueChangeEvent value(m_edit, edit->text(QAccessible::Value));
    events.Update(&value);
    QAccessibleEvent description(m_edit, QAccessible::DescriptionChanged);
    events.Update(&description);
}

void TDateDropDown::DropDown() {
    QDate shown = QDate::fromString(m_edit->text().trimmed(), kDateFormat);
    if (!shown.isValid())
        shown = QDate::fromString(m_edit->text().trimmed(), QStringLiteral("d.M.yyyy"));
    setSelectedDate(shown.isValid() ? shown : QDate::currentDate());
    move(m_edit->mapToGlobal(QPoint(0, m_edit->height())));
    show();
}

void TDateDropDown::TakeDate(const QDate& date) {
    hide();
    if (m_edit->isReadOnly() || !date.isValid())
        return;
    m_edit->setText(date.toString(kDateFormat));
    m_edit->setModified(true);
    emit m_edit->textEdited(m_edit->text());
}

bool TDateDropDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_edit)
        return false;
    // The focus moving on closes it; the window losing it (to the calendar's click) does not.
    if ((event->type() == QEvent::FocusOut &&
         static_cast<QFocusEvent*>(event)->reason() != Qt::ActiveWindowFocusReason &&
         static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) ||
        event->type() == QEvent::Hide) {
        hide();
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::AltModifier && key->key() == Qt::Key_Down) {
        if (!isVisible() && !m_edit->isReadOnly())
            DropDown();
        return true;
    }
    if (!isVisible())
        return false;
    if (mods == Qt::AltModifier && key->key() == Qt::Key_Up) {
        hide();
        return true;
    }
    if (mods != Qt::NoModifier)
        return false;
    const QDate day = selectedDate();
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        TakeDate(day);
        return true;
    case Qt::Key_Escape:
        hide();
        return true;
    case Qt::Key_Up:
        setSelectedDate(day.addDays(-7));
        return true;
    case Qt::Key_Down:
        setSelectedDate(day.addDays(7));
        return true;
    case Qt::Key_Left:
        setSelectedDate(day.addDays(-1));
        return true;
    case Qt::Key_Right:
        setSelectedDate(day.addDays(1));
        return true;
    case Qt::Key_PageUp:
        setSelectedDate(day.addMonths(-1));
        return true;
    case Qt::Key_PageDown:
        setSelectedDate(day.addMonths(1));
        return true;
    default:
        return false;
    }
}

bool DateDropDownShowing(const QWidget* edit) {
    return edit && OpenDropDown(edit);
}

} // namespace Corvale

TVoskDBDateEdit::TVoskDBDateEdit(QWidget* parent)
    : TVoskDBFieldEdit(parent), m_dropDown(new Corvale::TDateDropDown(this)) {
    m_dropDown->hide();
    connect(this, &QLineEdit::textEdited, this, [this] { m_modified = true; });
    auto* button =
        addAction(QIcon::fromTheme(QStringLiteral("view-calendar")), QLineEdit::TrailingPosition);
    button->setToolTip(QStringLiteral("Kalender öffnen"));
    connect(button, &QAction::triggered, this, [this] { DroppedDown() ? CloseUp() : DropDown(); });
    showValue();
}

bool TVoskDBDateEdit::DroppedDown() const {
    return m_dropDown->isVisible();
}
void TVoskDBDateEdit::DropDown() {
    m_dropDown->DropDown();
}
void TVoskDBDateEdit::CloseUp() {
    m_dropDown->hide();
}

void TVoskDBDateEdit::showValue() {
    const QVariant v = m_link->Value();
    const QString text = v.typeId() == QMetaType::QDate || v.typeId() == QMetaType::QDateTime
                             ? v.toDate().toString(kDateFormat)
                             : v.toString();
    if (text != this->text())
        setText(text);
    setReadOnly(!m_link->CanEdit());
    m_modified = false;
}

// ---- lookup combos ---------------------------------------------------------------------------

TVoskLookupEdit::TVoskLookupEdit(QWidget* parent) : QComboBox(parent) {}

bool TVoskLookupEdit::DroppedDown() const {
    return view() && view()->isVisible();
}

TVoskDBLookupEdit::TVoskDBLookupEdit(QWidget* parent)
    : TVoskLookupEdit(parent), m_link(new Corvale::TFieldLink(this, [this] { showValue(); })) {
    connect(this, &QComboBox::textActivated, this, [this](const QString& text) {
        if (!m_showing && !m_link->Write(text))
            showValue();
    });
    showValue();
}

TVoskClass* TVoskDBLookupEdit::DataClass() const {
    return m_link->DataClass();
}
void TVoskDBLookupEdit::SetDataClass(TVoskClass* dataClass) {
    m_link->SetDataClass(dataClass);
}
QString TVoskDBLookupEdit::DataField() const {
    return m_link->FieldName();
}
void TVoskDBLookupEdit::SetDataField(const QString& field) {
    m_link->SetFieldName(field);
}

void TVoskDBLookupEdit::showValue() {
    m_showing = true;
    const QString text = m_link->Value().toString();
    int i = findText(text);
    if (i < 0 && !text.isEmpty()) {
        addItem(text);
        i = count() - 1;
    }
    setCurrentIndex(i);
    setEnabled(m_link->CanEdit());
    m_showing = false;
}

// ---- long texts ------------------------------------------------------------------------------

TVoskBlobEdit::TVoskBlobEdit(QWidget* parent) : TVoskDBFieldEdit(parent) {
    // The line shows the text's first line only; the whole text is edited in the memo editor.
    setReadOnly(true);
    AddButton(QIcon::fromTheme(QStringLiteral("document-edit")),
              QStringLiteral("Langtext bearbeiten"));
    showValue();
}

bool TVoskBlobEdit::ButtonVisible(int index) const {
    const QAction* a = m_buttons.value(index);
    return a && a->isVisible();
}

void TVoskBlobEdit::SetButtonVisible(int index, bool visible) {
    if (QAction* a = m_buttons.value(index))
        a->setVisible(visible);
}

int TVoskBlobEdit::AddButton(const QIcon& icon, const QString& hint) {
    QAction* a = addAction(icon, QLineEdit::TrailingPosition);
    a->setToolTip(hint);
    const int index = int(m_buttons.size());
    m_buttons << a;
    connect(a, &QAction::triggered, this, [this, index] {
        if (OnButtonClick)
            OnButtonClick(this, index);
    });
    return index;
}

void TVoskBlobEdit::showValue() {
    const QString first = m_link->Value().toString().section(QLatin1Char('\n'), 0, 0);
    if (first != text())
        setText(first);
}

// ---- routines ------------------------------------------------------------------------------

namespace Corvale {

bool IsInnerEdit(const QObject* control) {
    const auto* edit = qobject_cast<const QLineEdit*>(control);
    if (!edit)
        return false;
    QObject* p = edit->parent();
    return qobject_cast<QComboBox*>(p) || qobject_cast<QAbstractSpinBox*>(p);
}

namespace {

// The view whose in-place editor or viewport control is, or that control is.
template <class View> View* ViewOfControl(const QWidget* control) {
    if (!control)
        return nullptr;
    if (auto* view = qobject_cast<View*>(const_cast<QWidget*>(control)))
        return view;
    QWidget* p = control->parentWidget();
    if (auto* view = qobject_cast<View*>(p); view && view->viewport() == control)
        return view;
    if (p)
        if (auto* view = qobject_cast<View*>(p->parentWidget()); view && view->viewport() == p)
            return view;
    return nullptr;
}

QObject* ViewColumn(QObject* view, TVoskClass* data, int column) {
    if (!view || !data || column < 0 || column >= data->FieldCount())
        return nullptr;
    const QString name = data->FieldNames().at(column);
    for (QObject* c : view->children())
        if (c->property("korvexGridColumn").toBool() && c->objectName() == name)
            return c;
    auto* c = new QObject(view);
    c->setObjectName(name);
    c->setProperty("korvexGridColumn", true);
    return c;
}

} // namespace

TVoskDBGrid2* GridOfControl(const QWidget* control) {
    return ViewOfControl<TVoskDBGrid2>(control);
}

TVoskDBTreeView2* TreeOfControl(const QWidget* control) {
    return ViewOfControl<TVoskDBTreeView2>(control);
}

QWidget* KorvexFixInnerControl(QWidget* control) {
    if (!control)
        return nullptr;
    if (TVoskDBGrid2* grid = GridOfControl(control);
        grid && grid != control && control == grid->viewport())
        return grid;
    if (auto* area = qobject_cast<QAbstractScrollArea*>(control->parentWidget());
        area && area->viewport() == control)
        return area;
    return control;
}

QObject* GridColumn(TVoskDBGrid2* grid, int column) {
    return ViewColumn(grid, grid ? grid->DataClass() : nullptr, column);
}

QObject* TreeColumn(TVoskDBTreeView2* tree, int column) {
    return ViewColumn(tree, tree ? tree->DataClass() : nullptr, column);
}

TVoskClass* DataClassOf(const QObject* control) {
    if (auto* e = qobject_cast<const TVoskDBEdit*>(control))
        return e->DataClass();
    if (auto* e = qobject_cast<const TVoskDBFieldEdit*>(control))
        return e->DataClass();
    if (auto* m = qobject_cast<const TVoskDBMemo*>(control))
        return m->DataClass();
    if (auto* c = qobject_cast<const TVoskDBCheckBox*>(control))
        return c->DataClass();
    if (auto* l = qobject_cast<const TVoskDBLookupEdit*>(control))
        return l->DataClass();
    if (auto* g = qobject_cast<const TVoskDBGrid2*>(control))
        return g->DataClass();
    return nullptr;
}

TQ32Control* ControlOf(QWidget* control) {
    if (!control)
        return nullptr;
    if (auto* b = qobject_cast<TVoskButton*>(control); b && b->MyControl())
        return b->MyControl();
    if (TVoskClass* data = DataClassOf(control))
        if (TQ32Control* c = TQ32Control::Of(data))
            return c;
    return nullptr;
}

bool IsRegistered(const TQ32Control* control) {
    return control && control->VoskClass();
}

void LeaveEdit(TQ32Control* control) {
    if (!IsRegistered(control))
        return;
    TVoskClass* data = control->VoskClass();
    if (data->InEdit())
        data->Post(true);
}

bool InControlArea(const TQ32Control* control, const QWidget* widget) {
    if (!control || !widget)
        return false;
    for (QWidget* c : control->Controls())
        if (c == widget || c->isAncestorOf(widget))
            return true;
    TVoskClass* data = control->VoskClass();
    for (const QWidget* w = widget; w; w = w->parentWidget())
        if (data && DataClassOf(w) == data)
            return true;
    return false;
}

QWidget* OwnWindow(const TQ32Control* control) {
    return control ? qvariant_cast<QWidget*>(control->property(kOwnWindow)) : nullptr;
}

void SetOwnWindow(TQ32Control* control, QWidget* window) {
    if (control)
        control->setProperty(kOwnWindow, QVariant::fromValue(window));
}

QWidget* FindNextControl(QWidget* form, QWidget* current, bool forward) {
    if (!form || !current)
        return nullptr;
    // The focus chain holds every widget once; a full round without a match ends the search.
    QWidget* w = current;
    for (int guard = 0; guard < 10000; ++guard) {
        w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
        if (!w || w == current)
            return nullptr;
        if (!form->isAncestorOf(w) || !w->isVisibleTo(form) || !w->isEnabled() ||
            !(w->focusPolicy() & Qt::TabFocus) || w->focusProxy())
            continue;
        // The parts of a composite editor are not stops of their own.
        if (IsInnerEdit(w) || (GridOfControl(w) && !qobject_cast<TVoskDBGrid2*>(w)))
            continue;
        return w;
    }
    return nullptr;
}

QVariant GetControlValue(QWidget* control) {
    if (auto* e = qobject_cast<TVoskDBFieldEdit*>(control))
        return e->FieldValue();
    if (auto* e = qobject_cast<QLineEdit*>(control))
        return e->text();
    if (auto* m = qobject_cast<QPlainTextEdit*>(control))
        return m->toPlainText();
    if (auto* m = qobject_cast<QTextEdit*>(control))
        return m->toPlainText();
    if (auto* c = qobject_cast<QCheckBox*>(control))
        return c->isChecked();
    if (auto* c = qobject_cast<QComboBox*>(control))
        return c->currentText();
    return {};
}

bool RaiseDelete() {
    return Korvexutils::RaiseQuestionYes(QStringLiteral("Datensatz löschen?"));
}

bool EditPopupShowing(const QLineEdit* edit) {
    return edit && edit->completer() && edit->completer()->popup() &&
           edit->completer()->popup()->isVisible();
}

void CloseEditPopup(QLineEdit* edit) {
    if (EditPopupShowing(edit))
        edit->completer()->popup()->hide();
}

} // namespace Corvale
