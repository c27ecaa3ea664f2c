#pragma once
// Number ranges (table nummernkreis): the ranges a module draws its numbers from, each row with
// the preview of the number it would hand out next (nc_preview). Drawing (SelectNrKr) and handing
// back (ResetNrKr) are single statements on the range's row, so that two sessions never get the
// same number and a number is only handed back while it is still the last one drawn.

#include "TVoskClass.h"

#include <QStringList>

class TNummernKreis final : public TVoskClass2 {
    Q_OBJECT
public:
    explicit TNummernKreis(QObject* parent = nullptr);

    // The active ranges of module (letter case ignored). excluded names range keys to leave out;
    // with isInclude they are the only keys allowed.
    void SearchByModule(const QString& modul, const QStringList& excluded, bool isInclude);
    // As SearchByModule, plus the manual row: dbrid and nc_ident null, nc_preview the number,
    // nc_description its description. The query then has the parameter "num".
    void SearchByModule_AddDefault(const QString& modul, const QString& number,
                                   const QString& numberDesc, const QStringList& excluded,
                                   bool isInclude);
    // Whether the list holds a manual row (its query has the parameter "num").
    bool HasManualRow() const { return Param(QStringLiteral("num")).isValid(); }

    // Draws the next number of the range ident and returns it formatted; modul, when not empty,
    // must be the range's module. Empty when there is no such active range.
    QString SelectNrKr(const QString& ident, const QString& modul = {});
    // Hands number back to the range ident when it is the last number drawn there; true when the
    // counter went back. Any other number (typed, preset or drawn before another) is left alone.
    bool ResetNrKr(const QString& ident, const QString& number);

    // The current row's fields.
    QString Ident() { return FieldByName(QStringLiteral("nc_ident")).AsString(); }
    QString Preview() { return FieldByName(QStringLiteral("nc_preview")).AsString(); }
    bool IsManualRow() { return FieldByName(QStringLiteral("dbrid")).IsNull(); }

private:
    void search(const QString& modul, const QStringList& excluded, bool isInclude, bool manual,
                const QString& number, const QString& numberDesc);
};
