#pragma once
// The document object of the class library: a data class over the document rows (picndoku) with
// the lock row of each document (picndoku_revision) read in the same query. It holds 0..n
// documents with a current one; the forms and viewers work on the current one.
//
// Design for the code that builds on it:
// - Rows. A row is one revision of a document. Its revisions share pd_revision_id; the valid one
//   has pd_deletable false, the others are hidden (pd_deletable true), and their files stay in
//   the store. A row without file, link and type is a custom folder. Documents hang into a
//   folder by pd_parentnodeident (a folder's dtn_nodeid or a custom folder's pd_id as text).
// - Loading (AssignToDokId, AssignToRecNo, LoadByRecord, AssignToKeyword) reads at most
//   MaxDocuments rows in one query, lock data and the computed flags included, so a tree of a
//   thousand documents costs one round trip. Hidden rows come only when asked for.
// - Files. Every write of bytes goes through one path (storeFile): one transaction (a savepoint
//   inside the caller's, see TVoskTransaction) writes the large object, its dms_file row and the
//   document rows, after re-reading the document row FOR UPDATE; a failure anywhere rolls all of
//   it back. DMSAddFileAsBLOB, CreateNewRevision and DMSSetServerFile differ only in which rows
//   they write. A new document has no row to lock: its file, revision row and document row go
//   in the store's own statement, which returns the row as a load reads it (one round trip for
//   a file of one chunk). A caller that must tie more to the same commit (annotations, stamp SQL) opens a
//   TVoskTransaction on Database() around the call.
// - Locks (Ukorvexclasses.Dokument.Lock.cpp). The lock lives on the revision row, shared by all
//   revisions of a document; isLocked/isLockedByMe/GetLockedPath read what the load read. The
//   user is the login the document's connection announced, so two connections are two users.
//   LockRevision takes the lock with one conditional UPDATE (free or already mine), so of two
//   users at once exactly one wins. Every write (Post, Delete, the stores) re-reads the document
//   and its revision row FOR UPDATE in its transaction and refuses when another user holds the
//   lock, so a window showing an old state cannot overwrite. Storing the user's own working copy
//   (the checked-out path as source) is a take-back: it needs the check-out to be still there.
// - Stale rows. The same re-read refuses a row that is no longer the valid revision although
//   this object read it as valid (another window or machine made a newer one, or marked another
//   one valid) with EStaleRevision, and so does every write of bytes or annotations from a
//   hidden row: a new revision from it would hide the newer ones behind a copy of an old row.
//   The refusal is also signalled (revisionStale), so that what shows the document can show the
//   valid revision. A save that writes more than the document's own rows (the viewers'
//   annotations) takes the same check first, in its own transaction, with LockForSave.
// - Hooks. The slots below are filled by the units that can show, open or print documents
//   (the document window, the viewers) and emptied when they unload.
// - Record-level editing (Insert/Append, Post, Cancel, field access by name) is the data
//   class's; Insert and Append here also apply the insert data (SetInsertData).

#include "TVoskClass.h"

#include <HookSlot.h>
#include <VoskExceptions.h>

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QIODevice;
class TVoskPipeline;
class TVoskQuery2;
struct TDokuClassKey;

// Defaults a new document takes when it is inserted (Insert, Append, DMSAddFileAsBLOB), set by
// whoever prepares a scan or an import.
struct TDokumentInsertData {
    bool Active = false;
    QString Name;           // caption (pd_descr)
    QString DokType;        // dt_id
    QString DokIdent;
    QString ParentNodeIdent;
    QString Source;         // "file", "image", "link"
    // The adding check (AddingCheck) made by the statement that stores the document: a refusal
    // throws TDokument::EAddingRefused and stores nothing.
    bool CheckAdding = false;
};

class TDokument : public TVoskClass2 {
    Q_OBJECT
public:
    static constexpr int MaxDocuments = 1000;

    // Column names of the roles the forms and viewers read and write.
    static constexpr const char* fnId = "pd_id";
    static constexpr const char* fnRevisionId = "pd_revision_id";
    static constexpr const char* fnTableName = "pd_tablename";
    static constexpr const char* fnDbrid = "pd_dbrid";
    static constexpr const char* fnDokIdent = "pd_dokident";
    static constexpr const char* fnDokType = "pd_doktype";
    static constexpr const char* fnCaption = "pd_descr";
    static constexpr const char* fnDescription = "pd_txt";
    static constexpr const char* fnFileName = "pd_dokumentfile";
    static constexpr const char* fnOrigFileName = "pd_origfilename";
    static constexpr const char* fnPath = "pd_path";
    static constexpr const char* fnDate = "pd_date";
    static constexpr const char* fnParentNode = "pd_parentnodeident";
    static constexpr const char* fnStandard = "pd_print";
    static constexpr const char* fnHidden = "pd_deletable";
    static constexpr const char* fnArchived = "pd_archive";
    static constexpr const char* fnChanged = "pd_modified";
    static constexpr const char* fnSource = "pd_source";
    static constexpr const char* fnHash = "pd_dmshash";
    static constexpr const char* fnMd5 = "pd_md5";
    static constexpr const char* fnRemoteFile = "pd_dmsremotefile";
    static constexpr const char* fnRemoteFileDokType = "pd_dmsremotefiledoktype";
    static constexpr const char* fnRemoteArchive = "pd_dmsremotearchiv";

    explicit TDokument(QObject* owner = nullptr);
    ~TDokument() override; // out of line: TVoskQuery2 is complete there

    // The one shared document object; callers that keep a document make their own copy.
    static TDokument* Instance();

    // ---- hook slots ---------------------------------------------------------------------------
    // Shows a document in the preview dialog owned by owner; pageAdmin allows page editing.
    // Returns the window that shows it (null when an existing viewer was used).
    static Rtl::HookSlot<QObject*(QObject* owner, TDokument* doc, bool pageAdmin)> _ShowDokument;
    // Opens a document, or a document by id, for the user (read-only or for editing); returns
    // the viewer's window when one was shown.
    static Rtl::HookSlot<QObject*(QObject* owner, TDokument* doc, bool readOnly)> _OpenDokument;
    static Rtl::HookSlot<QObject*(QObject* owner, int pdId, bool readOnly)> _OpenDokumentC;
    // Print a TIFF document / any other image document on the named printer; throw on failure.
    static Rtl::HookSlot<void(TDokument* doc, const QString& printer)> _PrintTIFF;
    static Rtl::HookSlot<void(TDokument* doc, const QString& printer)> _PrintImage;
    // Writes every page of a TIFF document into a PDF file.
    static Rtl::HookSlot<void(TDokument* doc, const QString& pdfFile)> _ExportTIFFAsPDF;

    // Through the slots. ShowDokument without a filled slot returns null and shows nothing;
    // Print without one throws.
    QObject* ShowDokument(QObject* owner, bool pageAdmin = false);
    QObject* OpenDokument(QObject* owner, bool readOnly = true);
    static QObject* OpenDokument(QObject* owner, int pdId, bool readOnly = true);
    void Print(const QString& printer, quintptr window = 0);

    // ---- loading ------------------------------------------------------------------------------
    // One document by id. table and recId name the record the document is shown for: a document
    // of another record that shows there through a link is marked linked.
    void AssignToDokId(int pdId, const QString& table = {}, const QString& recId = {},
                       TVoskClass* recordClass = nullptr);
    // The documents of a record (its own and those linked to it), at most MaxDocuments, of one
    // type when dokType is set; with preferStandard the standard document is current.
    void AssignToRecNo(const QString& table, const QString& recId,
                       TVoskClass* recordClass = nullptr, const QString& dokType = {},
                       bool includeHidden = false, bool preferStandard = true);
    void LoadByRecord(const QString& table, const QString& recId, bool includeHidden);
    // The documents that carry the keyword (category, value) of a document-class key.
    void AssignToKeyword(const TDokuClassKey& key, bool includeHidden = false);
    void AssignToKeyword(const QString& category, const QString& value, bool includeHidden);
    // Loads what other loaded (query and parameters), positioned on its current document.
    void AssignQuery(const TDokument& other);
    // Browsing: one read-only pass over the documents of a record or keyword without keeping
    // them in the data class (which stays closed): only what a tree of documents shows and
    // checks is read, and the accessors below read the browsed row. For a thousand documents
    // this costs a fraction of a load. Any load ends it.
    void BrowseByRecord(const QString& table, const QString& recId, bool includeHidden);
    void BrowseByKeyword(const QString& category, const QString& value, bool includeHidden);
    // The same queued on a pipeline, to go with other reads in one round trip: the rows are
    // there once it has run. Returns the query's index there; the caller rethrows its error.
    int BrowseByRecord(TVoskPipeline& pipeline, const QString& table, const QString& recId,
                       bool includeHidden);
    int BrowseByKeyword(TVoskPipeline& pipeline, const QString& category, const QString& value,
                        bool includeHidden);
    int BrowseCount() const;
    bool BrowseTo(int row);
    void EndBrowse();
    bool Browsing() const { return bool(m_browse); }
    // Whether the accessors have a document to read: the current record, or the browsed row.
    bool HasDocument() const;
    // Whether the load stopped at MaxDocuments.
    bool LimitReached() const { return RecordCount() >= MaxDocuments; }

    // Parameters of the loading query by name ("pdtablename", "pddbrid", "rkategorie", "rvalue",
    // "pdid", "hidden"); FindParam is empty for one the query does not have, ParamByName throws.
    std::optional<QVariant> FindParam(const QString& name) const;
    QVariant ParamByName(const QString& name) const;

    // ---- events -------------------------------------------------------------------------------
    bool HasEvents() const;
    // Takes over the event handlers of another document object.
    void AssignEvents(const TDokument& other);

    // ---- the current document -----------------------------------------------------------------
    bool IsEmpty(bool requireActive = false) const;
    int Id() const;
    int RevisionId() const;
    QString IdText() const; // empty without a document
    QString TableName() const;
    QString RecordId() const;
    QString DokIdent() const;
    QString DokType() const;
    QString DokTypeDescr() const;
    // What the tree and captions show: the name, else the file name, else the path.
    QString Caption() const;
    QString FileName() const;
    QString OrigFileName() const; // the name the file had when it came in
    QString Path() const;
    QDateTime Date() const;
    // The date as lists and trees show it (dd.MM.yy hh:mm); empty without one.
    QString DateText() const;
    QString ParentNodeIdent() const;
    bool IsStandard() const;
    bool IsHidden() const;
    bool IsArchived() const;
    bool HasComments() const;
    bool IsChanged() const;   // marked as changed elsewhere: read it again before using it
    std::optional<bool> ListOutput() const;
    QString Report() const;
    bool HasReport() const;
    bool HasAutoExport() const;
    bool IsCheckedOut() const; // a working copy is recorded (by anyone)
    QString AutoExport() const;
    bool HasRevisions() const;
    bool IsLinked() const;    // shown for a record it does not belong to, through a link
    bool MakeVisible() const; // the tree opens its folders when only a few documents load
    QString EloRef() const;
    QString ReportPrinters() const;
    QStringList GetPrintersForReporting() const;
    QString LockUser() const;
    QString CheckoutPath() const;
    QDateTime CheckoutFileTime() const;
    bool CheckoutAskUser() const;

    bool EditBlocked() const;     // editing is blocked for the document (pd_edit_blocked)
    bool RevisionFlag() const;    // every take-back makes a new revision (pd_revision_flag)
    bool IsDelayedUpload() const; // the bytes live only in the holder's working copy

    bool isDMSDokument() const;     // its bytes are in the store
    bool isDMSViewDokument() const; // a viewer can show it
    bool isDMSEditDokument() const; // a viewer can edit it
    bool isFileLink() const;        // only a path outside the store
    bool isCustomFolder() const;
    bool ChangeAllowed() const;     // not archived, not blocked, not of a write-once type

    // ---- locks (Ukorvexclasses.Dokument.Lock.cpp) ---------------------------------------------
    // The login locks are taken for: the one the document's connection announced.
    QString LockLogin() const;
    // Locked by anyone; with othersOnly, by a user other than the logged-in one.
    bool isLocked(bool othersOnly = false) const;
    bool isLockedByMe() const;
    // The user's own lock, taken on another machine (pdr_lock_host): its working copy is not
    // here, so neither a take-back nor a local edit; the user may release it. A row without a
    // host counts as this machine's only while its working copy is here with the recorded file
    // time.
    bool LockedElsewhere() const;
    // Records this machine as the host of the user's own lock row that has none while its
    // working copy is here unchanged, so that the copy stays this machine's once it is edited.
    // True when it did; the object is not read again. Nothing happens inside a transaction.
    bool ClaimHostlessCheckout();
    static QString ThisHost();
    // "Gesperrt von NAME auf RECHNER seit DATUM"; empty when the document is not locked.
    QString GetLockedInfo() const;
    static QString LockedInfoText(const QString& user, const QDateTime& since, const QString& host);
    // The working copy of the logged-in user's check-out on this machine; empty when none.
    QString GetLockedPath() const;
    // Takes the lock of the current document for the user, or keeps it when it is the user's
    // already; another user's lock, or the user's own taken on another machine, refuses with
    // GetLockedInfo. With a path the document is
    // checked out: its stored bytes are written there (temp file, rename; an existing file is
    // never overwritten) and path, host, the copy's file time and "ask the user" are recorded,
    // all or nothing. Without one a recorded check-out stays.
    void LockRevision(const QString& checkoutPath = {});
    // The write lock of the current document for a save that goes on in the caller's open
    // transaction (the rows stay locked until it ends): its row and lock row re-read FOR UPDATE.
    // Another user's lock, or the user's own taken on another machine, refuses with the lock's
    // text; a row that is no longer the valid revision with EStaleRevision.
    void LockForSave();
    // A write refused because the document changed meanwhile: the row it started from is no
    // longer the valid revision. ValidId is the valid revision now (0 when the chain has none);
    // ChangedBy and ChangedAt tell who changed that row last, and when.
    class EStaleRevision : public EVoskException {
    public:
        EStaleRevision(const QString& message, int validId, QString changedBy, QDateTime changedAt)
            : EVoskException(message), ValidId(validId), ChangedBy(std::move(changedBy)),
              ChangedAt(std::move(changedAt)) {}
        const char* ClassName() const noexcept override { return "EStaleRevision"; }
        int ValidId;
        QString ChangedBy;
        QDateTime ChangedAt;
    };
    // Releases the user's own lock and check-out (the working copy stays on disk). Another
    // user's lock refuses with GetLockedInfo; an unlocked document is left as it is.
    void UnlockRevision();
    // Whether a document of the record (of dokType, when given) is locked, with othersOnly by
    // another user; msg then tells by whom, else it is emptied.
    static bool isLocked(const QString& table, const QString& recId, const QString& dokType,
                         bool othersOnly, QString& msg);
    // The file time of a working copy as the check-out records it and the watch compares it.
    static QDateTime FileTime(const QString& path);
    static QString FileTimeText(const QDateTime& time);

    // File types the viewers can show and edit (lower-case extensions without dot).
    static QStringList ViewerExtensions;
    static QStringList EditorExtensions;

    // ---- files --------------------------------------------------------------------------------
    // The name of the current document's file in the store.
    QString DMSRemoteFilename() const;
    // The store folder of a document type ("Rechnung/2024"); "Allgemein" for none.
    static QString DMSArchivePath(const QString& dokType, const QDateTime& date = {});
    // A fresh file name for a new stored file from a file name or an extension (".tiff").
    static QString DMSGenerateFileName(const QString& fileNameOrExt);
    // The archive identifier of the current document: mask with "*" replaced by the id; empty
    // gives null.
    QVariant DMSArchiveIdent(const QString& mask) const;
    bool DMSCheckRemoteStructure() const { return true; } // the store has no folders to make

    // A local copy of the current document's file: into target, or into the session's document
    // folder when target is empty. overwrite false keeps a copy that is there already; with
    // originalName the copy carries the file's own name, else "<id>_<name>". A file link gives
    // its own path. Returns the local path.
    QString DMSGetFile(const QString& target = {}, bool overwrite = true,
                       bool originalName = true);
    // The type's automatic export: a copy of the file in the export folder of the document or
    // its type, when one is set. Returns the path written, empty when there is none.
    QString DMSDoAutoExport();

    // A new document of the record (table, recId) holding the bytes; its type, ident, folder,
    // caption and source come from the insert data. Returns the new id; the object then holds
    // the new document.
    int DMSAddFileAsBLOB(QIODevice& source, const QString& fileName, const QString& table,
                         const QString& recId);
    int DMSAddFileAsBLOB(const QString& localFile, const QString& table, const QString& recId);
    // A new revision of the current document holding the bytes: a new row with the same
    // pd_revision_id becomes the valid one. Option member 1 (value 2) deletes the local source
    // file after the revision is stored. sourceKind is the kind ("file", "image"). Returns the
    // new id; the object then holds the new revision.
    int CreateNewRevision(QIODevice& source, int options, const QString& sourceKind,
                          const QString& fileName = {}, const QString& reserved = {});
    int CreateNewRevision(const QString& localFile, int options, const QString& sourceKind,
                          const QString& reserved1 = {}, const QString& reserved2 = {});
    static constexpr int roDeleteSource = 1 << 1;
    // Gives the current document a new file without a new revision; refused for archived
    // documents and documents with revisions.
    void DMSSetServerFile(const QString& localFile);
    void DMSSetServerFile(QIODevice& source, const QString& fileName);

    // ---- copies and checks --------------------------------------------------------------------
    // A copy of document pdId for the record (table, recId): a new row with its own copy of the
    // stored file, the same folder, type and description, and the document's keywords. With a
    // key the copy also carries the record's keyword. One transaction; returns the new id.
    static int CopyDokument(int pdId, const QString& table, const QString& recId,
                            const TDokuClassKey* key = nullptr);
    // Gives document pdId the keyword (category, value) that attaches it to a record, unless it
    // has it already.
    static void AttachKeyword(int pdId, const QString& category, const QString& value);
    // Whether a document of dokType may be added to the record, asked in one statement: the
    // record's lock (its text, empty when free), the user's right to add (action 2) and the
    // type's adding check.
    struct TAddingCheck {
        QString lockInfo;
        bool mayAdd = true;
        bool forbidden = false;
    };
    static TAddingCheck AddingCheck(const QString& table, const QString& recId,
                                    const QString& dokType);
    // The store refused a new document whose insert data asked for the adding check.
    class EAddingRefused : public EVoskException {
    public:
        EAddingRefused(const QString& message, TAddingCheck check)
            : EVoskException(message), Check(std::move(check)) {}
        const char* ClassName() const noexcept override { return "EAddingRefused"; }
        TAddingCheck Check;
    };

    // ---- inserting ----------------------------------------------------------------------------
    // A new document with a file name but no stored name gets DMSRemoteFilename as its stored
    // name: the caller writes the bytes there before the commit (the database checks it).
    // Post and Delete of an existing document refuse when another user holds its lock.
    // Deleting the valid revision of a document makes the newest remaining one valid.
    void Post(bool askBefore = true) override;
    void Delete() override;
    // Makes the revision pdId of the current document's chain the valid one, as a write: another
    // user's lock refuses it.
    void SetValidRevision(int pdId);
    void Insert();
    void Append();
    TDokumentInsertData& InsertData() { return m_insertData; }
    const TDokumentInsertData& InsertData() const { return m_insertData; }
    void SetInsertData(const TDokumentInsertData& data) { m_insertData = data; }
    void ClearInsertData() { m_insertData = {}; }
    // The insert data as one line for logs; empty when none is active.
    QString _InsertData_GetInfo() const;
    // A preview or scan not yet stored.
    bool NewDocumentFlag() const { return m_newDocument; }
    void SetNewDocumentFlag(bool on) { m_newDocument = on; }
    // The name of a new document as its preview shows it; empty while none is bound.
    std::function<QString()> NameQuery;

signals:
    // A write was refused with EStaleRevision; validId is the valid revision now. Emitted before
    // the refusal unwinds, inside the failing transaction: connect it queued.
    void revisionStale(int validId);

private:
    enum class StoreKind { NewDocument, NewRevision, ReplaceFile };
    // The document row and its revision row as a write sees them, locked until its transaction
    // ends. takeBackPath: the write stores the user's working copy from there.
    struct WriteLock {
        qint64 dbrid = 0;
        int revisionId = 0;
        QString dokType;
        bool archived = false;
        bool hasRevisions = false;
        QString remoteFile;
        QString lockUser;
        QString checkoutPath;
    };
    // Row: a write of the document's own fields (Post, Delete, the valid-revision switch), which
    // refuses a row turned hidden since it was read. Content: a write of bytes or annotations,
    // which refuses any hidden row.
    enum class WriteKind { Row, Content };
    WriteLock lockForWrite(int pdId, const QString& takeBackPath = {},
                           WriteKind kind = WriteKind::Row);
    [[noreturn]] void throwStale(int revisionId);
    bool sameUser(const QString& user) const;
    static bool sameHost(const QString& host, const QString& checkoutPath,
                         const QDateTime& checkoutTime);
    int storeFile(QIODevice& source, const QString& fileName, StoreKind kind,
                  const QString& table = {}, const QString& recId = {},
                  const QString& sourceKind = {});
    int storeNewDocument(QIODevice& source, const QString& fileName, const QString& table,
                         const QString& recId, const QString& sourceKind,
                         const QString& ctxTable, const QString& ctxRecId);
    static QString selectSql(const QString& where, const QString& order, bool treeColumns);
    // rows: the result of a write that returned the rows as this load reads them (not read again).
    void load(const QString& where, const QVariantMap& params, const QString& order = {},
              TVoskQuery2* rows = nullptr);
    // Runs the browse now, or queues it on the pipeline and returns its index there.
    int browse(const QString& where, const QVariantMap& params, TVoskPipeline* pipeline = nullptr);
    void applyInsertData();
    // The columns the accessors read. Their indexes are looked up once per open or browse, so
    // a tree of a thousand documents asking each of them per row hashes no names.
    enum Col : int {
        colId, colRevisionId, colTableName, colDbrid, colDokIdent, colDokType, colFileName,
        colOrigFileName, colPath, colDate, colParentNode, colStandard, colHidden, colArchived,
        colChanged, colRemoteFile, colCaption, colDokTypeDescr, colComment, colListOutput,
        colReport, colAutoExport, colHasRevisions, colLinked, colMakeVisible, colEloRef,
        colReportPrinters, colIsLink, colEditBlocked, colRevisionFlag, colDelayedUpload,
        colLockUser, colLockTime, colLockHost, colCheckoutPath, colCheckoutFileTime,
        colCheckoutAskUser, colWriteOnce, colTypeAutoExport,
        ColCount
    };
    static constexpr int kUnresolved = -2;
    int column(Col c) const;
    QVariant value(Col c) const;
    QString text(Col c) const;
    bool flag(Col c) const;
    bool has(Col c) const; // not null and not empty
    QString extension() const;

    TDokumentInsertData m_insertData;
    bool m_newDocument = false;
    QStringList m_paramNames;
    std::unique_ptr<TVoskQuery2> m_browse;
    int m_browseRow = -1;
    mutable std::array<int, ColCount> m_columns;
};

// The document types (dokutypes), read once per connection and again after Refresh.
class TDMSDokuTypes final {
public:
    static TDMSDokuTypes& Instance();
    void Refresh();
    bool Exists(const QString& dtId);
    QString Descr(const QString& dtId);
    bool WriteOnce(const QString& dtId);
    bool AutoRevision(const QString& dtId);
    QString AutoExportPath(const QString& dtId);
    QString ParentNodeId(const QString& dtId);
    // A configuration value of the type's dt_config ("ImportMode", "DefaultPath").
    QString Config(const QString& dtId, const QString& key, const QString& def = {});
    // The type whose documents land in the folder (its default first); empty for none.
    QString FindByParentNode(const QString& nodeId);
    // Any column by name; null for an unknown type or column.
    QVariant Value(const QString& dtId, const QString& column);

private:
    struct Row;
    void ensure();
    const Row* find(const QString& dtId);
    std::vector<std::shared_ptr<Row>> m_rows;
    QStringList m_columns;
    bool m_loaded = false;
    QString m_database;
};

inline TDMSDokuTypes& DMSDokuTypes() { return TDMSDokuTypes::Instance(); }
