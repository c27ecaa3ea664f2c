#include "UFrameRecnoEnumGrid.h"

#include "UnitTable.h"
#include "Vcl.Classes.h"

#include "FrameDBNavigate.h"

#include <Korvexutils.h>
#include <TServSQL2.h>
#include <TVoskCheckColumn.h>
#include <TVoskDBGrid2.h>
#include <UDM1.h>
#include <Vcl.Components.h>
#include <VoskExceptions.h>
#include <VoskQuery2.h>
#include <VoskRecnoKeyword.h>

#include <QGroupBox>
#include <QVBoxLayout>

namespace {

// The runtime library's Format for texts that only hold %s placeholders.
QString FormatS(QString text, const QStringList& args) {
    for (const QString& a : args) {
        const qsizetype at = text.indexOf(QStringLiteral("%s"));
        if (at < 0)
            break;
        text.replace(at, 2, a);
    }
    return text;
}

// Codes are compared trimmed and without regard to case; a "%" or "_" stored in a list is a
// character like any other.
const char* const kEnumSql =
    "SELECT\n"
    "  e.rege_code, e.rege_bez, EXISTS (SELECT 1 FROM recnokeyword k,\n"
    "    unnest(string_to_array(k.r_value, ',')) AS v\n"
    "    WHERE k.r_tablename = :tname AND k.r_dbrid = :rdbrid AND k.r_reg_pname = :pname\n"
    "      AND lower(btrim(v)) = lower(btrim(e.rege_code))) AS rege_value\n"
    "FROM\n"
    "  RecnoEnums e\n"
    "WHERE\n"
    "  e.rege_reg_pname = :pname\n"
    "ORDER BY e.rege_pos";

} // namespace

TFrameRecnoEnumGrid::TFrameRecnoEnumGrid(QObject* owner, QWidget* parent) : QFrame(parent) {
    Vcl::SetOwner(this, owner);
    setObjectName(QStringLiteral("FrameRecnoEnumGrid"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    gbMain = Vcl::Owned(this, new QGroupBox(this), QStringLiteral("gbMain"));
    outer->addWidget(gbMain);
    auto* layout = new QVBoxLayout(gbMain);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);

    ServSQLEnum = Vcl::Owned(this, new TServSQL2(this), QStringLiteral("ServSQLEnum"));
    // The table names the captions; the list itself is never written through the class.
    ServSQLEnum->SetSqlTable(QStringLiteral("recnoenums"));
    ServSQLEnum->SetKeyFieldName(QStringLiteral("rege_code"));
    ServSQLEnum->SetQuerySql(QString::fromUtf8(kEnumSql));
    ServSQLEnum->SetReadOnly(true);

    DBNavEnum = Vcl::Owned(this, new TFrameDBNav(this, gbMain), QStringLiteral("DBNavEnum"));
    DBNavEnum->SetBtSkip(false);
    DBNavEnum->SetBtInsert(false);
    DBNavEnum->SetBtDelete(false);
    DBNavEnum->SetBtPostNCancel(false);
    DBNavEnum->SetBtRefresh(true);
    layout->addWidget(DBNavEnum);

    gridEnum = Vcl::Owned(this, new TVoskDBGrid2(gbMain), QStringLiteral("gridEnum"));
    gridEnum->setAccessibleName(QStringLiteral("Auswahlwerte"));
    gridEnum->setToolTip(QStringLiteral("Werte des Parameters; ein Klick auf das Kästchen wählt "
                                        "den Wert für den Datensatz oder nimmt ihn zurück"));
    gridEnum->SetHiddenFields({QStringLiteral("rege_code")});
    gridEnum->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(gridEnum, 1);
    gvEnumrege_value = Vcl::Owned(this, new TVoskCheckColumn(gridEnum),
                                  QStringLiteral("gvEnumrege_value"));
    gvEnumrege_value->OnToggle = [this](int row, bool checked) { SetCodeChecked(row, checked); };
    gridEnum->SetDataClass(ServSQLEnum);
    DBNavEnum->FSetDataSource(ServSQLEnum);
    DBNavEnum->FSetVoskDBGrid(gridEnum);
    // The check column is placed once the list has its columns.
    connect(ServSQLEnum, &TVoskClass::RowsReset, this, [this] {
        const int col = ServSQLEnum->FieldIndex(QStringLiteral("rege_value"));
        if (col >= 0)
            gridEnum->setItemDelegateForColumn(col, gvEnumrege_value);
    });
    ServSQLEnum->BeforeRefresh = [this](TVoskClass*) { ServSQLEnumBeforeOpen(); };
    SetTextNr(0);
}

void TFrameRecnoEnumGrid::SetTextNr(int nr) {
    m_textNr = nr;
    TDM1* dm = DM1();
    gbMain->setTitle(nr > 0 && dm ? dm->makeText(nr, QString()) : QString());
}

void TFrameRecnoEnumGrid::SetDataSource(TVoskClass* value) {
    if (value == m_dataSource)
        return;
    if (m_dataSource)
        disconnect(m_dataSource, nullptr, this, nullptr);
    m_dataSource = value;
    if (value) {
        connect(value, &TVoskClass::CurrentChanged, this, [this] { RefreshList(); });
        connect(value, &TVoskClass::RowsReset, this, [this] { RefreshList(); });
        connect(value, &QObject::destroyed, this, [this] { ServSQLEnum->Close(); });
    }
    RefreshList();
}

void TFrameRecnoEnumGrid::FSetParameterName(const QString& value) {
    m_parameterName.clear();
    m_tableName.clear();
    ServSQLEnum->Close();
    if (value.isEmpty())
        return;
    TDM1* dm = DM1();
    if (!dm)
        throw EVoskException(QStringLiteral("Keine Verbindung zur Datenbank."));
    TVoskQuery2 q(&dm->Database(),
                  QStringLiteral("SELECT reg_tablename, reg_paramtype, reg_exclusive FROM "
                                 "RecnoGroup WHERE reg_pname = :pname"));
    q.Bind(QStringLiteral("pname"), value);
    q.Open();
    const QString prefix = QStringLiteral("TFrameRecnoEnumGrid.FSetParameterName\n");
    if (q.Eof()) {
        Korvexutils::RaiseInformation(
            prefix + FormatS(dm->makeText(26390, QStringLiteral("*")),
                             {value, QStringLiteral("RecnoGroup")}));
        return;
    }
    if (q.FieldByName(QStringLiteral("reg_paramtype")).AsString().compare(
            QStringLiteral("ptENUM"), Qt::CaseInsensitive) != 0) {
        Korvexutils::RaiseInformation(prefix +
                                      FormatS(dm->makeText(26391, QStringLiteral("*")), {value}));
        return;
    }
    if (q.FieldByName(QStringLiteral("reg_exclusive")).AsBoolean()) {
        Korvexutils::RaiseInformation(prefix +
                                      FormatS(dm->makeText(26392, QStringLiteral("*")), {value}));
        return;
    }
    m_tableName = q.FieldByName(QStringLiteral("reg_tablename")).AsString();
    m_parameterName = value;
    RefreshList();
}

void TFrameRecnoEnumGrid::ServSQLEnumBeforeOpen() {
    if (!m_dataSource || !m_dataSource->Active())
        return;
    ServSQLEnum->SetParam(QStringLiteral("tname"), m_tableName);
    ServSQLEnum->SetParam(QStringLiteral("pname"), m_parameterName);
    ServSQLEnum->SetParam(QStringLiteral("rdbrid"),
                          m_dataSource->FieldByName(QStringLiteral("dbrid")).AsString());
}

void TFrameRecnoEnumGrid::RefreshList() {
    // A new record still has no id of its own to hang values on.
    if (m_parameterName.isEmpty() || !m_dataSource || !m_dataSource->HasRecord() ||
        m_dataSource->IsNewRecord()) {
        ServSQLEnum->Close();
        return;
    }
    ServSQLEnumBeforeOpen();
    if (ServSQLEnum->Active())
        ServSQLEnum->Refresh(true, true);
    else
        ServSQLEnum->Open();
}

void TFrameRecnoEnumGrid::SetCodeChecked(int row, bool checked) {
    if (!ServSQLEnum->Active() || row < 0 || row >= ServSQLEnum->RecordCount() || !m_dataSource ||
        !m_dataSource->HasRecord())
        return;
    TDM1* dm = DM1();
    if (!dm)
        throw EVoskException(QStringLiteral("Keine Verbindung zur Datenbank."));
    ServSQLEnum->SetRecNo(row + 1);
    const QString code = ServSQLEnum->FieldByName(QStringLiteral("rege_code")).AsString();
    const QString dbrid = m_dataSource->FieldByName(QStringLiteral("dbrid")).AsString();
    if (checked)
        VoskRecnoKeyword::AddEnumCode(dm->Database(), m_tableName, dbrid, m_parameterName, code);
    else
        VoskRecnoKeyword::RemoveEnumCode(dm->Database(), m_tableName, dbrid, m_parameterName, code);
    ServSQLEnum->Refresh(true, true);
}

namespace UFrameRecnoEnumGrid {

void Register() {
    Vcl::RegisterComponents(QStringLiteral("Korvex-Controls"), {Vcl::ComponentClass<TFrameRecnoEnumGrid>()});
}

} // namespace UFrameRecnoEnumGrid

KORVEX_UNIT("hadrel", "UFrameRecnoEnumGrid", nullptr, nullptr, &UFrameRecnoEnumGrid::Register);
