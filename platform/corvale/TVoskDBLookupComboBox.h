#pragma once
// Choice of a field's value from the rows of another data class: the list shows one column of
// those rows (ListField), the field receives another (KeyField). A value that no row carries is
// shown as it stands, so that opening a record never changes it; the empty entry clears it.

#include <QComboBox>
#include <QPointer>

class TVoskClass;
namespace Corvale {
class TFieldLink;
}

class TVoskDBLookupComboBox final : public QComboBox {
    Q_OBJECT
public:
    explicit TVoskDBLookupComboBox(QWidget* parent = nullptr);

    TVoskClass* DataClass() const;
    void SetDataClass(TVoskClass* dataClass);
    QString DataField() const;
    void SetDataField(const QString& field);

    // The rows to choose from; read again whenever that class is opened or refreshed.
    TVoskClass* ListSource() const { return m_listSource; }
    void SetListSource(TVoskClass* listSource);
    QString ListField() const { return m_listField; }
    void SetListField(const QString& field);
    QString KeyField() const { return m_keyField; }
    void SetKeyField(const QString& field);

    // The key of the entry shown; empty for none.
    QString KeyValue() const;
    // Chooses the entry of key as the user does and writes it into the field; false when no
    // entry has that key or the field refused it.
    bool SelectKey(const QString& key);

private:
    void loadList();
    void showValue();
    Corvale::TFieldLink* m_link;
    QPointer<TVoskClass> m_listSource;
    QList<QMetaObject::Connection> m_listLinks;
    QString m_listField;
    QString m_keyField;
    bool m_showing = false;
};
