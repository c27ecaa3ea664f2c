#include "UFileViewerTIFF.Stamps.h"

#include "UFileViewerTIFF.h"

#include <AnnotChanges.h>
#include <Dataclient_files.h>
#include <Korvexutils.h>
#include <RtlDialog.h>
#include <SqlScanner.h>
#include <TUserRights.h>
#include <UDM1.h>
#include <UFileViewerTIFF.Pages.h>
#include <Ukorvexclasses.Dokument.h>
#include <VoskDatabase.h>
#include <VoskQuery2.h>

#include <UnitTable.h>

#include <QBuffer>
#include <QHash>

#include <memory>

namespace {

struct StampList {
    std::unique_ptr<TDokument> reader;
    QStringList lines;                // "name\t password"
    QHash<QString, QByteArray> cache; // pictures read so far
};

std::unique_ptr<StampList>& state() {
    static std::unique_ptr<StampList> s;
    return s;
}

const QString* lineOf(const QString& name) {
    if (!state())
        return nullptr;
    const QString prefix = name + u'\t';
    for (const QString& line : std::as_const(state()->lines))
        if (line.startsWith(prefix))
            return &line;
    return nullptr;
}

} // namespace

void TImageListLoader::LoadImages(TFileViewerFrameTIFF* ImageFrame) {
    if (DM1() && DM1()->Connected())
        EnsureLoaded();
    ImageFrame->SetOnGetImage([](TFileViewerFrameTIFF* Sender, const QString& name,
                                 QIODevice* Stream) { Stream->write(GetImage(Sender, name)); });
    ImageFrame->SetImageList(Names());
}

void TImageListLoader::EnsureLoaded() {
    if (state())
        return;
    auto list = std::make_unique<StampList>();
    list->reader = std::make_unique<TDokument>();
    list->reader->AssignToRecNo(QStringLiteral("dokseals"), QStringLiteral("0"), nullptr, {}, false,
                                false);
    for (list->reader->First(); !list->reader->Eof(); list->reader->Next()) {
        const QString name = list->reader->Path();
        if (name.isEmpty())
            continue;
        // The value keeps a leading blank, so a stamp without password still has a line.
        const QString line = name + QStringLiteral("\t ") + list->reader->DokIdent();
        bool known = false;
        for (QString& l : list->lines)
            if (l.startsWith(name + u'\t')) {
                l = line;
                known = true;
            }
        if (!known)
            list->lines.append(line);
    }
    state() = std::move(list);
}

QStringList TImageListLoader::DokImageList() {
    return state() ? state()->lines : QStringList();
}

QStringList TImageListLoader::Names() {
    QStringList names;
    for (const QString& line : DokImageList())
        names.append(line.left(line.indexOf(u'\t')));
    return names;
}

TDokument* TImageListLoader::DokImageReader() {
    return state() ? state()->reader.get() : nullptr;
}

void TImageListLoader::Unload() {
    state().reset();
}

QByteArray TImageListLoader::GetImage(QObject* sender, const QString& imageName) {
    Q_UNUSED(sender);
    EnsureLoaded();
    StampList& s = *state();
    if (!s.reader->Locate(QString::fromLatin1(TDokument::fnPath), imageName))
        throw EImagesException(
            17194, makeText(17194, QStringLiteral("Grafik in Datenbank nicht gefunden.")));
    if (!lineOf(imageName))
        return {};
    auto cached = s.cache.constFind(imageName);
    if (cached != s.cache.constEnd())
        return *cached;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    DCFileMethods().ReadFile(s.reader->DMSRemoteFilename(), buffer);
    s.cache.insert(imageName, bytes);
    return bytes;
}

bool TImageListLoader::HasPassword(const QString& imageName) {
    const QString* line = lineOf(imageName);
    if (!line)
        return false;
    return line->size() > line->indexOf(u'\t') + 2;
}

void TImageListLoader::CheckPassword(const QString& imageName) {
    if (!HasPassword(imageName))
        return;
    const QString* line = lineOf(imageName);
    const QString password = line->mid(line->indexOf(u'\t') + 2);
    // A cancelled dialog, or none that may be shown, is no answer at all: it never matches.
    const std::optional<QString> answer = RtlDialog::FAskPasswordEx(QString(), imageName);
    if (!answer || *answer != password)
        Korvexutils::RaiseCriticalError(makeText(4762, QStringLiteral("Passwort falsch")));
}

// ---- rights checks before a save ----------------------------------------------------------------

void Secure_DocumentCheck(const TPageList& Pages, const QList<TPageData*>& DeletedPages, int DokID,
                          const QString& DokType, const QString& DokIdent) {
    Q_UNUSED(DokIdent);
    bool deleted = false, added = false, changed = false;
    for (const TPageData* d : DeletedPages)
        deleted = deleted || d->FromIndex >= 0;
    for (int i = 0; i < Pages.ImageCount(); ++i) {
        const TPageData* d = Pages.UserData(i);
        if (!d)
            continue;
        if (d->FromIndex < 0)
            added = true;
        else if (d->FromIndex != i || (d->Loadet && d->CurImage != d->OldImage))
            changed = true;
    }
    if (added)
        TUserRights::CanDoDMSFileAction(DokType, DokID, 2, true);
    if (deleted)
        TUserRights::CanDoDMSFileAction(DokType, DokID, 3, true);
    if (changed)
        TUserRights::CanDoDMSFileAction(DokType, DokID, 1, true);
}

void Secure_AnnotationCheck(const TPageList& Pages, const QList<TPageData*>& DeletedPages,
                            int DokID, const QString& DokType, const QString& DokIdent) {
    bool changed = false;
    for (const TPageData* d : DeletedPages)
        changed = changed || (d->FromIndex >= 0 && !d->OldAnnot.isEmpty());
    for (int i = 0; i < Pages.ImageCount() && !changed; ++i)
        if (const TPageData* d = Pages.UserData(i); d && d->Loadet && d->CurAnnotX != d->OldAnnot)
            changed = true;
    if (changed)
        TUserRights::CanDoDMSFileAction(DokType, DokID, 4, true);
    QStringList placed, removed;
    ListChangedAnnot(Pages, DeletedPages, placed, removed, false);
    for (const QString& seal : std::as_const(placed))
        Secure_SealImageCheck(DokID, DokType, DokIdent, seal, smAdded);
    for (const QString& seal : std::as_const(removed))
        Secure_SealImageCheck(DokID, DokType, DokIdent, seal, smRemoved);
}

void Secure_SealImageCheck(int DokID, const QString& DokType, const QString& DokIdent,
                           const QString& DokSeal, TISealMode Mode) {
    Q_UNUSED(DokIdent);
    if (Mode == smAdded)
        TUserRights::CanDoDMSStampAction(DokType, DokSeal, TUserRights::UserKey(), DokID, 2, true);
}

// ---- database actions of a save -------------------------------------------------------------------

void Secure_DocumentSave(TDokument* Dokument) { Q_UNUSED(Dokument); }

void Secure_AnnotationSave(TDokument* Dokument, bool HasAnnotations) {
    TVoskQuery2 q(&Dokument->Database(),
                  QStringLiteral("UPDATE picndoku SET pd_dmscomment = :comment WHERE pd_id = :pdid"));
    q.Bind(QStringLiteral("comment"), HasAnnotations).Bind(QStringLiteral("pdid"), Dokument->Id());
    q.ExecSQL();
}

namespace {

const QString kInList = QStringLiteral("__InList");
const QString kKeywordSql = QStringLiteral(
    "SELECT r_descr \nFROM recnokeyword \nWHERE r_tablename='picndoku' \n  AND r_dbrid=:dbrid \n"
    "  AND COALESCE(r_kategorie,'')<>'internal system usage' \n  AND r_kategorie=:kategorie");

} // namespace

TStampSqlResolver::TStampSqlResolver(QString DokType, QString DokSeal, TFieldLookup Field,
                                     TKeywordLookup Keywords)
    : m_dokType(std::move(DokType)),
      m_dokSeal(std::move(DokSeal)),
      m_field(std::move(Field)),
      m_keywords(std::move(Keywords)) {}

QVariant TStampSqlResolver::resolve(const QString& name) {
    if (auto it = m_values.constFind(name); it != m_values.constEnd())
        return *it;
    QVariant value;
    bool found = true;
    if (name.compare(QLatin1String("dm_doktype"), Qt::CaseInsensitive) == 0)
        value = m_dokType.isEmpty() ? QVariant() : QVariant(m_dokType);
    else if (name.compare(QLatin1String("dm_dokseal"), Qt::CaseInsensitive) == 0)
        value = m_dokSeal.isEmpty() ? QVariant() : QVariant(m_dokSeal);
    else if (m_field && m_field(name, value))
        ;
    else {
        ++m_lookups;
        const QStringList rows = m_keywords ? m_keywords(name, false) : QStringList();
        found = !rows.isEmpty();
        if (found)
            value = rows.first();
    }
    if (!found)
        throw EVoskException(QStringLiteral("Stempel-SQL: Parameter \"%1\" nicht gefunden.").arg(name));
    m_values.insert(name, value);
    return value;
}

void TStampSqlResolver::Resolve(const QString& sql) {
    m_sql = sql.trimmed();
    if (!m_sql.endsWith(u';'))
        m_sql += u';';
    for (bool again = true; again;) {
        again = false;
        for (const Dunmere::SqlMarker& m : Dunmere::ScanSql(m_sql)) {
            if (m.kind != Dunmere::SqlMarker::Param || Dunmere::IsSessionParam(m.name))
                continue;
            if (m.name.endsWith(kInList, Qt::CaseInsensitive) && !m_values.contains(m.name) &&
                m.name.size() > kInList.size()) {
                ++m_lookups;
                const QStringList rows =
                    m_keywords ? m_keywords(m.name.left(m.name.size() - kInList.size()), true)
                               : QStringList();
                QStringList list;
                for (const QString& row : rows) {
                    const QString key = QStringLiteral("ssAnnotTemp_%1").arg(m_values.size());
                    m_values.insert(key, row);
                    list << u':' + key;
                }
                const QString text = list.isEmpty() ? QStringLiteral("'*internal system usage*'")
                                                    : list.join(QStringLiteral(", "));
                m_sql = Dunmere::ReplaceParam(m_sql, m.name, u'(' + text + u')');
                again = true;
                break;
            }
            resolve(m.name);
        }
    }
}

QStringList TStampSqlResolver::Statements() const { return Dunmere::SplitStatements(m_sql); }

QVariant TStampSqlResolver::Value(const QString& name) const { return m_values.value(name); }

void ExecStampSql(TVoskDatabase& db, const TStampSqlResolver& resolved) {
    for (const QString& statement : resolved.Statements()) {
        TVoskQuery2 q(&db, statement);
        for (const Dunmere::SqlMarker& m : Dunmere::ScanSql(statement))
            // The session's parameters are the query's own to fill.
            if (m.kind == Dunmere::SqlMarker::Param && !Dunmere::IsSessionParam(m.name)) {
                TVoskParam* p = q.FindParam(m.name);
                if (p && !p->Bound())
                    p->SetValue(resolved.Value(m.name));
            }
        q.ExecSQL();
    }
}

void Secure_SealImageSave(TDokument* Dokument, const QString& DokSeal, TISealMode Mode) {
    TVoskDatabase& db = Dokument->Database();
    const QString dokType = Dokument->DokType();
    try {
        TVoskQuery2 find(&db, QStringLiteral(
                                  "SELECT dss_insertsql, dss_deletesql, dss_bez \nFROM doksealsql \n"
                                  "WHERE dss_dt_id=:dm_doktype \n  AND dss_pd_id=(SELECT pd_id \n"
                                  "                 FROM picndoku \n"
                                  "                 WHERE pd_tablename='dokseals' AND pd_dbrid=0 AND "
                                  "pd_path=:dm_dokseal \n                 LIMIT 1);"));
        find.Bind(QStringLiteral("dm_doktype"), dokType).Bind(QStringLiteral("dm_dokseal"), DokSeal);
        find.Open();
        if (find.IsEmpty())
            return;
        const QString sql = find.Fields(Mode == smAdded ? 0 : 1).AsString().trimmed();
        find.Close();
        if (sql.isEmpty())
            return;
        if (DM1())
            DM1()->LogEvent(QStringLiteral("Stempel-SQL gefunden: ") + sql);
        const qint64 dbrid = Dokument->FieldByName(QStringLiteral("dbrid")).AsLargeInt();
        TStampSqlResolver resolver(
            dokType, DokSeal,
            [Dokument](const QString& name, QVariant& value) {
                if (Dokument->FieldIndex(name) < 0)
                    return false;
                value = Dokument->FieldByName(name).Value();
                return true;
            },
            [&db, dbrid](const QString& category, bool all) {
                TVoskQuery2 q(&db, kKeywordSql + (all ? QStringLiteral(";") : QStringLiteral(" \nLIMIT 1; ")));
                q.Bind(QStringLiteral("dbrid"), dbrid).Bind(QStringLiteral("kategorie"), category);
                q.Open();
                QStringList rows;
                for (; !q.Eof(); q.Next())
                    rows << q.Fields(0).AsString();
                return rows;
            });
        resolver.Resolve(sql);
        ExecStampSql(db, resolver);
    } catch (...) {
        const QString cause = Rtl::ExceptionMessage(std::current_exception());
        throw EVoskException(
            QStringLiteral("Stempelaktion konnte nicht ausgeführt werden.\r\n\r\nDokId=%1   "
                           "DokType=\"%2\"   DokSeal=\"%3\"\r\n\r\n%4")
                .arg(Dokument->Id())
                .arg(dokType, DokSeal, cause));
    }
}

namespace {

void InitUnit() {
    TFileViewerFrameTIFF::StampHasPassword.Set(&TImageListLoader::HasPassword);
}

void FiniUnit() {
    TFileViewerFrameTIFF::StampHasPassword.Reset();
    TImageListLoader::Unload();
}

} // namespace

KORVEX_UNIT("hadrel", "UFileViewerTIFF.Stamps", InitUnit, FiniUnit);
