#pragma once
// The file methods of the data-server client: the store of document bytes. The store is the
// database itself, so every client of it sees the same files and a dump backs them up. A stored
// file is one large object under a relative name ("Rechnung/2024/Scan_....tiff") in the table
// dms_file, with its SHA-256 (and MD5) and size taken while the bytes stream through in 1 MiB chunks;
// nothing is ever held whole in memory.
//
// Rules every caller can rely on:
// - Names are relative '/' paths: no leading '/', no backslash, no "." or ".." segment, no empty
//   segment, no control character. Any other name is refused before anything is read or written.
// - A name is written once. Writing an existing name is refused; a new revision is a new name.
// - Writes run inside the connection's transaction when one is open (as a savepoint, so a failed
//   write leaves the caller's earlier work in place), else in one of their own; a file of one
//   chunk is a single statement then, which is its own transaction. A caller whose
//   save spans several writes (the file, its document rows, per-page data, stamp SQL) opens a
//   TVoskTransaction on Database() first and commits once: until then no other client sees any
//   of it, and a failure or a lost connection leaves neither row nor large object behind.
// - Reads check the SHA-256 and size recorded at write time.
//
// Extending it: per-page reads and annotation slots belong here too, keyed by the stored name
// and a page number, written in the same transaction as the file (see RunInTransaction), and
// refused for names CheckRemoteName refuses.

#include <VoskExceptions.h>

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QIODevice;
class TVoskDatabase;
class TVoskQuery2;
class TVoskTransaction;

// A refusal or failure of the store; Message() is the German text for the user and names the file.
class EDCFileError : public EVoskException {
public:
    using EVoskException::EVoskException;
    const char* ClassName() const noexcept override { return "EDCFileError"; }
    // "Datei im Dokumentenspeicher fehlt: NAME"
    static EDCFileError Missing(const QString& name);
};

// A stored file as dms_file records it.
struct TDCStoredFile {
    QString name;
    unsigned int oid = 0;
    QByteArray sha256; // lower-case hex
    QByteArray md5;    // lower-case hex; only WriteFile knows it (documents keep it in pd_md5)
    qint64 size = 0;
    QString createdBy;
    QDateTime createdAt;
};

class TDCFileMethods final {
public:
    static constexpr qint64 ChunkSize = 1 << 20;

    // The store on db; without one, the connection of the global data module at each call.
    explicit TDCFileMethods(TVoskDatabase* db = nullptr);

    TVoskDatabase& Database() const;

    // Throws EDCFileError "Ungültiger Dateiname im Dokumentenspeicher: NAME" for a name that is
    // not a plain relative path (see above).
    static void CheckRemoteName(const QString& name);
    static bool IsValidRemoteName(const QString& name);

    bool FileExists(const QString& name);
    std::optional<TDCStoredFile> FileInfo(const QString& name);

    // Streams source from its current position to its end into a new large object under name.
    // Refuses an existing name ("Datei im Dokumentenspeicher existiert bereits: NAME").
    TDCStoredFile WriteFile(QIODevice& source, const QString& name);
    TDCStoredFile WriteFile(const QString& localFile, const QString& name);
    // The same inside the caller's open transaction or savepoint on this store's connection,
    // which undoes the file with the caller's rows when it fails: no savepoint of its own.
    TDCStoredFile WriteFile(QIODevice& source, const QString& name,
                            const TVoskTransaction& within);

    // Stores source under name together with the caller's rows, as one unit: rows holds the
    // rest of a statement that begins "WITH dms_stored AS (INSERT INTO dms_file ... RETURNING
    // name, oid, sha256, size, created_by, created_at, md5)" (further CTEs start with a comma),
    // its parameters bound. It is open with its result afterwards. Outside a transaction a file
    // of one chunk costs that one statement; a larger one streams inside a transaction first.
    void WriteFile(QIODevice& source, const QString& name, TVoskQuery2& rows);

    // Streams the stored bytes into target (appended at its position). A missing row or object:
    // EDCFileError "Datei im Dokumentenspeicher fehlt: NAME"; bytes that do not match their
    // recorded hash: "Datei im Dokumentenspeicher ist beschädigt: NAME".
    void ReadFile(const QString& name, QIODevice& target);
    // Streams into a new file beside localFile, synced to disk, then renamed over localFile (an
    // older copy, also a read-only one, is replaced; a failure leaves it as it was). Returns the
    // path written.
    QString ReadFile(const QString& name, const QString& localFile);

    // Renames a stored file; refuses a missing source or an existing target. Rows that name the
    // file must be changed in the same transaction: the database checks that at commit.
    void MoveFile(const QString& from, const QString& to);

    // Removes a stored file with its page index and annotation data; its large object goes with
    // the row (in the same transaction). A name not stored does nothing; a document row that
    // still names the file refuses.
    void DeleteFile(const QString& name);

    // The data server's notice that a file was added; nothing to do when the store is the
    // database.
    void NotifyFileAdded(const QString& name) { (void)name; }

    // Runs work inside a transaction of the store's connection (a savepoint when one is open)
    // and commits it; a throw rolls it back and passes on.
    void RunInTransaction(const std::function<void()>& work);

    // ---- pages of stored TIFF files (Dataclient_files.Pages.cpp) ----------------------------
    // Writing a TIFF records its page count and where each page's directory starts, so that
    // these read one page without walking the file. A record that disagrees with the file is
    // rebuilt once.
    int GetImageCount(const QString& name);
    // Page (from 0) as a one-page TIFF, its compressed data copied unchanged (a page of
    // old-style JPEG, which cannot be copied so, written anew as JPEG).
    QByteArray ReadImage(const QString& name, int page);
    // The whole file in memory (for files the viewers split themselves), checked as a chunked
    // read is: up to OneResultSize in one round trip, a larger one read in chunks straight into
    // a buffer of its recorded size and hashed as they arrive.
    static constexpr qint64 OneResultSize = 32 << 20;
    QByteArray ReadFile(const QString& name);
    // The same, or nothing when no file of that name is recorded (saves asking first); a
    // recorded file whose bytes are gone or damaged throws as ReadFile.
    std::optional<QByteArray> ReadFileIfStored(const QString& name);
    // The file to read in place, in blocks where the reader seeks (a preview reads only what it
    // shows): nothing is copied, and nothing is checked, as the recorded hash covers the whole
    // file. A missing file: EDCFileError as ReadFile; a failed read later is a failed read of
    // the device.
    std::unique_ptr<QIODevice> OpenRead(const QString& name);
    // The page's annotation data; empty when it has none.
    QByteArray ReadAnnotation(const QString& name, int page);
    // The annotation data of pages 0 .. count - 1 in one query; empty for a page without.
    QList<QByteArray> ReadAnnotations(const QString& name, int count);
    // Stores the page's annotation data in place of what it had; null or empty removes it.
    void WriteAnnotation(const QByteArray* data, const QString& name, int page);
    // Gives file to the annotation data of every page of file from (a new revision of a document
    // starts with the annotations of the one before; each keeps its own afterwards).
    void CopyAnnotations(const QString& from, const QString& to);

private:
    // The row of a stored file whose large object exists; EDCFileError "... fehlt" otherwise.
    TDCStoredFile storedObject(const QString& name);
    // Inside a transaction, or outside one when the write is a unit of its own: then one is
    // opened only when the file needs more than one statement.
    TDCStoredFile writeFile(QIODevice& source, const QString& name, TVoskQuery2* rows);
    TDCStoredFile writeUnit(QIODevice& source, const QString& name, TVoskQuery2* rows);
    // The page index of a TIFF at hand whole, as dms_file_pages holds it; none for other files.
    static std::optional<QString> pagesLiteral(const char* data, qint64 size);
    // The stored object's bytes, of the recorded size and hash (EDCFileError otherwise).
    QByteArray readWhole(const QString& name, unsigned int oid, qint64 size, const QByteArray& sha256);
    // Records the page directories of a TIFF just written from source (read from its start at
    // position begin when it can seek, else from the stored object).
    void recordPages(QIODevice& source, qint64 begin, const QString& name, unsigned int oid);
    QList<quint64> pageOffsets(const QString& name, bool rebuild);
    TVoskDatabase* m_db = nullptr;
};

// The file methods of the client data module (VoskDM_Fallowby_Client's), on DM1's connection.
TDCFileMethods& DCFileMethods();
