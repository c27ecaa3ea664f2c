#pragma once
// The special functions of a table (table sondfunc): what the header's tools menu and caption
// buttons offer, and what one of them runs (a report first, then SQL on the form's values).

#include "TVoskClass.h"

class TSondFunc final : public TVoskClass2 {
    Q_OBJECT
public:
    explicit TSondFunc(QObject* parent = nullptr);

    // Opens on the functions of table offered to formClass (rows without a form class serve
    // every form), in their order.
    void AssignToSqlTable(const QString& table, const QString& formClass);
    // Opens on the one function with that id; false when it is gone.
    bool SearchDBRID(qint64 id);

    qint64 Id() { return FieldByName(QStringLiteral("dbrid")).AsLargeInt(); }
    QString SqlTable() { return FieldByName(QStringLiteral("sf_sqltable")).AsString(); }
    int TxtNr() { return FieldByName(QStringLiteral("sf_txtnr")).AsInteger(); }
    int HintTxtNr() { return FieldByName(QStringLiteral("sf_hinttxtnr")).AsInteger(); }
    // Null when the row names no image.
    QVariant ImageIndex() { return FieldByName(QStringLiteral("sf_imageindex")).Value(); }
    bool MenuButton() { return FieldByName(QStringLiteral("sf_menubutton")).AsBoolean(); }
    QString Cond() { return FieldByName(QStringLiteral("sf_cond")).AsString(); }
    bool EmptyAllowed() { return FieldByName(QStringLiteral("sf_emptyallowed")).AsBoolean(); }
    QString Sql() { return FieldByName(QStringLiteral("sf_sql")).AsString(); }
    // The report run before the SQL; 0 for none.
    int ReportNr() { return FieldByName(QStringLiteral("sf_rtf")).AsInteger(); }
    QString FormClass() { return FieldByName(QStringLiteral("sf_formclass")).AsString(); }
    // The report's parameters, one "name=value" a line.
    QStringList ConfigLines();
    // Text number of the confirmation question; 0 for the standard one.
    int QuestionTxtNr() { return FieldByName(QStringLiteral("sf_maketext")).AsInteger(); }
};
