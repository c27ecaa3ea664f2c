#pragma once
// The stamp list of the TIFF viewers: the stamp documents of the pseudo record "dokseals" / 0,
// read once per process and shared by every viewer. A stamp's name is its document's path, its
// password the document's ident (empty: none); its picture is the document's stored file, read
// from the store when first asked for and kept.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QStringList>
#include <QVariant>

#include <functional>

class QObject;
class TDokument;
class TFileViewerFrameTIFF;
class TPageData;
class TPageList;
class TVoskDatabase;

class TImageListLoader final {
public:
    TImageListLoader() = delete;

    // Loads the list unless it is loaded (without a database there are no stamps), then gives the
    // viewer its picture source and the stamp names for its chooser.
    static void LoadImages(TFileViewerFrameTIFF* ImageFrame);
    // Loads the list unless it is loaded; a failure leaves no list behind and passes on.
    static void EnsureLoaded();
    // One line per stamp: the name, a tab, a blank and the password.
    static QStringList DokImageList();
    // The stamp names in the list's order.
    static QStringList Names();
    static TDokument* DokImageReader();
    // Frees list, cached pictures and document object.
    static void Unload();

    // The stamp's picture bytes. A stamp the database no longer has: EImagesException 17194; a
    // name the list does not hold: empty.
    static QByteArray GetImage(QObject* sender, const QString& imageName);
    static bool HasPassword(const QString& imageName);
    // Asks for the stamp's password when it has one; a wrong answer, a cancelled dialog or none
    // that may be shown ends the action with the critical error "Passwort falsch" (4762).
    static void CheckPassword(const QString& imageName);
};

// Whether a stamp was placed on or taken off a document since the last save.
enum TISealMode { smAdded, smRemoved };

// Rights checks before a save; each returns only when the action is allowed (the rights layer
// shows its refusal and ends the action). DokID is 0 for a document still being inserted.
// Pages: new ones need action 2, deleted stored ones 3, changed or moved ones 1.
void Secure_DocumentCheck(const TPageList& Pages, const QList<TPageData*>& DeletedPages, int DokID,
                          const QString& DokType, const QString& DokIdent);
// Annotations: action 4, then every stamp placed (action 2 of the stamp rights); removing a
// stamp is never refused.
void Secure_AnnotationCheck(const TPageList& Pages, const QList<TPageData*>& DeletedPages,
                            int DokID, const QString& DokType, const QString& DokIdent);
void Secure_SealImageCheck(int DokID, const QString& DokType, const QString& DokIdent,
                           const QString& DokSeal, TISealMode Mode);

// Database actions of a save, on the document's connection (inside the save's transaction).
void Secure_DocumentSave(TDokument* Dokument);
// Sets the document row's pd_dmscomment: whether any page carries annotations.
void Secure_AnnotationSave(TDokument* Dokument, bool HasAnnotations);
// Runs the document type's stamp SQL for a stamp placed or removed (table doksealsql). A failure
// is passed on as "Stempelaktion konnte nicht ausgeführt werden." with the ids.
void Secure_SealImageSave(TDokument* Dokument, const QString& DokSeal, TISealMode Mode);

// The parameters of a stamp SQL resolved to values, and the statements it holds. LANG, LANGC,
// timestamp and sessid are left to the query, which fills them as every query does
// (Dunmere::SessionParamValue). The others are looked up in this order: a name resolved before;
// dm_doktype; dm_dokseal (NULL when empty); a column of the document row; the first keyword of
// that category; "<category>__InList", which becomes the bracketed list of one parameter per
// keyword of the category ("'*internal system usage*'" for none). Anything else:
// "Stempel-SQL: Parameter "%s" nicht gefunden.". Values are only ever bound, never spliced.
class TStampSqlResolver final {
public:
    using TKeywordLookup = std::function<QStringList(const QString& category, bool all)>;
    using TFieldLookup = std::function<bool(const QString& name, QVariant& value)>;

    TStampSqlResolver(QString DokType, QString DokSeal, TFieldLookup Field, TKeywordLookup Keywords);
    // Resolves sql (";" appended when missing); afterwards Sql() holds the text with every
    // "__InList" expanded and Value() every parameter's value.
    void Resolve(const QString& sql);
    const QString& Sql() const { return m_sql; }
    QStringList Statements() const;
    // The value of a parameter by name (none for the session's parameters).
    QVariant Value(const QString& name) const;
    int Lookups() const { return m_lookups; }

private:
    QVariant resolve(const QString& name);
    QString m_dokType, m_dokSeal;
    TFieldLookup m_field;
    TKeywordLookup m_keywords;
    QString m_sql;
    QHash<QString, QVariant> m_values; // case-sensitive, as the names are written
    int m_lookups = 0;
};

// Runs a resolved stamp SQL statement by statement on db, each with bound values.
void ExecStampSql(TVoskDatabase& db, const TStampSqlResolver& resolved);
