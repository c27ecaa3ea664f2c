#pragma once
// SQL highlighter of the editor stand-in: QScintilla's SQL lexer with PostgreSQL's word lists.
// The lists are data (comma-separated, as the completion appends them) and the table names come
// from the caller, so that names of the database's own tables stand out.

#include <Qsci/qscilexersql.h>

#include <QByteArray>
#include <QString>
#include <QStringList>

enum TSQLDialect { sqlStandard, sqlPostgres };

// The token kinds whose word lists can be read; the numbers are the kinds' ordinal values.
enum TtkTokenKind { tkDatatype = 1, tkException = 3, tkFunction = 4, tkKey = 6 };

class TSynSQLSyn final : public QsciLexerSQL {
    Q_OBJECT
public:
    explicit TSynSQLSyn(QObject* parent = nullptr);

    TSQLDialect SQLDialect() const { return m_dialect; }
    void SetSQLDialect(TSQLDialect dialect);

    // One name a line; matched case-insensitively.
    QString TableNames() const { return m_tables.join(QLatin1Char('\n')); }
    void SetTableNames(const QStringList& names);
    const QStringList& TableNameList() const { return m_tables; }

    // The words of a kind, comma-separated; empty for other kinds.
    QString KeyWords(TtkTokenKind kind) const;

    // Foreground colours by kind of text.
    void SetCommentColor(const QColor& c);
    void SetDataTypeColor(const QColor& c) { setColor(c, KeywordSet5); }
    void SetFunctionColor(const QColor& c) { setColor(c, KeywordSet6); }
    void SetIdentifierColor(const QColor& c) { setColor(c, Identifier); }
    void SetStringColor(const QColor& c);
    void SetTableNameColor(const QColor& c) { setColor(c, KeywordSet8); }

    const char* keywords(int set) const override;
    QString description(int style) const override;

private:
    TSQLDialect m_dialect = sqlPostgres;
    QStringList m_tables;
    QByteArray m_keys, m_types, m_functions, m_exceptions, m_tableWords;
};
