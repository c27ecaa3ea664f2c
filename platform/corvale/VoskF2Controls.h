#pragma once
// The edit controls of designed dialogs: line edit, pick edit, check box, date edit and memo.
// Each checks its input the way the lookup layer does before a report runs (CheckF2Value) and
// hands its value to a report script as one line "name = <Python literal>" with the component's
// name in lower case (GetF2ScriptValue): text as a string, a check box as True or False, a date as
// 'YYYY-MM-DD' or None when empty.

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStringList>

#include <functional>

class QAction;
class QCompleter;
class QStringListModel;

namespace Corvale {
// "name = value" with the object's name in lower case.
QString ScriptLine(const QObject* control, const QString& pythonValue);
// The statement of a fast lookup: query's rows that pass filter (a condition on them, ":Self" the
// typed text), at most limit of them.
QString FastF2Sql(const QString& query, const QString& filter, int limit);
} // namespace Corvale

// Kinds of the buttons an edit carries at its right edge.
enum class TVoskEditButtonKind { Ellipsis, DropDown, Text };

// The buttons of an edit, by index; each can be hidden without changing the others' indexes.
class TVoskEditButtons final {
public:
    explicit TVoskEditButtons(QLineEdit* edit) : m_edit(edit) {}
    int Count() const { return int(m_items.size()); }
    int Add(TVoskEditButtonKind kind);
    TVoskEditButtonKind Kind(int index) const { return m_items.at(index).kind; }
    bool Visible(int index) const { return m_items.at(index).action->isVisible(); }
    void SetVisible(int index, bool visible);
    QAction* Action(int index) const { return m_items.at(index).action; }
    std::function<void(int index)> OnClick;

private:
    struct Item {
        TVoskEditButtonKind kind;
        QAction* action;
    };
    QLineEdit* m_edit;
    QList<Item> m_items;
};

class TVoskEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(bool Required READ Required WRITE SetRequired)
public:
    explicit TVoskEdit(QWidget* parent = nullptr);
    ~TVoskEdit() override;
    bool Required() const { return m_required; }
    void SetRequired(bool on) { m_required = on; }
    // An empty required edit fails.
    bool CheckF2Value() const;
    void GetF2ScriptValue(QStringList& lines) const;

    TVoskEditButtons& Buttons() { return m_buttons; }
    // A click on one of the buttons: the edit and the button's index.
    std::function<void(QObject* sender, int index)> OnButtonClick;

    // Fast lookup: as the user types, the first column of FastF2Query's rows that pass
    // FastF2Filter (a condition on those rows; ":Self" is the typed text + "%") pops up below the
    // edit. An empty query switches it off.
    QString FastF2Query() const { return m_fastQuery; }
    QString FastF2Filter() const { return m_fastFilter; }
    void SetFastF2(const QString& query, const QString& filter);
    // The rows for text; a failing query gives none (logged).
    QStringList FastF2Matches(const QString& text) const;
    QCompleter* FastF2Popup() const { return m_completer; }
    static constexpr int FastF2MaxRows = 50;

private:
    void fastF2Typed(const QString& text);
    bool m_required = false;
    TVoskEditButtons m_buttons;
    QString m_fastQuery, m_fastFilter;
    QCompleter* m_completer = nullptr;
    QStringListModel* m_matches = nullptr;
};

class TVoskPickEdit final : public QComboBox {
    Q_OBJECT
    Q_PROPERTY(bool Required READ Required WRITE SetRequired)
    Q_PROPERTY(bool ItemsOnly READ ItemsOnly WRITE SetItemsOnly)
public:
    explicit TVoskPickEdit(QWidget* parent = nullptr);
    bool Required() const { return m_required; }
    void SetRequired(bool on) { m_required = on; }
    // Only texts of the list count as input.
    bool ItemsOnly() const { return m_itemsOnly; }
    void SetItemsOnly(bool on) { m_itemsOnly = on; }
    bool CheckF2Value() const;
    void GetF2ScriptValue(QStringList& lines) const;

private:
    bool m_required = false;
    bool m_itemsOnly = false;
};

class TVoskCheckBox final : public QCheckBox {
    Q_OBJECT
public:
    explicit TVoskCheckBox(QWidget* parent = nullptr);
    bool CheckF2Value() const { return true; }
    void GetF2ScriptValue(QStringList& lines) const;
};

namespace Corvale {
class TDateDropDown;
}

// A date typed the German way ("31.12.2026") or chosen from its calendar drop-down; empty means no
// date.
class TVoskDateEdit final : public TVoskEdit {
    Q_OBJECT
public:
    explicit TVoskDateEdit(QWidget* parent = nullptr);
    bool DroppedDown() const;
    void DropDown();
    // Closes the drop-down without taking a date.
    void CloseUp();
    // Null when empty or not a date.
    QDate Date() const;
    void SetDate(const QDate& date);
    // Text that is no date fails, as does an empty required one.
    bool CheckF2Value() const;
    void GetF2ScriptValue(QStringList& lines) const;

private:
    Corvale::TDateDropDown* m_dropDown;
};

class TVoskMemo final : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TVoskMemo(QWidget* parent = nullptr);
    void GetF2ScriptValue(QStringList& lines) const;
};
