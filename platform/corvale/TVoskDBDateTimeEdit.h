#pragma once
// Date and time bound to a timestamp field, typed as "TT.MM.JJJJ hh:mm" or chosen from a calendar.
// The field receives a date-time value, never a half-typed text.

#include <QDateTimeEdit>

class TVoskClass;
namespace Corvale {
class TFieldLink;
}

class TVoskDBDateTimeEdit final : public QDateTimeEdit {
    Q_OBJECT
public:
    explicit TVoskDBDateTimeEdit(QWidget* parent = nullptr);

    TVoskClass* DataClass() const;
    void SetDataClass(TVoskClass* dataClass);
    QString DataField() const;
    void SetDataField(const QString& field);

private:
    void showValue();
    Corvale::TFieldLink* m_link;
    bool m_showing = false;
};
