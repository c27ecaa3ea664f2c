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

namespace Corvale {
// "name = value" with the object's name in lower case.
QString ScriptLine(const QObject* control, const QString& pythonValue);
} // namespace Corvale

class TVoskEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(bool Required READ Required WRITE SetRequired)
public:
    explicit TVoskEdit(QWidget* parent = nullptr);
    bool Required() const { return m_required; }
    void SetRequired(bool on) { m_required = on; }
    // An empty required edit fails.
    bool CheckF2Value() const;
    void GetF2ScriptValue(QStringList& lines) const;

private:
    bool m_required = false;
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

// A date typed the German way ("31.12.2026"); empty means no date.
class TVoskDateEdit final : public TVoskEdit {
    Q_OBJECT
public:
    explicit TVoskDateEdit(QWidget* parent = nullptr);
    // Null when empty or not a date.
    QDate Date() const;
    void SetDate(const QDate& date);
    // Text that is no date fails, as does an empty required one.
    bool CheckF2Value() const;
    void GetF2ScriptValue(QStringList& lines) const;
};

class TVoskMemo final : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TVoskMemo(QWidget* parent = nullptr);
    void GetF2ScriptValue(QStringList& lines) const;
};
