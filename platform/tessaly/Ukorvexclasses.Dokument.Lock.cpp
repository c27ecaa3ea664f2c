// Locks and check-outs of documents. The lock row (picndoku_revision) is shared by all revisions
// of a document. Every statement names the user by the login of the document's own connection,
// so that another connection is another user.

#include "Ukorvexclasses.Dokument.h"

#include <Dataclient_files.h>
#include <FaultPoint.h>
#include <UDM1.h>
#include <VoskDatabase.h>
#include <VoskQuery2.h>
#include <VoskTransaction.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

namespace {

// The lock row of a document by its id, read for a refusal's text.
struct LockRow {
    QString user;
    QDateTime since;
    QString host;
};

LockRow readLockRow(TVoskDatabase& db, int pdId) {
    TVoskQuery2 q(&db, QStringLiteral("SELECT r.pdr_lock_user, r.pdr_lock_time, r.pdr_lock_host "
                                      "FROM picndoku d JOIN picndoku_revision r "
                                      "ON r.pdr_revision_id = d.pd_revision_id WHERE d.pd_id = :id"));
    q.Bind(QStringLiteral("id"), pdId).Open();
    if (q.IsEmpty())
        return {};
    return {q.Fields(0).AsString(), q.Fields(1).Value().toDateTime(), q.Fields(2).AsString()};
}

// Where the user's own lock was taken, for a row that does not say: not here.
QString ownLockHost(const QString& host) {
    return host.isEmpty() ? QStringLiteral("einem anderen Rechner") : host;
}

[[noreturn]] void throwNotFound() {
    throw EVoskException(17432, QStringLiteral("Dokument nicht gefunden."));
}

// The valid revision of a chain and its latest change, for a refusal's text.
struct ValidRow {
    int id = 0;
    QString by;
    QDateTime at;
};

ValidRow readValidRow(TVoskDatabase& db, int revisionId) {
    TVoskQuery2 q(&db, QStringLiteral("SELECT pd_id, coalesce(modified_by, insert_by), "
                                      "coalesce(modified_date, insert_date) FROM picndoku "
                                      "WHERE pd_revision_id = :rev AND NOT pd_deletable "
                                      "ORDER BY pd_id DESC LIMIT 1"));
    q.Bind(QStringLiteral("rev"), revisionId).Open();
    if (q.IsEmpty())
        return {};
    return {q.Fields(0).AsInteger(), q.Fields(1).AsString(), q.Fields(2).Value().toDateTime()};
}

} // namespace

QString TDokument::LockLogin() const { return Database().LoginName(); }

bool TDokument::sameUser(const QString& user) const {
    return user.compare(LockLogin(), Qt::CaseInsensitive) == 0;
}

QString TDokument::OrigFileName() const { return text(colOrigFileName); }
bool TDokument::EditBlocked() const { return flag(colEditBlocked); }
bool TDokument::RevisionFlag() const { return flag(colRevisionFlag); }
bool TDokument::IsDelayedUpload() const { return flag(colDelayedUpload); }

bool TDokument::isLocked(bool othersOnly) const {
    if (!has(colLockUser))
        return false;
    return !othersOnly || !sameUser(LockUser());
}

bool TDokument::isLockedByMe() const { return has(colLockUser) && sameUser(LockUser()); }

QString TDokument::ThisHost() {
    return QSysInfo::machineHostName();
}

bool TDokument::sameHost(const QString& host, const QString& checkoutPath,
                         const QDateTime& checkoutTime) {
    if (!host.isEmpty())
        return host.compare(ThisHost(), Qt::CaseInsensitive) == 0;
    // A row without a host (taken before hosts were recorded, or by another client) is this
    // machine's only when its working copy is here as the check-out wrote it: elsewhere the
    // same path may name another file.
    return !checkoutPath.isEmpty() && checkoutTime.isValid() &&
           FileTime(checkoutPath) == checkoutTime;
}

bool TDokument::LockedElsewhere() const {
    return isLockedByMe() &&
           !sameHost(text(colLockHost), CheckoutPath(), value(colCheckoutFileTime).toDateTime());
}

bool TDokument::ClaimHostlessCheckout() {
    if (!HasDocument() || !isLockedByMe() || has(colLockHost) || LockedElsewhere() ||
        Database().InTransaction())
        return false;
    // Recorded once the copy is known to be here: after an edit its file time no longer tells.
    TVoskQuery2 claim(
        &Database(),
        QStringLiteral("UPDATE picndoku_revision r SET pdr_lock_host = :host FROM picndoku d "
                       "WHERE d.pd_id = :id AND r.pdr_revision_id = d.pd_revision_id "
                       "AND coalesce(r.pdr_lock_host, '') = '' "
                       "AND lower(r.pdr_lock_user) = lower(:login) "
                       "AND r.pdr_checkout_path = :path AND r.pdr_checkout_filetime = :filetime"));
    claim.Bind(QStringLiteral("host"), ThisHost())
        .Bind(QStringLiteral("id"), Id())
        .Bind(QStringLiteral("login"), LockLogin())
        .Bind(QStringLiteral("path"), CheckoutPath())
        .Bind(QStringLiteral("filetime"), CheckoutFileTime());
    return claim.ExecSQL() > 0;
}

QString TDokument::LockedInfoText(const QString& user, const QDateTime& since,
                                  const QString& host) {
    QString info = QStringLiteral("Gesperrt von %1").arg(user);
    if (!host.isEmpty())
        info += QStringLiteral(" auf %1").arg(host);
    if (since.isValid())
        info += QStringLiteral(" seit %1").arg(since.toString(QStringLiteral("dd.MM.yyyy hh:mm")));
    return info;
}

QString TDokument::GetLockedInfo() const {
    if (!isLocked())
        return {};
    const QString host = text(colLockHost);
    return LockedInfoText(LockUser(), value(colLockTime).toDateTime(),
                          LockedElsewhere() ? ownLockHost(host) : host);
}

// A working copy at the recorded path is this machine's only when the lock was taken here;
// elsewhere the same path names another file.
QString TDokument::GetLockedPath() const {
    return isLockedByMe() && !LockedElsewhere() ? CheckoutPath() : QString();
}

QDateTime TDokument::FileTime(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    // What a timestamp column keeps: milliseconds.
    const QDateTime t = info.lastModified();
    return QDateTime::fromMSecsSinceEpoch(t.toMSecsSinceEpoch());
}

QString TDokument::FileTimeText(const QDateTime& time) {
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz"))
                          : QString();
}

TDokument::WriteLock TDokument::lockForWrite(int pdId, const QString& takeBackPath,
                                             WriteKind kind) {
    // What this object read of the row: a row read as valid and hidden now was replaced since.
    const bool readAsValid = HasRecord() && pdId == Id() && !IsHidden();
    TVoskQuery2 q(
        &Database(),
        QStringLiteral("SELECT d.dbrid, d.pd_revision_id, d.pd_doktype, d.pd_archive, "
                       "d.pd_dmsremotefile, r.pdr_lock_user, r.pdr_lock_time, r.pdr_lock_host, "
                       "r.pdr_checkout_path, EXISTS (SELECT 1 FROM picndoku o WHERE "
                       "o.pd_revision_id = d.pd_revision_id AND o.pd_id <> d.pd_id), "
                       "d.pd_deletable, r.pdr_checkout_filetime "
                       "FROM picndoku d JOIN picndoku_revision r "
                       "ON r.pdr_revision_id = d.pd_revision_id WHERE d.pd_id = :id FOR UPDATE"));
    q.Bind(QStringLiteral("id"), pdId).Open();
    if (q.IsEmpty()) {
        // A revision deleted since: the chain goes on with another one.
        if (readAsValid && RevisionId() > 0 && readValidRow(Database(), RevisionId()).id > 0)
            throwStale(RevisionId());
        throwNotFound();
    }
    WriteLock row;
    row.dbrid = q.Fields(0).AsLargeInt();
    row.revisionId = q.Fields(1).AsInteger();
    row.dokType = q.Fields(2).AsString();
    row.archived = q.Fields(3).AsBoolean();
    row.remoteFile = q.Fields(4).AsString();
    row.lockUser = q.Fields(5).AsString();
    row.checkoutPath = q.Fields(8).AsString();
    row.hasRevisions = q.Fields(9).AsBoolean();
    // The user's own lock taken on another machine guards a working copy there, as another
    // user's lock does.
    const QString lockHost = q.Fields(7).AsString();
    const bool ownLock = sameUser(row.lockUser);
    if (!row.lockUser.isEmpty() &&
        (!ownLock || !sameHost(lockHost, row.checkoutPath, q.Fields(11).Value().toDateTime())))
        throw EVoskException(LockedInfoText(row.lockUser, q.Fields(6).Value().toDateTime(),
                                            ownLock ? ownLockHost(lockHost) : lockHost));
    if (q.Fields(10).AsBoolean() && (readAsValid || kind == WriteKind::Content))
        throwStale(row.revisionId);
    if (!takeBackPath.isEmpty() && (row.lockUser.isEmpty() || row.checkoutPath != takeBackPath))
        throw EVoskException(
            QStringLiteral("Das Dokument ist nicht mehr von Ihnen ausgecheckt; die Arbeitskopie "
                           "\"%1\" wird nicht übernommen und bleibt erhalten.")
                .arg(takeBackPath));
    return row;
}

void TDokument::throwStale(int revisionId) {
    const ValidRow valid = readValidRow(Database(), revisionId);
    QString message = QStringLiteral("Das Dokument \"%1\" wurde inzwischen").arg(Caption());
    if (!valid.by.isEmpty())
        message += QStringLiteral(" von %1").arg(valid.by);
    if (valid.at.isValid())
        message +=
            QStringLiteral(" am %1").arg(valid.at.toString(QStringLiteral("dd.MM.yyyy hh:mm")));
    message += QStringLiteral(" geändert; die angezeigte Revision ist nicht mehr die gültige. "
                              "Es wurde nichts gespeichert.");
    emit revisionStale(valid.id);
    throw EStaleRevision(message, valid.id, valid.by, valid.at);
}

void TDokument::LockForSave() {
    if (!HasRecord())
        throwNotFound();
    if (!Database().InTransaction())
        throw EVoskException(
            QStringLiteral("TDokument.LockForSave: ohne Transaktion hielte die Sperre nicht"));
    lockForWrite(Id(), {}, WriteKind::Content);
}

void TDokument::LockRevision(const QString& checkoutPath) {
    if (!HasRecord() || RevisionId() <= 0)
        throw EVoskException(QStringLiteral("Dokument kann nicht gesperrt werden: keine Revision"));
    if (InEdit()) {
        if (Modified())
            throw EVoskException(
                QStringLiteral("Das Dokument wird gerade bearbeitet; bitte erst speichern"));
        Cancel();
    }
    const int pdId = Id();
    TVoskDatabase& db = Database();
    bool copyWritten = false;
    try {
        TVoskTransaction tx(db);
        // One statement takes the lock when it is free or already the user's, so of two users
        // at once exactly one wins; the other waits for the row and then finds it taken.
        TVoskQuery2 take(
            &db, QStringLiteral(
                     "UPDATE picndoku_revision r SET pdr_lock_user = :login, "
                     "pdr_lock_time = CASE WHEN r.pdr_lock_user IS NULL THEN localtimestamp "
                     "ELSE r.pdr_lock_time END, pdr_lock_host = :host "
                     "FROM picndoku d WHERE d.pd_id = :id AND r.pdr_revision_id = d.pd_revision_id "
                     "AND (r.pdr_lock_user IS NULL OR (lower(r.pdr_lock_user) = lower(:login) "
                     "AND (lower(r.pdr_lock_host) = lower(:host) OR "
                     "(coalesce(r.pdr_lock_host, '') = '' AND CAST(:hostlesshere AS boolean) "
                     "AND r.pdr_checkout_path = :path AND r.pdr_checkout_filetime = :filetime)))) "
                     "RETURNING r.pdr_revision_id, d.pd_dmsremotefile"));
        // The user's own lock without a host is kept only when its working copy is here.
        const bool hostlessHere = isLockedByMe() && !has(colLockHost) && !LockedElsewhere();
        take.Bind(QStringLiteral("login"), LockLogin())
            .Bind(QStringLiteral("host"), QSysInfo::machineHostName())
            .Bind(QStringLiteral("id"), pdId)
            .Bind(QStringLiteral("hostlesshere"), hostlessHere)
            .Bind(QStringLiteral("path"), hostlessHere ? QVariant(CheckoutPath()) : QVariant())
            .Bind(QStringLiteral("filetime"),
                  hostlessHere ? QVariant(CheckoutFileTime()) : QVariant())
            .Open();
        if (take.IsEmpty()) {
            const LockRow lock = readLockRow(db, pdId);
            if (lock.user.isEmpty())
                throwNotFound();
            throw EVoskException(LockedInfoText(
                lock.user, lock.since, sameUser(lock.user) ? ownLockHost(lock.host) : lock.host));
        }
        const int revisionId = take.Fields(0).AsInteger();
        const QString remote = take.Fields(1).AsString();
        if (!checkoutPath.isEmpty()) {
            if (remote.isEmpty())
                throw EVoskException(
                    QStringLiteral("Das Dokument \"%1\" hat keine Datei im DMS, die ausgecheckt "
                                   "werden könnte")
                        .arg(Caption()));
            if (QFileInfo::exists(checkoutPath))
                throw EVoskException(
                    QStringLiteral("Die Datei \"%1\" existiert bereits").arg(checkoutPath));
            if (!QDir().mkpath(QFileInfo(checkoutPath).absolutePath()))
                throw EVoskException(QStringLiteral("Der Ordner \"%1\" kann nicht angelegt werden")
                                         .arg(QFileInfo(checkoutPath).absolutePath()));
            // The bytes as stored now, not as this object read them.
            TDCFileMethods(&db).ReadFile(remote, checkoutPath);
            copyWritten = true;
            QFile::setPermissions(checkoutPath, QFile::permissions(checkoutPath) |
                                                    QFileDevice::WriteOwner |
                                                    QFileDevice::ReadOwner);
            TVoskQuery2 record(
                &db, QStringLiteral("UPDATE picndoku_revision SET pdr_checkout_path = :path, "
                                    "pdr_checkout_filetime = :filetime, "
                                    "pdr_checkout_ask_user = true WHERE pdr_revision_id = :rev"));
            record.Bind(QStringLiteral("path"), checkoutPath)
                .Bind(QStringLiteral("filetime"), FileTime(checkoutPath))
                .Bind(QStringLiteral("rev"), revisionId)
                .ExecSQL();
        }
        Rtl::FaultPoint("TDokument.LockRevision.commit");
        tx.Commit();
    } catch (...) {
        // A copy of a check-out that did not happen would be mistaken for a working copy.
        if (copyWritten)
            QFile::remove(checkoutPath);
        throw;
    }
    RefreshRecord();
}

void TDokument::UnlockRevision() {
    if (!HasRecord() || RevisionId() <= 0)
        return;
    if (InEdit())
        Cancel();
    const int pdId = Id();
    TVoskDatabase& db = Database();
    TVoskQuery2 release(
        &db, QStringLiteral(
                 "UPDATE picndoku_revision r SET pdr_lock_user = NULL, pdr_lock_time = NULL, "
                 "pdr_lock_host = NULL, pdr_checkout_path = NULL, pdr_checkout_filetime = NULL "
                 "FROM picndoku d WHERE d.pd_id = :id AND r.pdr_revision_id = d.pd_revision_id "
                 "AND lower(r.pdr_lock_user) = lower(:login)"));
    release.Bind(QStringLiteral("id"), pdId).Bind(QStringLiteral("login"), LockLogin());
    if (release.ExecSQL() == 0) {
        // Only the holder releases; an administrator takes the server procedure.
        const LockRow lock = readLockRow(db, pdId);
        if (!lock.user.isEmpty() && !sameUser(lock.user)) {
            RefreshRecord();
            throw EVoskException(LockedInfoText(lock.user, lock.since, lock.host));
        }
    }
    RefreshRecord();
}

bool TDokument::isLocked(const QString& table, const QString& recId, const QString& dokType,
                         bool othersOnly, QString& msg) {
    msg.clear();
    bool ok = false;
    const qint64 dbrid = recId.trimmed().toLongLong(&ok);
    if (table.isEmpty() || !ok)
        return false;
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        return false;
    TVoskQuery2 q(&dm->Database(),
                  QStringLiteral(
                      "SELECT r.pdr_lock_user, r.pdr_lock_time, r.pdr_lock_host "
                      "FROM picndoku d JOIN picndoku_revision r "
                      "ON r.pdr_revision_id = d.pd_revision_id "
                      "WHERE d.pd_tablename = :table AND d.pd_dbrid = :dbrid "
                      "AND NOT d.pd_deletable AND r.pdr_lock_user IS NOT NULL "
                      "AND (CAST(:doktype AS text) IS NULL OR d.pd_doktype = :doktype) "
                      "AND (NOT CAST(:others AS boolean) OR lower(r.pdr_lock_user) <> lower(:login)) "
                      "ORDER BY r.pdr_lock_time LIMIT 1"));
    q.Bind(QStringLiteral("table"), table)
        .Bind(QStringLiteral("dbrid"), dbrid)
        .Bind(QStringLiteral("doktype"), dokType.isEmpty() ? QVariant() : QVariant(dokType))
        .Bind(QStringLiteral("others"), othersOnly)
        .Bind(QStringLiteral("login"), dm->Database().LoginName())
        .Open();
    if (q.IsEmpty())
        return false;
    msg = LockedInfoText(q.Fields(0).AsString(), q.Fields(1).Value().toDateTime(),
                         q.Fields(2).AsString());
    return true;
}
