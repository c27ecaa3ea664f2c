#include "Ukorvexclasses.Dokument.h"

#include "TUserRights.h"

#include <Dataclient_files.h>
#include <FaultPoint.h>
#include <Korvexcommon.h>
#include <StrUtils.h>
#include <UDM1.h>
#include <UDokuClassKey.h>
#include <VoskDatabase.h>
#include <VoskPipeline.h>
#include <VoskQuery2.h>
#include <VoskTransaction.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSysInfo>

#include <sys/stat.h>

Rtl::HookSlot<QObject*(QObject*, TDokument*, bool)> TDokument::_ShowDokument;
Rtl::HookSlot<QObject*(QObject*, TDokument*, bool)> TDokument::_OpenDokument;
Rtl::HookSlot<QObject*(QObject*, int, bool)> TDokument::_OpenDokumentC;
Rtl::HookSlot<void(TDokument*, const QString&)> TDokument::_PrintTIFF;
Rtl::HookSlot<void(TDokument*, const QString&)> TDokument::_PrintImage;
Rtl::HookSlot<void(TDokument*, const QString&)> TDokument::_ExportTIFFAsPDF;

QStringList TDokument::ViewerExtensions = {
    QStringLiteral("tif"), QStringLiteral("tiff"), QStringLiteral("pdf"), QStringLiteral("png"),
    QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("bmp"), QStringLiteral("gif")};
QStringList TDokument::EditorExtensions = {QStringLiteral("tif"), QStringLiteral("tiff")};

namespace {

// The documents with their lock row, type and computed flags. The :ctx parameters name the
// record the documents are shown for; a row of another record is linked there.
const QString kSelect = QStringLiteral(
    "SELECT %1,\n"
    "  coalesce(nullif(picndoku.pd_descr, ''), picndoku.pd_dokumentfile, picndoku.pd_path) "
    "AS pd_caption,\n"
    "  r.pdr_lock_user, r.pdr_lock_time, r.pdr_lock_host, r.pdr_checkout_path,\n"
    "  r.pdr_checkout_filetime, r.pdr_checkout_ask_user,\n"
    "  t.dt_descr, coalesce(t.dt_write_once, false) AS dt_write_once, t.dt_autoexportpath,\n"
    "  EXISTS (SELECT 1 FROM picndoku o WHERE o.pd_revision_id = picndoku.pd_revision_id\n"
    "           AND o.pd_id <> picndoku.pd_id) AS pd_hasrevisions,\n"
    "  (CAST(:ctxtable AS text) IS NOT NULL AND NOT (picndoku.pd_tablename = "
    "CAST(:ctxtable AS text)\n"
    "      AND picndoku.pd_dbrid = CAST(:ctxdbrid AS bigint))) AS pd_linked\n"
    "FROM %2\n"
    "LEFT JOIN %3 r ON r.pdr_revision_id = picndoku.pd_revision_id\n"
    "LEFT JOIN dokutypes t ON t.dt_id = picndoku.pd_doktype\n");

// What a tree of many documents reads of each: the roles the tree, the state display and the
// current document's checks use.
const QString kTreeColumns = QStringLiteral(
    "picndoku.dbrid, picndoku.pd_id, picndoku.pd_tablename, picndoku.pd_descr, "
    "picndoku.pd_dokumentfile, picndoku.pd_doktype, picndoku.pd_parentnodeident, "
    "picndoku.pd_date, picndoku.pd_print, picndoku.pd_deletable, picndoku.pd_archive, "
    "picndoku.pd_dmscomment, picndoku.pd_islink, picndoku.pd_listoutput, picndoku.pd_report, "
    "picndoku.pd_autoexport, picndoku.pd_makevisible, picndoku.pd_edit_blocked, "
    "picndoku.pd_dmsremotefile");

const QString kHiddenFilter =
    QStringLiteral(" AND (CAST(:hidden AS boolean) OR NOT picndoku.pd_deletable)");

// A record id as the dbrid it names; null (which matches nothing) for one that is not a number.
QVariant dbridParam(const QString& recId) {
    bool ok = false;
    const qint64 v = recId.trimmed().toLongLong(&ok);
    return ok ? QVariant(v) : QVariant();
}

QVariant textParam(const QString& text) { return text.isEmpty() ? QVariant() : QVariant(text); }

// The keywords of one document row (:olddbrid) given to another (:newdbrid).
const QString kCopyKeywords = QStringLiteral(
    "INSERT INTO recnokeyword (r_classname, r_oid, r_tablename, r_dbrid, r_kategorie, r_descr, "
    "r_not, r_value, r_min, r_max, r_unit, r_txt, r_reg_pname) SELECT r_classname, r_oid, "
    "r_tablename, :newdbrid, r_kategorie, r_descr, r_not, r_value, r_min, r_max, r_unit, r_txt, "
    "r_reg_pname FROM recnokeyword WHERE r_tablename = 'picndoku' AND r_dbrid = :olddbrid");

// A file or folder name part without what would make it a path.
QString cleanNamePart(const QString& text, const QString& fallback) {
    QString s = text.trimmed();
    for (QChar& c : s)
        if (c == u'/' || c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u'_';
    if (s.size() > 80)
        s.truncate(80);
    while (s.startsWith(u'.'))
        s.remove(0, 1);
    return s.trimmed().isEmpty() ? fallback : s;
}

// A stored file's name as it leaves the store (an export, a copy): nothing in it that would
// make it a path, cut as every exit cuts (255 bytes, the extension kept). A name the store
// generated keeps its time stamp and unique suffix through the cut; any other name that has to
// be cut ends in the document's id instead, so that two documents never leave under one name.
QString exitFileName(const QString& name, const QString& fallback, const QString& id = {}) {
    QString s = QFileInfo(name).fileName().trimmed();
    for (QChar& c : s)
        if (c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u'_';
    while (s.startsWith(u'.'))
        s.remove(0, 1);
    if (s.trimmed().isEmpty())
        return fallback;
    constexpr qsizetype kMaxBytes = 255;
    if (QFile::encodeName(s).size() <= kMaxBytes)
        return s;
    static const QRegularExpression generated(
        QStringLiteral("_\\d{8}-\\d{9}-[0-9a-f]{6}(?=(\\.[^.]*)?$)"));
    QString tail = generated.match(s).captured();
    if (tail.isEmpty() && !id.isEmpty()) {
        tail = u'_' + id;
        // Before the extension, as the cut takes one.
        const qsizetype dot = s.lastIndexOf(u'.');
        const bool hasExt = dot > 0 && QFile::encodeName(s.mid(dot)).size() <= 32;
        s = hasExt ? s.left(dot) + tail + s.mid(dot) : s + tail;
    }
    return Rtl::FitFileName(s, kMaxBytes, tail);
}

} // namespace

TDokument::TDokument(QObject* owner) : TVoskClass2(owner) {
    SetSqlTable(QStringLiteral("picndoku"));
    SetDescription(QStringLiteral("Dokument"));
    // The columns may change with every open.
    m_columns.fill(kUnresolved);
    connect(this, &TVoskClass::AboutToReset, this, [this] { m_columns.fill(kUnresolved); });
}

TDokument::~TDokument() = default;

TDokument* TDokument::Instance() {
    static QPointer<TDokument> instance;
    if (!instance)
        instance = new TDokument();
    return instance;
}

// ---- hooks -------------------------------------------------------------------------------------

QObject* TDokument::ShowDokument(QObject* owner, bool pageAdmin) {
    return _ShowDokument(owner, this, pageAdmin);
}

QObject* TDokument::OpenDokument(QObject* owner, bool readOnly) {
    return _OpenDokument(owner, this, readOnly);
}

QObject* TDokument::OpenDokument(QObject* owner, int pdId, bool readOnly) {
    return _OpenDokumentC(owner, pdId, readOnly);
}

void TDokument::Print(const QString& printer, quintptr window) {
    (void)window;
    const bool tiff = EditorExtensions.contains(extension());
    const auto& slot = tiff ? _PrintTIFF : _PrintImage;
    if (!slot.Assigned())
        throw EVoskException(
            QStringLiteral("Das Drucken von Dokumenten ist in dieser Installation nicht verfügbar"));
    slot(this, printer);
}

// ---- loading -----------------------------------------------------------------------------------

QString TDokument::selectSql(const QString& where, const QString& order, bool treeColumns) {
    return kSelect.arg(treeColumns ? kTreeColumns : QStringLiteral("picndoku.*"),
                       QStringLiteral("picndoku"), QStringLiteral("picndoku_revision")) +
           QStringLiteral("WHERE ") + where + QStringLiteral("\nORDER BY ") +
           (order.isEmpty() ? QStringLiteral("picndoku.pd_id") : order) +
           QStringLiteral("\nLIMIT %1").arg(MaxDocuments);
}

void TDokument::load(const QString& where, const QVariantMap& params, const QString& order,
                     TVoskQuery2* rows) {
    if (InEdit())
        Cancel();
    EndBrowse();
    SetQuerySql(selectSql(where, order, false));
    ClearParams();
    m_paramNames.clear();
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        SetParam(it.key(), it.value());
        m_paramNames << it.key();
    }
    if (rows)
        OpenFrom(*rows);
    else
        Open();
    if (ClaimHostlessCheckout())
        RefreshRecord();
}

namespace {
QVariantMap dokIdParams(int pdId, const QString& table, const QString& recId) {
    return {{QStringLiteral("pdid"), pdId},
            {QStringLiteral("ctxtable"), textParam(table)},
            {QStringLiteral("ctxdbrid"), dbridParam(recId)}};
}
const QString kDokIdWhere = QStringLiteral("picndoku.pd_id = CAST(:pdid AS integer)");
} // namespace

void TDokument::AssignToDokId(int pdId, const QString& table, const QString& recId,
                              TVoskClass* recordClass) {
    (void)recordClass;
    load(kDokIdWhere, dokIdParams(pdId, table, recId));
}

namespace {
// A record's documents: its own and those of other records linked to it. The ids of both are
// each found by an index; an OR of both conditions the server could only answer by reading
// every document.
const QString kRecordWhere = QStringLiteral(
    "picndoku.pd_id IN (SELECT pd_id FROM picndoku\n"
    "    WHERE pd_tablename = CAST(:pdtablename AS text) AND pd_dbrid = CAST(:pddbrid AS bigint)\n"
    "  UNION ALL SELECT pdl_pd_id FROM picndokulink\n"
    "    WHERE pdl_tablename = CAST(:pdtablename AS text)\n"
    "      AND pdl_dbrid = CAST(:pddbrid AS bigint))\n"
    " AND (CAST(:doktype AS text) IS NULL OR picndoku.pd_doktype = CAST(:doktype AS text))");
const QString kKeywordWhere =
    QStringLiteral("picndoku.dbrid IN (SELECT r_dbrid FROM recnokeyword\n"
                   "    WHERE r_kategorie = CAST(:rkategorie AS text)\n"
                   "      AND r_descr = CAST(:rvalue AS text) AND r_tablename = 'picndoku')");

QVariantMap recordParams(const QString& table, const QString& recId, const QString& dokType,
                         bool includeHidden) {
    return {{QStringLiteral("pdtablename"), table},
            {QStringLiteral("pddbrid"), dbridParam(recId)},
            {QStringLiteral("doktype"), textParam(dokType)},
            {QStringLiteral("hidden"), includeHidden},
            {QStringLiteral("ctxtable"), textParam(table)},
            {QStringLiteral("ctxdbrid"), dbridParam(recId)}};
}

QVariantMap keywordParams(const QString& category, const QString& value, bool includeHidden) {
    return {{QStringLiteral("rkategorie"), category},
            {QStringLiteral("rvalue"), value},
            {QStringLiteral("hidden"), includeHidden},
            {QStringLiteral("ctxtable"), QVariant()},
            {QStringLiteral("ctxdbrid"), QVariant()}};
}
} // namespace

void TDokument::AssignToRecNo(const QString& table, const QString& recId, TVoskClass* recordClass,
                              const QString& dokType, bool includeHidden, bool preferStandard) {
    (void)recordClass;
    load(kRecordWhere + kHiddenFilter, recordParams(table, recId, dokType, includeHidden),
         preferStandard ? QStringLiteral("picndoku.pd_print DESC, picndoku.pd_id") : QString());
}

void TDokument::LoadByRecord(const QString& table, const QString& recId, bool includeHidden) {
    AssignToRecNo(table, recId, nullptr, {}, includeHidden, false);
}

void TDokument::AssignToKeyword(const TDokuClassKey& key, bool includeHidden) {
    AssignToKeyword(key.Category, key.Value, includeHidden);
}

void TDokument::AssignToKeyword(const QString& category, const QString& value,
                                bool includeHidden) {
    load(kKeywordWhere + kHiddenFilter, keywordParams(category, value, includeHidden));
}

// ---- browsing ----------------------------------------------------------------------------------

int TDokument::browse(const QString& where, const QVariantMap& params, TVoskPipeline* pipeline) {
    if (InEdit())
        Cancel();
    Close();
    auto q = std::make_unique<TVoskQuery2>(&Database(), selectSql(where, {}, true));
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        if (q->FindParam(it.key()))
            q->Bind(it.key(), it.value());
    const int index = pipeline ? pipeline->Add(*q) : -1;
    if (!pipeline)
        q->Open();
    m_columns.fill(kUnresolved);
    m_browse = std::move(q);
    m_browseRow = 0;
    return index;
}

void TDokument::BrowseByRecord(const QString& table, const QString& recId, bool includeHidden) {
    browse(kRecordWhere + kHiddenFilter, recordParams(table, recId, {}, includeHidden));
}

void TDokument::BrowseByKeyword(const QString& category, const QString& value,
                                bool includeHidden) {
    browse(kKeywordWhere + kHiddenFilter, keywordParams(category, value, includeHidden));
}

int TDokument::BrowseByRecord(TVoskPipeline& pipeline, const QString& table, const QString& recId,
                              bool includeHidden) {
    return browse(kRecordWhere + kHiddenFilter, recordParams(table, recId, {}, includeHidden),
                  &pipeline);
}

int TDokument::BrowseByKeyword(TVoskPipeline& pipeline, const QString& category,
                               const QString& value, bool includeHidden) {
    return browse(kKeywordWhere + kHiddenFilter, keywordParams(category, value, includeHidden),
                  &pipeline);
}

int TDokument::BrowseCount() const { return m_browse ? m_browse->RecordCount() : 0; }

bool TDokument::BrowseTo(int row) {
    if (!m_browse || row < 0 || row >= m_browse->RecordCount())
        return false;
    m_browseRow = row;
    return true;
}

void TDokument::EndBrowse() {
    if (!m_browse)
        return;
    m_browse.reset();
    m_columns.fill(kUnresolved);
}

bool TDokument::HasDocument() const {
    return m_browse ? m_browseRow >= 0 && m_browseRow < m_browse->RecordCount() : HasRecord();
}

void TDokument::AssignQuery(const TDokument& other) {
    if (InEdit())
        Cancel();
    SetQuerySql(other.QuerySql());
    ClearParams();
    m_paramNames = other.m_paramNames;
    for (const QString& name : m_paramNames)
        SetParam(name, other.Param(name));
    if (QuerySql().isEmpty()) {
        Close();
        return;
    }
    Open();
    if (other.HasRecord())
        Locate(QString::fromLatin1(fnId), other.Id());
}

std::optional<QVariant> TDokument::FindParam(const QString& name) const {
    for (const QString& n : m_paramNames)
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return Param(n);
    return std::nullopt;
}

QVariant TDokument::ParamByName(const QString& name) const {
    if (auto v = FindParam(name))
        return *v;
    throw EVoskException(QStringLiteral("Parameter \"%1\" nicht gefunden").arg(name));
}

// ---- events ------------------------------------------------------------------------------------

bool TDokument::HasEvents() const {
    return BeforePost || AfterPost || BeforeInsert || AfterInsert || BeforeEdit || AfterEdit ||
           BeforeDelete || AfterDelete || BeforeRefresh || AfterRefresh;
}

void TDokument::AssignEvents(const TDokument& other) {
    BeforePost = other.BeforePost;
    AfterPost = other.AfterPost;
    BeforeInsert = other.BeforeInsert;
    AfterInsert = other.AfterInsert;
    BeforeEdit = other.BeforeEdit;
    AfterEdit = other.AfterEdit;
    BeforeDelete = other.BeforeDelete;
    AfterDelete = other.AfterDelete;
    BeforeRefresh = other.BeforeRefresh;
    AfterRefresh = other.AfterRefresh;
}

// ---- the current document ----------------------------------------------------------------------

namespace {
constexpr const char* kColumnNames[] = {
    TDokument::fnId, TDokument::fnRevisionId, TDokument::fnTableName, TDokument::fnDbrid,
    TDokument::fnDokIdent, TDokument::fnDokType, TDokument::fnFileName,
    TDokument::fnOrigFileName, TDokument::fnPath, TDokument::fnDate, TDokument::fnParentNode,
    TDokument::fnStandard, TDokument::fnHidden, TDokument::fnArchived, TDokument::fnChanged,
    TDokument::fnRemoteFile, "pd_caption", "dt_descr", "pd_dmscomment", "pd_listoutput",
    "pd_report", "pd_autoexport", "pd_hasrevisions", "pd_linked", "pd_makevisible",
    "pd_elo_ref", "pd_reportprinters", "pd_islink", "pd_edit_blocked", "pd_revision_flag",
    "pd_delayed_upload", "pdr_lock_user", "pdr_lock_time", "pdr_lock_host",
    "pdr_checkout_path", "pdr_checkout_filetime", "pdr_checkout_ask_user", "dt_write_once",
    "dt_autoexportpath"};
} // namespace

int TDokument::column(Col c) const {
    static_assert(std::size(kColumnNames) == ColCount);
    int& col = m_columns[size_t(c)];
    if (col == kUnresolved) {
        const QString name = QString::fromLatin1(kColumnNames[c]);
        col = m_browse ? m_browse->FieldIndex(name) : FieldIndex(name);
    }
    return col;
}

QVariant TDokument::value(Col c) const {
    if (!HasDocument())
        return {};
    const int col = column(c);
    if (col < 0)
        return {};
    return m_browse ? m_browse->ValueAt(m_browseRow, col) : ValueRef(CurrentRow(), col);
}

QString TDokument::text(Col c) const {
    if (m_browse) {
        const int col = HasDocument() ? column(c) : -1;
        if (col < 0 || m_browse->IsNullAt(m_browseRow, col))
            return {};
        const std::string_view raw = m_browse->RawAt(m_browseRow, col);
        return QString::fromUtf8(raw.data(), qsizetype(raw.size()));
    }
    const QVariant v = value(c);
    return v.isNull() ? QString() : v.toString();
}

bool TDokument::has(Col c) const {
    if (m_browse) {
        const int col = HasDocument() ? column(c) : -1;
        return col >= 0 && !m_browse->IsNullAt(m_browseRow, col) &&
               !m_browse->RawAt(m_browseRow, col).empty();
    }
    const QVariant v = value(c);
    return !v.isNull() && !v.toString().isEmpty();
}

bool TDokument::flag(Col c) const {
    if (m_browse) {
        const int col = HasDocument() ? column(c) : -1;
        return col >= 0 && !m_browse->IsNullAt(m_browseRow, col) &&
               m_browse->RawAt(m_browseRow, col) == "t";
    }
    const QVariant v = value(c);
    return !v.isNull() && v.toBool();
}

bool TDokument::IsEmpty(bool requireActive) const {
    return requireActive ? !HasRecord() : TVoskClass::IsEmpty();
}
int TDokument::Id() const { return value(colId).toInt(); }
int TDokument::RevisionId() const { return value(colRevisionId).toInt(); }
QString TDokument::IdText() const { return text(colId); }
QString TDokument::TableName() const { return text(colTableName); }
QString TDokument::RecordId() const { return text(colDbrid); }
QString TDokument::DokIdent() const { return text(colDokIdent); }
QString TDokument::DokType() const { return text(colDokType); }
QString TDokument::DokTypeDescr() const { return text(colDokTypeDescr); }
QString TDokument::Caption() const { return text(colCaption); }
QString TDokument::FileName() const { return text(colFileName); }
QString TDokument::Path() const { return text(colPath); }
QDateTime TDokument::Date() const { return value(colDate).toDateTime(); }
QString TDokument::DateText() const {
    if (m_browse) {
        // A browsed row's text is rearranged as it came: a QDateTime in local time would cost
        // a time-zone lookup per row for the same figures.
        const int col = HasDocument() ? column(colDate) : -1;
        if (col < 0 || m_browse->IsNullAt(m_browseRow, col))
            return {};
        const std::string_view r = m_browse->RawAt(m_browseRow, col);
        const auto digit = [&r](size_t i) { return r[i] >= '0' && r[i] <= '9'; };
        if (r.size() >= 16 && r[4] == '-' && r[7] == '-' && r[10] == ' ' && r[13] == ':' &&
            digit(0) && digit(1) && digit(2) && digit(3) && digit(5) && digit(6) && digit(8) &&
            digit(9) && digit(11) && digit(12) && digit(14) && digit(15) && !r.ends_with("BC")) {
            const char text[] = {r[8], r[9], '.', r[5], r[6], '.', r[2], r[3],
                                 ' ', r[11], r[12], ':', r[14], r[15]};
            return QString::fromLatin1(text, qsizetype(sizeof text));
        }
    }
    const QDateTime d = Date();
    return d.isValid() ? d.toString(QStringLiteral("dd.MM.yy hh:mm")) : QString();
}
QString TDokument::ParentNodeIdent() const { return text(colParentNode); }
bool TDokument::IsStandard() const { return flag(colStandard); }
bool TDokument::IsHidden() const { return flag(colHidden); }
bool TDokument::IsArchived() const { return flag(colArchived); }
bool TDokument::HasComments() const { return flag(colComment); }
bool TDokument::IsChanged() const { return flag(colChanged); }
std::optional<bool> TDokument::ListOutput() const {
    const QVariant v = value(colListOutput);
    if (v.isNull())
        return std::nullopt;
    return v.toBool();
}
QString TDokument::Report() const { return text(colReport); }
bool TDokument::HasReport() const { return has(colReport); }
bool TDokument::HasAutoExport() const { return has(colAutoExport); }
bool TDokument::IsCheckedOut() const { return has(colCheckoutPath); }
QString TDokument::AutoExport() const { return text(colAutoExport); }
bool TDokument::HasRevisions() const { return flag(colHasRevisions); }
bool TDokument::IsLinked() const { return flag(colLinked); }
bool TDokument::MakeVisible() const { return flag(colMakeVisible); }
QString TDokument::EloRef() const { return text(colEloRef); }
QString TDokument::ReportPrinters() const { return text(colReportPrinters); }
QStringList TDokument::GetPrintersForReporting() const {
    return ReportPrinters().split(u'*', Qt::SkipEmptyParts);
}
QString TDokument::LockUser() const { return text(colLockUser); }
QString TDokument::CheckoutPath() const { return text(colCheckoutPath); }
QDateTime TDokument::CheckoutFileTime() const {
    return value(colCheckoutFileTime).toDateTime();
}
bool TDokument::CheckoutAskUser() const { return flag(colCheckoutAskUser); }

QString TDokument::extension() const {
    return QFileInfo(FileName().isEmpty() ? Path() : FileName()).suffix().toLower();
}

bool TDokument::isDMSDokument() const { return has(colRemoteFile); }
bool TDokument::isFileLink() const { return flag(colIsLink); }
bool TDokument::isCustomFolder() const {
    return HasDocument() && !isDMSDokument() && !isFileLink() && !has(colFileName) &&
           !has(colDokType);
}
bool TDokument::isDMSViewDokument() const {
    return (isDMSDokument() || isFileLink()) && ViewerExtensions.contains(extension());
}
bool TDokument::isDMSEditDokument() const {
    return isDMSDokument() && EditorExtensions.contains(extension());
}
bool TDokument::ChangeAllowed() const {
    return HasDocument() && !IsArchived() && !flag(colEditBlocked) && !flag(colWriteOnce);
}

// ---- files -------------------------------------------------------------------------------------

QString TDokument::DMSArchivePath(const QString& dokType, const QDateTime& date) {
    (void)date;
    return cleanNamePart(dokType, QStringLiteral("Allgemein"));
}

QString TDokument::DMSGenerateFileName(const QString& fileNameOrExt) {
    const QFileInfo info(fileNameOrExt);
    QString ext = info.suffix();
    QString base = info.completeBaseName();
    if (fileNameOrExt.startsWith(u'.') && !fileNameOrExt.mid(1).contains(u'.')) {
        ext = fileNameOrExt.mid(1);
        base.clear();
    }
    base = cleanNamePart(base, QStringLiteral("Dokument"));
    ext = cleanNamePart(ext, QString()).toLower();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmsszzz"));
    const QString unique = QString::number(QRandomGenerator::global()->generate() & 0xffffff, 16)
                               .rightJustified(6, u'0');
    QString name = base + u'_' + stamp + u'-' + unique;
    if (!ext.isEmpty())
        name += u'.' + ext;
    return name;
}

QString TDokument::DMSRemoteFilename() const {
    const QString stored = text(colRemoteFile);
    if (!stored.isEmpty() || FileName().isEmpty())
        return stored;
    return DMSArchivePath(DokType()) + u'/' + FileName();
}

QVariant TDokument::DMSArchiveIdent(const QString& mask) const {
    if (mask.isEmpty() || !HasRecord())
        return {};
    QString ident = mask;
    ident.replace(QStringLiteral("***"), IdText());
    ident.replace(u'*', IdText());
    return ident;
}

QString TDokument::DMSGetFile(const QString& target, bool overwrite, bool originalName) {
    if (!HasRecord())
        throw EVoskException(17432, QStringLiteral("Dokument nicht gefunden."));
    if (isFileLink() && !isDMSDokument()) {
        if (!QFileInfo::exists(Path()))
            throw EVoskException(QStringLiteral("Datei existiert nicht: %1").arg(Path()));
        return Path();
    }
    if (!isDMSDokument())
        throw EVoskException(QStringLiteral("Das Dokument \"%1\" hat keine Datei").arg(Caption()));
    QString fileName = text(colOrigFileName);
    if (fileName.isEmpty())
        fileName = FileName();
    fileName = exitFileName(fileName, QStringLiteral("Dokument"));
    if (!originalName)
        fileName = exitFileName(IdText() + u'_' + fileName, fileName);
    QString path;
    if (target.isEmpty())
        path = CurrentSession_UConstants().TempDir() + QStringLiteral("/Dokumente/") + IdText() +
               u'/' + fileName;
    else if (QFileInfo(target).isDir() || target.endsWith(u'/'))
        path = QDir(target).filePath(fileName);
    else
        path = target;
    if (!overwrite && QFileInfo::exists(path))
        return path;
    TDCFileMethods store(&Database());
    return store.ReadFile(DMSRemoteFilename(), path);
}

QString TDokument::DMSDoAutoExport() {
    if (!isDMSDokument())
        return {};
    QString folder = AutoExport();
    if (folder.isEmpty())
        folder = text(colTypeAutoExport);
    if (folder.isEmpty())
        return {};
    return DMSGetFile(
        QDir(folder).filePath(exitFileName(FileName(), QStringLiteral("Dokument"), IdText())), true,
        true);
}

int TDokument::storeFile(QIODevice& source, const QString& fileName, StoreKind kind,
                         const QString& table, const QString& recId, const QString& sourceKind) {
    if (InEdit()) {
        if (Modified())
            throw EVoskException(
                QStringLiteral("Das Dokument wird gerade bearbeitet; bitte erst speichern"));
        Cancel();
    }
    if (kind != StoreKind::NewDocument && !HasRecord())
        throw EVoskException(17432, QStringLiteral("Dokument nicht gefunden."));
    TVoskDatabase& db = Database();
    TDCFileMethods store(&db);
    const QVariant ctxTable = Param(QStringLiteral("ctxtable"));
    const QVariant ctxDbrid = Param(QStringLiteral("ctxdbrid"));
    // A new revision starts with the annotations of the one before; each keeps its own after.
    const QString previousRemote = kind == StoreKind::NewRevision ? DMSRemoteFilename() : QString();
    const QString ctxTableText = ctxTable.isNull() ? table : ctxTable.toString();
    const QString ctxRecText = ctxDbrid.isNull() ? recId : ctxDbrid.toString();
    if (kind == StoreKind::NewDocument)
        return storeNewDocument(source, fileName, table, recId, sourceKind, ctxTableText,
                                ctxRecText);
    const int currentId = Id();
    int newId = 0;
    {
        TVoskTransaction tx(db);
        // The row as it is now, held until commit: another user's lock, archiving or a newer
        // revision since it was read refuses the write; so does a take-back whose check-out is
        // gone.
        const QString checkout = CheckoutPath();
        const WriteLock cur = lockForWrite(
            currentId, !checkout.isEmpty() && fileName == checkout ? checkout : QString(),
            WriteKind::Content);
        if (kind == StoreKind::ReplaceFile && cur.archived)
            throw EVoskException(QStringLiteral(
                "Das Dokument ist archiviert; seine Datei kann nur als neue Revision "
                "ersetzt werden"));
        if (kind == StoreKind::ReplaceFile && cur.hasRevisions)
            throw EVoskException(QStringLiteral(
                "Das Dokument hat Revisionen; seine Datei kann nur als neue Revision "
                "ersetzt werden"));
        const QString storedName = DMSGenerateFileName(fileName);
        const QString remote = DMSArchivePath(cur.dokType) + u'/' + storedName;
        const TDCStoredFile stored = store.WriteFile(source, remote, tx);
        Rtl::FaultPoint("TDokument.storeFile.rows");
        const QString origName = QFileInfo(fileName).fileName();
        const QVariant kindText = textParam(sourceKind);
        switch (kind) {
        case StoreKind::NewDocument: // written by storeNewDocument
            break;
        case StoreKind::NewRevision: {
            TVoskQuery2 ins(
                &db,
                QStringLiteral(
                    "INSERT INTO picndoku (pd_tablename, pd_dbrid, pd_descr, pd_path, "
                    "pd_revision_id, pd_dokident, pd_doktype, pd_dokumentfile, pd_origfilename, "
                    "pd_path_user, pd_txt, pd_parentnodeident, pd_print, pd_listoutput, "
                    "pd_report, pd_autoexport, pd_reportprinters, pd_source, pd_dmshash, pd_md5, "
                    "pd_dmsremotefile, pd_dmsremotefiledoktype, pd_deletable) "
                    "SELECT pd_tablename, pd_dbrid, pd_descr, pd_path, pd_revision_id, "
                    "pd_dokident, pd_doktype, :file, coalesce(:orig, pd_origfilename), "
                    "pd_path_user, pd_txt, pd_parentnodeident, pd_print, pd_listoutput, "
                    "pd_report, pd_autoexport, pd_reportprinters, coalesce(:source, pd_source), "
                    ":hash, :md5, :remote, pd_doktype, false FROM picndoku WHERE pd_id = :id "
                    "RETURNING pd_id, dbrid"));
            ins.Bind(QStringLiteral("file"), storedName)
                .Bind(QStringLiteral("orig"), textParam(origName))
                .Bind(QStringLiteral("source"), kindText)
                .Bind(QStringLiteral("hash"), QString::fromLatin1(stored.sha256))
                .Bind(QStringLiteral("md5"), QString::fromLatin1(stored.md5))
                .Bind(QStringLiteral("remote"), remote)
                .Bind(QStringLiteral("id"), currentId);
            ins.Open();
            newId = ins.Fields(0).AsInteger();
            const qint64 newDbrid = ins.Fields(1).AsLargeInt();
            if (TDCFileMethods::IsValidRemoteName(previousRemote))
                store.CopyAnnotations(previousRemote, remote);
            // The older revisions stay with their files, hidden; keywords, record links and
            // report links go on with the valid one.
            const QVariantMap ids{{QStringLiteral("rev"), cur.revisionId},
                                  {QStringLiteral("new"), newId},
                                  {QStringLiteral("old"), currentId},
                                  {QStringLiteral("newdbrid"), newDbrid},
                                  {QStringLiteral("olddbrid"), cur.dbrid}};
            const QString statements[] = {
                QStringLiteral("UPDATE picndoku SET pd_deletable = true, pd_print = false "
                               "WHERE pd_revision_id = :rev AND pd_id <> :new"),
                kCopyKeywords,
                QStringLiteral(
                    "INSERT INTO picndokulink (pdl_pd_id, pdl_tablename, pdl_dbrid, "
                    "pdl_dokident, pdl_neu, pdl_checked, pdl_revert, pdl_comment, pdl_txt) "
                    "SELECT :new, pdl_tablename, pdl_dbrid, pdl_dokident, pdl_neu, pdl_checked, "
                    "pdl_revert, pdl_comment, pdl_txt FROM picndokulink WHERE pdl_pd_id = :old"),
                QStringLiteral("INSERT INTO report_dokument_link (rdl_rad_id, rdl_pd_id) "
                               "SELECT rdl_rad_id, :new FROM report_dokument_link "
                               "WHERE rdl_pd_id = :old")};
            for (const QString& sql : statements) {
                TVoskQuery2 q(&db, sql);
                for (auto it = ids.cbegin(); it != ids.cend(); ++it)
                    if (q.FindParam(it.key()))
                        q.Bind(it.key(), it.value());
                q.ExecSQL();
            }
            break;
        }
        case StoreKind::ReplaceFile: {
            TVoskQuery2 upd(&db, QStringLiteral(
                                     "UPDATE picndoku SET pd_dokumentfile = :file, "
                                     "pd_origfilename = coalesce(:orig, pd_origfilename), "
                                     "pd_dmshash = :hash, pd_md5 = :md5, pd_dmsremotefile = :remote, "
                                     "pd_dmsremotefiledoktype = pd_doktype, pd_islink = false, "
                                     "pd_source = coalesce(:source, pd_source) WHERE pd_id = :id"));
            upd.Bind(QStringLiteral("file"), storedName)
                .Bind(QStringLiteral("orig"), textParam(origName))
                .Bind(QStringLiteral("hash"), QString::fromLatin1(stored.sha256))
                .Bind(QStringLiteral("md5"), QString::fromLatin1(stored.md5))
                .Bind(QStringLiteral("remote"), remote)
                .Bind(QStringLiteral("source"), kindText)
                .Bind(QStringLiteral("id"), currentId);
            upd.ExecSQL();
            newId = currentId;
            break;
        }
        }
        store.NotifyFileAdded(remote);
        Rtl::FaultPoint("TDokument.storeFile.commit");
        tx.Commit();
    }
    AssignToDokId(newId, ctxTableText, ctxRecText);
    return newId;
}

int TDokument::storeNewDocument(QIODevice& source, const QString& fileName, const QString& table,
                                const QString& recId, const QString& sourceKind,
                                const QString& ctxTable, const QString& ctxRecId) {
    TVoskDatabase& db = Database();
    const bool d = m_insertData.Active;
    const QString dokType = d ? m_insertData.DokType : QString();
    const QString storedName = DMSGenerateFileName(fileName);
    const QString remote = DMSArchivePath(dokType) + u'/' + storedName;
    const QString origName = QFileInfo(fileName).fileName();
    const bool check = d && m_insertData.CheckAdding;
    // File, revision row and document row in the statement that stores the bytes, which also
    // returns the document as a load reads it: a file of one chunk costs one round trip.
    TVoskQuery2 rows(
        &db,
        QStringLiteral(
            ", dms_rev AS (INSERT INTO picndoku_revision DEFAULT VALUES RETURNING *), "
            "picndoku_new AS (INSERT INTO picndoku (pd_tablename, pd_dbrid, pd_descr, "
            "pd_dokident, pd_doktype, pd_dokumentfile, pd_origfilename, pd_parentnodeident, "
            "pd_source, pd_dmshash, pd_md5, pd_dmsremotefile, pd_dmsremotefiledoktype, "
            "pd_revision_id) SELECT :table, CAST(:dbrid AS bigint), :descr, :ident, :type, :file, "
            ":orig, :parent, :source, s.sha256, s.md5, s.name, :type, r.pdr_revision_id "
            "FROM dms_stored s, dms_rev r%1 RETURNING *) ")
            .arg(check ? QStringLiteral(" WHERE picndoku_adding_guard(:table, :recid, :type, "
                                        "CAST(:admin AS boolean), CAST(:mitnr AS integer))")
                       : QString()) +
            kSelect.arg(QStringLiteral("picndoku.*"), QStringLiteral("picndoku_new picndoku"),
                        QStringLiteral("dms_rev")));
    if (check) {
        TDM1* dm = DM1();
        rows.Bind(QStringLiteral("recid"), recId.trimmed())
            .Bind(QStringLiteral("admin"), dm && dm->IsAdmin())
            .Bind(QStringLiteral("mitnr"), dm ? dm->MitNr() : 0);
    }
    rows.Bind(QStringLiteral("table"), table)
        .Bind(QStringLiteral("dbrid"), dbridParam(recId))
        .Bind(QStringLiteral("descr"),
              textParam(d && !m_insertData.Name.isEmpty() ? m_insertData.Name
                                                          : QFileInfo(origName).completeBaseName()))
        .Bind(QStringLiteral("ident"), textParam(d ? m_insertData.DokIdent : QString()))
        .Bind(QStringLiteral("type"), textParam(dokType))
        .Bind(QStringLiteral("file"), storedName)
        .Bind(QStringLiteral("orig"), textParam(origName))
        .Bind(QStringLiteral("parent"), textParam(d ? m_insertData.ParentNodeIdent : QString()))
        .Bind(QStringLiteral("source"),
              textParam(!sourceKind.isEmpty()                       ? sourceKind
                        : d && !m_insertData.Source.isEmpty() ? m_insertData.Source
                                                              : QStringLiteral("file")))
        .Bind(QStringLiteral("ctxtable"), textParam(ctxTable))
        .Bind(QStringLiteral("ctxdbrid"), dbridParam(ctxRecId));
    // Nothing is sent before these: a failure there leaves nothing behind.
    Rtl::FaultPoint("TDokument.storeFile.rows");
    Rtl::FaultPoint("TDokument.storeFile.commit");
    TDCFileMethods store(&db);
    try {
        store.WriteFile(source, remote, rows);
    } catch (const EVoskDatabaseError& e) {
        const QString state = e.SqlState();
        if (!check || !state.startsWith(QLatin1String("KXA0")))
            throw;
        TAddingCheck refused;
        if (state == QLatin1String("KXA01"))
            refused.lockInfo = e.ServerMessage();
        else if (state == QLatin1String("KXA02"))
            refused.mayAdd = false;
        else
            refused.forbidden = true;
        throw EAddingRefused(e.ServerMessage(), refused);
    }
    store.NotifyFileAdded(remote);
    const int newId = rows.FieldByName(QString::fromLatin1(fnId)).AsInteger();
    load(kDokIdWhere, dokIdParams(newId, ctxTable, ctxRecId), {}, &rows);
    return newId;
}

namespace {
void openForReading(QFile& file) {
    if (!file.open(QIODevice::ReadOnly))
        throw EVoskException(QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden: %2")
                                 .arg(file.fileName(), file.errorString()));
}
} // namespace

int TDokument::DMSAddFileAsBLOB(QIODevice& source, const QString& fileName, const QString& table,
                                const QString& recId) {
    if (table.isEmpty() || dbridParam(recId).isNull())
        throw EVoskException(
            QStringLiteral("Ein Dokument braucht Tabelle und Datensatz (%1 %2)").arg(table, recId));
    return storeFile(source, fileName, StoreKind::NewDocument, table, recId);
}

int TDokument::DMSAddFileAsBLOB(const QString& localFile, const QString& table,
                                const QString& recId) {
    QFile file(localFile);
    openForReading(file);
    return DMSAddFileAsBLOB(file, localFile, table, recId);
}

int TDokument::CreateNewRevision(QIODevice& source, int options, const QString& sourceKind,
                                 const QString& fileName, const QString& reserved) {
    (void)options;
    (void)reserved;
    if (HasRecord() && isCustomFolder())
        throw EVoskException(QStringLiteral("Ein Ordner hat keine Revisionen"));
    const QString name = fileName.isEmpty() ? FileName() : fileName;
    return storeFile(source, name.isEmpty() ? QStringLiteral(".bin") : name,
                     StoreKind::NewRevision, {}, {}, sourceKind);
}

int TDokument::CreateNewRevision(const QString& localFile, int options, const QString& sourceKind,
                                 const QString& reserved1, const QString& reserved2) {
    (void)reserved1;
    (void)reserved2;
    int newId = 0;
    {
        QFile file(localFile);
        openForReading(file);
        newId = CreateNewRevision(file, options, sourceKind, localFile);
    }
    if (options & roDeleteSource)
        QFile::remove(localFile);
    return newId;
}

void TDokument::DMSSetServerFile(QIODevice& source, const QString& fileName) {
    storeFile(source, fileName, StoreKind::ReplaceFile);
}

void TDokument::DMSSetServerFile(const QString& localFile) {
    QFile file(localFile);
    openForReading(file);
    DMSSetServerFile(file, localFile);
}

// ---- copies and checks ----------------------------------------------------------------------

int TDokument::CopyDokument(int pdId, const QString& table, const QString& recId,
                            const TDokuClassKey* key) {
    if (table.isEmpty() || dbridParam(recId).isNull())
        throw EVoskException(
            QStringLiteral("Ein Dokument braucht Tabelle und Datensatz (%1 %2)").arg(table, recId));
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        throw EVoskException(QStringLiteral("Keine Verbindung zur Datenbank"));
    TVoskDatabase& db = dm->Database();
    int newId = 0;
    TVoskTransaction tx(db);
    TVoskQuery2 src(&db, QStringLiteral("SELECT dbrid, pd_dmsremotefile, pd_doktype, "
                                        "coalesce(pd_origfilename, pd_dokumentfile) "
                                        "FROM picndoku WHERE pd_id = :id FOR SHARE"));
    src.Bind(QStringLiteral("id"), pdId).Open();
    if (src.IsEmpty())
        throw EVoskException(17432, QStringLiteral("Dokument nicht gefunden."));
    const qint64 oldDbrid = src.Fields(0).AsLargeInt();
    const QString oldRemote = src.Fields(1).AsString();
    QString newRemote;
    if (!oldRemote.isEmpty()) {
        // Its own bytes: a later type change or revision of either one leaves the other intact.
        newRemote = DMSArchivePath(src.Fields(2).AsString()) + u'/' +
                    DMSGenerateFileName(src.Fields(3).AsString());
        TVoskQuery2 copy(&db, QStringLiteral("SELECT dms_file_copy(:from, :to)"));
        copy.Bind(QStringLiteral("from"), oldRemote).Bind(QStringLiteral("to"), newRemote).Open();
    }
    TVoskQuery2 ins(
        &db,
        QStringLiteral(
            "INSERT INTO picndoku (pd_tablename, pd_dbrid, pd_descr, pd_path, pd_dokident, "
            "pd_doktype, pd_dokumentfile, pd_origfilename, pd_path_user, pd_txt, "
            "pd_parentnodeident, pd_islink, pd_source, pd_dmshash, pd_md5, pd_dmsremotefile, "
            "pd_dmsremotefiledoktype) "
            "SELECT :table, CAST(:dbrid AS bigint), pd_descr, pd_path, pd_dokident, pd_doktype, "
            "CASE WHEN CAST(:remote AS text) IS NULL THEN pd_dokumentfile "
            "ELSE regexp_replace(CAST(:remote AS text), '^.*/', '') END, "
            "pd_origfilename, pd_path_user, pd_txt, pd_parentnodeident, pd_islink, pd_source, "
            "pd_dmshash, pd_md5, CAST(:remote AS text), pd_dmsremotefiledoktype "
            "FROM picndoku WHERE pd_id = :id RETURNING pd_id, dbrid"));
    ins.Bind(QStringLiteral("table"), table)
        .Bind(QStringLiteral("dbrid"), dbridParam(recId))
        .Bind(QStringLiteral("remote"), textParam(newRemote))
        .Bind(QStringLiteral("id"), pdId);
    ins.Open();
    newId = ins.Fields(0).AsInteger();
    TVoskQuery2 kw(&db, kCopyKeywords);
    kw.Bind(QStringLiteral("newdbrid"), ins.Fields(1).AsLargeInt())
        .Bind(QStringLiteral("olddbrid"), oldDbrid)
        .ExecSQL();
    if (key && key->Exists)
        AttachKeyword(newId, key->Category, key->Value);
    tx.Commit();
    return newId;
}

void TDokument::AttachKeyword(int pdId, const QString& category, const QString& value) {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        throw EVoskException(QStringLiteral("Keine Verbindung zur Datenbank"));
    TVoskQuery2 q(&dm->Database(),
                  QStringLiteral("INSERT INTO recnokeyword (r_tablename, r_dbrid, r_kategorie, "
                                 "r_descr) SELECT 'picndoku', d.dbrid, :cat, :value "
                                 "FROM picndoku d WHERE d.pd_id = :id AND NOT EXISTS ("
                                 "SELECT 1 FROM recnokeyword k WHERE k.r_tablename = 'picndoku' "
                                 "AND k.r_dbrid = d.dbrid AND k.r_kategorie = :cat "
                                 "AND k.r_descr = :value)"));
    q.Bind(QStringLiteral("cat"), category)
        .Bind(QStringLiteral("value"), value)
        .Bind(QStringLiteral("id"), pdId)
        .ExecSQL();
}

TDokument::TAddingCheck TDokument::AddingCheck(const QString& table, const QString& recId,
                                               const QString& dokType) {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        return {};
    TVoskQuery2 q(&dm->Database(),
                  QStringLiteral("SELECT lock_info, may_add, forbidden FROM picndoku_adding_check("
                                 ":table, :recid, :type, CAST(:admin AS boolean), "
                                 "CAST(:mitnr AS integer))"));
    q.SetPrepared(true); // asked before every file of an import
    q.Bind(QStringLiteral("table"), table)
        .Bind(QStringLiteral("recid"), recId.trimmed())
        .Bind(QStringLiteral("type"), textParam(dokType))
        .Bind(QStringLiteral("admin"), dm->IsAdmin())
        .Bind(QStringLiteral("mitnr"), dm->MitNr())
        .Open();
    return {q.Fields(0).AsString(), q.Fields(1).AsBoolean(), q.Fields(2).AsBoolean()};
}

// ---- inserting ---------------------------------------------------------------------------------

void TDokument::applyInsertData() {
    if (!m_insertData.Active)
        return;
    const auto set = [this](const char* field, const QString& v) {
        if (!v.isEmpty() && FieldIndex(QString::fromLatin1(field)) >= 0)
            FieldByName(QString::fromLatin1(field)).SetValue(v);
    };
    // A preview's name field names the document when the insert data brings no name.
    set(fnCaption, !m_insertData.Name.isEmpty() ? m_insertData.Name : NameQuery ? NameQuery() : QString());
    set(fnDokType, m_insertData.DokType);
    set(fnDokIdent, m_insertData.DokIdent);
    set(fnParentNode, m_insertData.ParentNodeIdent);
    set(fnSource, m_insertData.Source);
}

void TDokument::Post(bool askBefore) {
    // A new document whose bytes the caller stored under DMSRemoteFilename (a viewer's scan)
    // names that file; the database refuses the commit when it is not in the store.
    if (InEdit() && text(colRemoteFile).isEmpty() && !FileName().isEmpty() && !isFileLink()) {
        FieldByName(QString::fromLatin1(fnRemoteFile)).SetValue(DMSRemoteFilename());
        FieldByName(QString::fromLatin1(fnRemoteFileDokType)).SetValue(textParam(DokType()));
    }
    if (State() != dsEdit) {
        TVoskClass2::Post(askBefore);
        return;
    }
    TVoskTransaction tx(Database());
    lockForWrite(Id());
    TVoskClass2::Post(askBefore);
    tx.Commit();
}

void TDokument::Delete() {
    if (State() == dsInsert || !HasRecord()) {
        TVoskClass2::Delete();
        return;
    }
    TVoskTransaction tx(Database());
    const int pdId = Id();
    const WriteLock row = lockForWrite(pdId);
    TVoskQuery2 valid(&Database(),
                      QStringLiteral("SELECT NOT pd_deletable FROM picndoku WHERE pd_id = :id"));
    valid.Bind(QStringLiteral("id"), pdId).Open();
    const bool wasValid = !valid.IsEmpty() && valid.Fields(0).AsBoolean();
    TVoskClass2::Delete();
    // The document stays visible: the newest of its remaining revisions becomes the valid one.
    if (wasValid && row.revisionId > 0) {
        TVoskQuery2 promote(
            &Database(),
            QStringLiteral("UPDATE picndoku SET pd_deletable = false WHERE pd_id = (SELECT pd_id "
                           "FROM picndoku WHERE pd_revision_id = :rev ORDER BY pd_id DESC "
                           "LIMIT 1)"));
        promote.Bind(QStringLiteral("rev"), row.revisionId).ExecSQL();
    }
    tx.Commit();
}

void TDokument::SetValidRevision(int pdId) {
    if (!HasRecord())
        throw EVoskException(17432, QStringLiteral("Dokument nicht gefunden."));
    if (InEdit())
        Cancel();
    TVoskTransaction tx(Database());
    // The chain as it is now, held until commit: another user's lock refuses the switch.
    const WriteLock row = lockForWrite(Id());
    TVoskQuery2 mark(
        &Database(),
        QStringLiteral("UPDATE picndoku SET pd_deletable = pd_id <> :pdid "
                       "WHERE pd_revision_id = :rev AND EXISTS (SELECT 1 FROM "
                       "picndoku c WHERE c.pd_id = :pdid AND c.pd_revision_id = :rev)"));
    mark.Bind(QStringLiteral("pdid"), pdId).Bind(QStringLiteral("rev"), row.revisionId);
    if (mark.ExecSQL() == 0)
        throw EVoskException(17432, QStringLiteral("Dokument nicht gefunden."));
    tx.Commit();
}

void TDokument::Insert() {
    TVoskClass2::Insert();
    applyInsertData();
}

void TDokument::Append() {
    TVoskClass2::Append();
    applyInsertData();
}

QString TDokument::_InsertData_GetInfo() const {
    if (!m_insertData.Active)
        return {};
    return QStringLiteral("Name=%1; DokType=%2; DokIdent=%3; ParentNodeIdent=%4; Source=%5")
        .arg(m_insertData.Name, m_insertData.DokType, m_insertData.DokIdent,
             m_insertData.ParentNodeIdent, m_insertData.Source);
}

// ---- document types ----------------------------------------------------------------------------

struct TDMSDokuTypes::Row {
    QString id;
    QVariantList values;
};

TDMSDokuTypes& TDMSDokuTypes::Instance() {
    static TDMSDokuTypes types;
    return types;
}

void TDMSDokuTypes::Refresh() {
    m_loaded = false;
    ensure();
}

void TDMSDokuTypes::ensure() {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected()) {
        m_rows.clear();
        m_loaded = false;
        return;
    }
    // Another database (a test's, a reconnect elsewhere) has other types.
    if (m_loaded && m_database == dm->DatabaseName())
        return;
    TVoskQuery2 q(&dm->Database(), QStringLiteral("SELECT * FROM dokutypes ORDER BY dt_id"));
    q.Open();
    m_columns = q.FieldNames();
    m_rows.clear();
    for (; !q.Eof(); q.Next()) {
        auto row = std::make_shared<Row>();
        row->id = q.FieldByName(QStringLiteral("dt_id")).AsString();
        for (int c = 0; c < q.FieldCount(); ++c)
            row->values << q.Fields(c).Value();
        m_rows.push_back(row);
    }
    m_database = dm->DatabaseName();
    m_loaded = true;
}

const TDMSDokuTypes::Row* TDMSDokuTypes::find(const QString& dtId) {
    ensure();
    for (const auto& r : m_rows)
        if (r->id == dtId)
            return r.get();
    return nullptr;
}

QVariant TDMSDokuTypes::Value(const QString& dtId, const QString& column) {
    const Row* r = find(dtId);
    const qsizetype c = m_columns.indexOf(column.toLower());
    return r && c >= 0 ? r->values.value(c) : QVariant();
}

bool TDMSDokuTypes::Exists(const QString& dtId) { return find(dtId) != nullptr; }
QString TDMSDokuTypes::Descr(const QString& dtId) {
    return Value(dtId, QStringLiteral("dt_descr")).toString();
}
bool TDMSDokuTypes::WriteOnce(const QString& dtId) {
    return Value(dtId, QStringLiteral("dt_write_once")).toBool();
}
bool TDMSDokuTypes::AutoRevision(const QString& dtId) {
    return Value(dtId, QStringLiteral("dt_auto_revision")).toBool();
}
QString TDMSDokuTypes::AutoExportPath(const QString& dtId) {
    return Value(dtId, QStringLiteral("dt_autoexportpath")).toString();
}
QString TDMSDokuTypes::ParentNodeId(const QString& dtId) {
    return Value(dtId, QStringLiteral("dt_parentnodeid")).toString();
}
QString TDMSDokuTypes::Config(const QString& dtId, const QString& key, const QString& def) {
    return Korvexcommon::SL_GetValue(Value(dtId, QStringLiteral("dt_config")).toString(), key,
                                     def);
}

QString TDMSDokuTypes::FindByParentNode(const QString& nodeId) {
    ensure();
    const qsizetype parent = m_columns.indexOf(QStringLiteral("dt_parentnodeid"));
    const qsizetype isDefault = m_columns.indexOf(QStringLiteral("dt_parentnodeid_default"));
    QString first;
    for (const auto& r : m_rows) {
        if (r->values.value(parent).toString().compare(nodeId, Qt::CaseInsensitive) != 0)
            continue;
        if (r->values.value(isDefault).toBool())
            return r->id;
        if (first.isEmpty())
            first = r->id;
    }
    return first;
}
