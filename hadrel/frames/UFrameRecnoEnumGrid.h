#pragma once
// The check list of one enumeration parameter for the current record of a data class: every code
// of the parameter with its description, checked when the record's value list holds it. Checking
// or unchecking a code adds it to or removes it from that list on the server at once.

#include <TVoskClass.h>

#include <QFrame>
#include <QPointer>

class QGroupBox;
class TFrameDBNav;
class TServSQL2;
class TVoskCheckColumn;
class TVoskDBGrid2;

class TFrameRecnoEnumGrid final : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString _ParameterName READ ParameterName WRITE FSetParameterName)
    Q_PROPERTY(int _TextNr READ TextNr WRITE SetTextNr)
    Q_PROPERTY(TVoskClass* _DataSource READ DataSource WRITE SetDataSource)
public:
    explicit TFrameRecnoEnumGrid(QObject* owner, QWidget* parent = nullptr);

    // Components, in the order of the frame's resource; gridEnum is also the view gvEnum.
    QGroupBox* gbMain;
    TFrameDBNav* DBNavEnum;
    TVoskDBGrid2* gridEnum;
    TVoskCheckColumn* gvEnumrege_value;
    TServSQL2* ServSQLEnum;

    QString ParameterName() const { return m_parameterName; }
    // Binds the frame to a parameter of recnogroup. A name that is missing there, not an
    // enumeration or an exclusive one is told to the user and leaves the frame unbound.
    void FSetParameterName(const QString& value);
    QString TableName() const { return m_tableName; }
    int TextNr() const { return m_textNr; }
    void SetTextNr(int nr);
    // The data class of the records whose values are shown; it must have a field dbrid.
    TVoskClass* DataSource() const { return m_dataSource; }
    void SetDataSource(TVoskClass* value);

    // Reads the codes for the data class's current record (closes the list without one).
    void RefreshList();
    // What a click on the check of row does: the code goes into or out of the record's list.
    void SetCodeChecked(int row, bool checked);

private:
    void ServSQLEnumBeforeOpen();

    QString m_parameterName;
    QString m_tableName;
    int m_textNr = 0;
    QPointer<TVoskClass> m_dataSource;
};

namespace UFrameRecnoEnumGrid {
// Puts `TFrameRecnoEnumGrid` on the IDE's palette page "Korvex-Controls".
void Register();
} // namespace UFrameRecnoEnumGrid
