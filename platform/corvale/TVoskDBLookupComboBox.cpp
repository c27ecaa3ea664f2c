#include "TVoskDBLookupComboBox.h"

#include "TVoskDBEdit.h"

#include <TVoskClass.h>

namespace {
// Marks the entry added for a value that no row of the list carries.
constexpr int kForeignRole = Qt::UserRole + 1;
} // namespace

TVoskDBLookupComboBox::TVoskDBLookupComboBox(QWidget* parent)
    : QComboBox(parent), m_link(new Corvale::TFieldLink(this, [this] { showValue(); })) {
    setEditable(false);
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (m_showing)
            return;
        const QString key = itemData(index).toString();
        if (key == m_link->Value().toString() || !m_link->Write(key))
            showValue();
    });
    loadList();
}

TVoskClass* TVoskDBLookupComboBox::DataClass() const { return m_link->DataClass(); }
void TVoskDBLookupComboBox::SetDataClass(TVoskClass* dataClass) { m_link->SetDataClass(dataClass); }
QString TVoskDBLookupComboBox::DataField() const { return m_link->FieldName(); }
void TVoskDBLookupComboBox::SetDataField(const QString& field) { m_link->SetFieldName(field); }

void TVoskDBLookupComboBox::SetListSource(TVoskClass* listSource) {
    for (const auto& c : m_listLinks)
        disconnect(c);
    m_listLinks.clear();
    m_listSource = listSource;
    if (listSource)
        m_listLinks << connect(listSource, &TVoskClass::RowsReset, this, [this] { loadList(); })
                    << connect(listSource, &QObject::destroyed, this, [this] { loadList(); });
    loadList();
}

void TVoskDBLookupComboBox::SetListField(const QString& field) {
    m_listField = field;
    loadList();
}

void TVoskDBLookupComboBox::SetKeyField(const QString& field) {
    m_keyField = field;
    loadList();
}

void TVoskDBLookupComboBox::loadList() {
    m_showing = true;
    clear();
    addItem(QString(), QString());
    TVoskClass* list = m_listSource;
    const int textCol = list && list->Active() ? list->FieldIndex(m_listField) : -1;
    const int keyCol = list && list->Active() ? list->FieldIndex(m_keyField) : -1;
    if (textCol >= 0 && keyCol >= 0)
        for (int r = 0; r < list->RecordCount(); ++r)
            addItem(list->Value(r, textCol).toString(), list->Value(r, keyCol).toString());
    m_showing = false;
    showValue();
}

void TVoskDBLookupComboBox::showValue() {
    const bool wasShowing = m_showing;
    m_showing = true;
    for (int i = count() - 1; i > 0; --i)
        if (itemData(i, kForeignRole).toBool())
            removeItem(i);
    const QString key = m_link->Value().toString();
    int i = findData(key);
    if (i < 0) {
        addItem(key, key);
        i = count() - 1;
        setItemData(i, true, kForeignRole);
    }
    setCurrentIndex(i);
    setEnabled(m_link->CanEdit());
    m_showing = wasShowing;
}

QString TVoskDBLookupComboBox::KeyValue() const { return currentData().toString(); }

bool TVoskDBLookupComboBox::SelectKey(const QString& key) {
    const int i = findData(key);
    if (i < 0 || itemData(i, kForeignRole).toBool())
        return false;
    setCurrentIndex(i);
    emit activated(i);
    return m_link->Value().toString() == key;
}
