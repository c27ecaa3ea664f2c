#pragma once
// The data classes that hang off any record by its table name and record id: notes
// (recnocomments), keywords and record parameters (recnokeyword, the parameters defined in
// recnogroup). Each reads the rows of one record; new rows get that record's table and id.

#include "TVoskClass.h"

// Notes of a record and of its children (rc_parent_dbrid). Beside the table's columns each row
// carries rc_user_name (display name of its author), get_record_note_source (the table of a note
// that another record gave, empty for the record's own) and voskgray (true for such a note).
class TRecNoComment final : public TVoskClass2 {
    Q_OBJECT
public:
    explicit TRecNoComment(QObject* parent = nullptr);
    // Reads the notes of the record; the parameters "tablename" and "dbrid" keep them.
    void AssignToData(const QString& tableName, const QString& recId);
    QString TableName() const { return Param(QStringLiteral("tablename")).toString(); }
    QString RecId() const { return Param(QStringLiteral("dbrid")).toString(); }
    // A new note of the record at the end, dated now and signed with the login.
    void AppendNote();
};

// Keywords of a record: category (r_kategorie) and text (r_descr). With a form class, only the
// keywords that form gave (r_classname).
class TRecNoKeyword final : public TVoskClass2 {
    Q_OBJECT
public:
    explicit TRecNoKeyword(QObject* parent = nullptr);
    void AssignToData(const QString& tableName, const QString& recId, const QString& formClass);
    // The keywords of a record whatever form gave them.
    void AssignToData(const QString& tableName, const QString& recId) {
        AssignToData(tableName, recId, QString());
    }
    void AppendKeyword();
    // Adds the read-only column rck_column: the record column the keyword's category names (its
    // value identifies a record there). Takes effect with the next open.
    void SetWithKeyColumn(bool on);
    // With required fields a keyword is posted only with a category and a text; otherwise Post
    // refuses it with a German message and leaves it in edit.
    bool RequiredFields() const { return m_required; }
    void SetRequiredFields(bool on) { m_required = on; }
    // New rows get the record's table and id (and the form class) however they were started.
    void Post(bool askBefore = true) override;

private:
    QString m_formClass;
    bool m_required = false;
};

// Record parameters: the keyword rows that name a definition of recnogroup, with its group,
// position, type, visibility and default. Their query takes three parameters in this order: the
// table, the record id and the form class (a definition bound to another form class is left out).
class TRecNoParams : public TVoskClass2 {
    Q_OBJECT
public:
    explicit TRecNoParams(QObject* parent = nullptr);
    void AssignToData(const QString& tableName, const QString& recId, const QString& formClass);
    // The shared instance whose query the status bar wraps; made on first use.
    static TRecNoParams* Instance();
    static QString ParamsSql();
    // An ILIKE pattern on the parameter name; empty shows every parameter. Takes effect with the
    // next read.
    QString PNameFilter() const { return m_pnameFilter; }
    void SetPNameFilter(const QString& filter);
    QString TableName() const { return Param(QStringLiteral("tablename")).toString(); }
    QString RecId() const { return Param(QStringLiteral("dbrid")).toString(); }

protected:
    QString SelectSql() const override;

private:
    QString m_pnameFilter;
};

// The record-information window's parameter class.
class TRecNoProp final : public TRecNoParams {
    Q_OBJECT
public:
    using TRecNoParams::TRecNoParams;
};
