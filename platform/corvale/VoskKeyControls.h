#pragma once
// The editors whose state the forms' key handling reads (an open drop-down, a showing popup, a
// text button), the page control the Alt keys switch, and the routines that walk from a focused
// widget to its editor, its data class and its coordinator, or on to the next input control.

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QVariant>

#include "TQ32Control.h"
#include "TVoskPageControl2.h"

#include <functional>

class QAction;
class TVoskClass;
class TVoskDBGrid2;
class TVoskDBTreeView2;
namespace Corvale {
class TFieldLink;
}

// F5 of a control: re-reads what it shows. {E82A48D8-A84B-4E95-9132-E1DC79860E65}
class IControlF5 {
public:
    virtual ~IControlF5() = default;
    virtual void RefreshControl() = 0;
};

// The refresh of a control that loads its own data. {F7CBEA8F-B7E3-4395-9CB9-DEE0F5D13750}
class IRefreshControl {
public:
    virtual ~IRefreshControl() = default;
    // Loads the data the first time.
    virtual void RefreshFirst() = 0;
    // Loads again; true when the control handled the refresh.
    virtual bool RefreshSecond() = 0;
    // Whether the data is loaded already.
    virtual bool RefreshState() const = 0;
};

// A button that acts for the coordinator of its data class (Esc cancels that class's edit).
class TVoskButton : public QPushButton {
    Q_OBJECT
public:
    explicit TVoskButton(QWidget* parent = nullptr);
    TQ32Control* MyControl() const { return m_control; }
    void SetMyControl(TQ32Control* control) { m_control = control; }
    // The click handler of a form resource; runs inside the event guard.
    std::function<void(QObject* sender)> OnClick;

private:
    QPointer<TQ32Control> m_control;
};

// Check box bound to a Boolean field.
class TVoskDBCheckBox final : public QCheckBox {
    Q_OBJECT
public:
    explicit TVoskDBCheckBox(QWidget* parent = nullptr);
    TVoskClass* DataClass() const;
    void SetDataClass(TVoskClass* dataClass);
    QString DataField() const;
    void SetDataField(const QString& field);

private:
    void showValue();
    Corvale::TFieldLink* m_link;
    bool m_showing = false;
};

// Line edit bound to a field, the base of the bound editors below: typing writes the field, F5
// shows the field's value again.
class TVoskDBFieldEdit : public QLineEdit, public IControlF5 {
    Q_OBJECT
public:
    explicit TVoskDBFieldEdit(QWidget* parent = nullptr);
    TVoskClass* DataClass() const;
    void SetDataClass(TVoskClass* dataClass);
    QString DataField() const;
    void SetDataField(const QString& field);
    QVariant FieldValue() const;
    // Writes the value into the field; an empty text becomes NULL. False when refused.
    bool SetFieldValue(const QVariant& value);
    void RefreshControl() override;

protected:
    virtual void showValue();
    Corvale::TFieldLink* m_link;
};

// Number edit bound to a field; Ctrl+T's calculator writes into it.
class TVoskDBCalcEdit final : public TVoskDBFieldEdit {
    Q_OBJECT
public:
    explicit TVoskDBCalcEdit(QWidget* parent = nullptr);
};

namespace Corvale {
// The month calendar that drops down under a date edit; choosing a day writes it into the edit.
// It never takes the focus: the edit's keys drive it. Alt+Down opens it, Alt+Up closes it; while
// it is open the arrow keys move the day (Up and Down by a week), Page Up and Page Down the month,
// and Enter takes the day. Esc closes it and keeps what the edit showed.
// For a screen reader the focused edit speaks for it: while it is open the edit's accessible value
// is the day Enter would take and its description that day written out ("Dienstag, 18. März
// 2025"), both announced as the day changes.
class TDateDropDown final : public QCalendarWidget {
    Q_OBJECT
public:
    explicit TDateDropDown(QLineEdit* edit);
    void DropDown();
    // Writes the chosen day into the edit as the user typed it, and closes.
    void TakeDate(const QDate& date);
    // The day written out, as the edit's description gives it while open.
    static QString LongDate(const QDate& date);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Tells the edit's accessible readers that its value and description changed.
    void announce();
    QLineEdit* m_edit;
};

// The drop-down of a date edit (TVoskDateEdit, TVoskDBDateEdit) when it is open.
bool DateDropDownShowing(const QWidget* edit);
} // namespace Corvale

// Date edit bound to a field, with its calendar drop-down.
class TVoskDBDateEdit final : public TVoskDBFieldEdit {
    Q_OBJECT
public:
    explicit TVoskDBDateEdit(QWidget* parent = nullptr);
    bool DroppedDown() const;
    void DropDown();
    // Closes the drop-down without taking a date.
    void CloseUp();
    // Set when the user changed the value since it was last shown.
    bool EditModified() const { return m_modified; }
    void SetEditModified(bool modified) { m_modified = modified; }

protected:
    void showValue() override;

private:
    Corvale::TDateDropDown* m_dropDown;
    bool m_modified = false;
};

// Choice of a value from a list of values; the list drops down.
class TVoskLookupEdit : public QComboBox {
    Q_OBJECT
public:
    explicit TVoskLookupEdit(QWidget* parent = nullptr);
    bool DroppedDown() const;
};

// The same bound to a field.
class TVoskDBLookupEdit final : public TVoskLookupEdit {
    Q_OBJECT
public:
    explicit TVoskDBLookupEdit(QWidget* parent = nullptr);
    TVoskClass* DataClass() const;
    void SetDataClass(TVoskClass* dataClass);
    QString DataField() const;
    void SetDataField(const QString& field);

private:
    void showValue();
    Corvale::TFieldLink* m_link;
    bool m_showing = false;
};

// A long text in one line, bound to a field: the whole text is the field's value, the line shows
// its first line. Its buttons (index 0 the text button) call OnButtonClick with their index.
class TVoskBlobEdit final : public TVoskDBFieldEdit {
    Q_OBJECT
public:
    explicit TVoskBlobEdit(QWidget* parent = nullptr);
    int ButtonCount() const { return int(m_buttons.size()); }
    QAction* Button(int index) const { return m_buttons.value(index); }
    bool ButtonVisible(int index) const;
    void SetButtonVisible(int index, bool visible);
    // Adds a button after the others; returns its index.
    int AddButton(const QIcon& icon, const QString& hint);
    std::function<void(QObject* sender, int index)> OnButtonClick;

protected:
    void showValue() override;

private:
    QList<QAction*> m_buttons;
};

namespace Corvale {

// The editor a focused widget belongs to: the grid of an in-place editor, the combo box of its
// line edit, the spin box of its line edit, the scroll area of its viewport; else the widget.
QWidget* KorvexFixInnerControl(QWidget* control);
// Whether control is the line edit inside another editor (a combo box or a spin box).
bool IsInnerEdit(const QObject* control);
// The grid whose in-place editor control is (or that control is); null otherwise.
TVoskDBGrid2* GridOfControl(const QWidget* control);
// The column of a grid as a component named after its field, for lookups by field; null
// outside the grid's columns.
QObject* GridColumn(TVoskDBGrid2* grid, int column);
// The same for a tree list.
TVoskDBTreeView2* TreeOfControl(const QWidget* control);
QObject* TreeColumn(TVoskDBTreeView2* tree, int column);

// The data class a data-aware control shows.
TVoskClass* DataClassOf(const QObject* control);
// The coordinator of control: the one listing it, else the one of its data class.
TQ32Control* ControlOf(QWidget* control);
// Whether the coordinator serves a data class (a form's own coordinator does not).
bool IsRegistered(const TQ32Control* control);
// Posts the coordinator's data class when it is in edit. Throws when the post is refused.
void LeaveEdit(TQ32Control* control);
// Whether control lies inside the coordinator's area: one of its controls or a control bound to
// its data class.
bool InControlArea(const TQ32Control* control, const QWidget* widget);
// The window a coordinator shows for its controls; hidden by Esc.
QWidget* OwnWindow(const TQ32Control* control);
void SetOwnWindow(TQ32Control* control, QWidget* window);

// The next input control of form after current in tab order (before it when not forward):
// visible, enabled and taking the focus by Tab; null when there is none.
QWidget* FindNextControl(QWidget* form, QWidget* current, bool forward);

// The value a control shows: a bound editor's field, a line edit's or memo's text, a check box's
// state, a combo box's current text.
QVariant GetControlValue(QWidget* control);

// Asks whether the current record is to be deleted; true for "Ja".
bool RaiseDelete();

// Whether an edit's completion popup is showing; CloseEditPopup hides it.
bool EditPopupShowing(const QLineEdit* edit);
void CloseEditPopup(QLineEdit* edit);

} // namespace Corvale
