#pragma once
// A label showing a field of a data class at its current record; it cannot be edited.

#include <QLabel>

class TVoskClass;
namespace Corvale {
class TFieldLink;
}

class TDBText final : public QLabel {
    Q_OBJECT
public:
    explicit TDBText(QWidget* parent = nullptr);
    TVoskClass* DataClass() const;
    void SetDataClass(TVoskClass* dataClass);
    QString DataField() const;
    void SetDataField(const QString& field);
    // Lets the parent's background show through.
    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool on);

private:
    void showValue();
    Corvale::TFieldLink* m_link;
    bool m_transparent = false;
};
