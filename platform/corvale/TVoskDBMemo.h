#pragma once
// Multi-line text bound to a field of a data class, as TVoskDBEdit is for one line.

#include <QPlainTextEdit>

class TVoskClass;
namespace Corvale {
class TFieldLink;
}

class TVoskDBMemo final : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TVoskDBMemo(QWidget* parent = nullptr);

    TVoskClass* DataClass() const;
    void SetDataClass(TVoskClass* dataClass);
    QString DataField() const;
    void SetDataField(const QString& field);
    // Edits the text in the memo editor; a changed text goes into the field.
    void EditAction();

private:
    void showValue();
    Corvale::TFieldLink* m_link;
    bool m_showing = false;
};
