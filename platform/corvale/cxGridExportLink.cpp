#include "cxGridExportLink.h"

#include "TVoskDBGrid2.h"
#include "UConstants.h"

#include <TVoskDataModel.h>
#include <VoskExceptions.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <memory>

#include <sys/stat.h>

namespace {

// 2^53: every integer up to it has an exact double.
constexpr qint64 kMaxExactInteger = qint64(1) << 53;

QString CauseText(int err) {
    switch (err) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return QStringLiteral("Der Datenträger ist voll.");
    case EACCES:
    case EPERM:
        return QStringLiteral("Keine Schreibberechtigung.");
    case EROFS:
        return QStringLiteral("Der Datenträger ist schreibgeschützt.");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("Der Ordner existiert nicht.");
    case EISDIR:
        return QStringLiteral("Unter diesem Namen besteht ein Ordner.");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("Die Datei ist gesperrt.");
    default:
        return QStringLiteral("Schreibfehler (Code %1).").arg(err);
    }
}

[[noreturn]] void Fail(const QString& fileName, const QString& cause) {
    throw EVoskException(QStringLiteral("Die Datei \"%1\" konnte nicht gespeichert werden: %2")
                             .arg(QDir::toNativeSeparators(fileName), cause));
}

lxw_datetime ToLxw(const QDate& d, const QTime& t) {
    lxw_datetime x{};
    x.year = d.year();
    x.month = d.month();
    x.day = d.day();
    x.hour = t.hour();
    x.min = t.minute();
    x.sec = t.second() + t.msec() / 1000.0;
    return x;
}

mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

mode_t FileMode(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return NewFileMode();
    return st.st_mode & 07777;
}

struct WorkbookCloser {
    void operator()(lxw_workbook* wb) const {
        if (wb)
            workbook_close(wb);
    }
};

} // namespace

QString cxExport::CutCellText(const QString& text, bool* cut) {
    if (cut)
        *cut = false;
    if (text.size() <= MaxCellChars)
        return text; // UTF-16 units are never fewer than characters
    qsizetype chars = 0, i = 0;
    while (i < text.size() && chars < MaxCellChars) {
        i += (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        ++chars;
    }
    if (i >= text.size())
        return text;
    if (cut)
        *cut = true;
    return text.left(i);
}

TGridExportResult cxExport::ExportTableToXLSX(const QString& fileName, const TExportTable& table,
                                              const QString& tempDir, qint64 maxSheetRows) {
    TGridExportResult result;
    const QFileInfo target(fileName);
    const QDir dir = target.absoluteDir();
    if (!dir.exists())
        Fail(fileName, CauseText(ENOENT));
    if (target.exists() && (target.isDir() || !target.isWritable()))
        Fail(fileName, target.isDir() ? CauseText(EISDIR)
                                      : QStringLiteral("Die Datei ist schreibgeschützt oder gesperrt."));

    QTemporaryFile temp(dir.filePath(QStringLiteral(".%1.XXXXXX.tmp").arg(target.fileName())));
    if (!temp.open())
        Fail(fileName, CauseText(QFileInfo(dir.absolutePath()).isWritable() ? EIO : EACCES));
    temp.close();
    const QByteArray tempPath = QFile::encodeName(temp.fileName());

    QString scratch = tempDir.isEmpty() ? CurrentSession_UConstants().TempDir() : tempDir;
    const QByteArray scratchPath = QFile::encodeName(scratch);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char*>(scratchPath.constData());
    errno = 0;
    std::unique_ptr<lxw_workbook, WorkbookCloser> wb(
        workbook_new_opt(tempPath.constData(), &options));
    if (!wb)
        Fail(fileName, CauseText(errno ? errno : EIO));

    lxw_format* bold = workbook_add_format(wb.get());
    format_set_bold(bold);
    lxw_format* dateFmt = workbook_add_format(wb.get());
    format_set_num_format(dateFmt, "dd.mm.yyyy");
    lxw_format* stampFmt = workbook_add_format(wb.get());
    format_set_num_format(stampFmt, "dd.mm.yyyy hh:mm:ss");

    const int cols = int(table.Captions.size());
    std::vector<QByteArray> captions;
    for (const QString& c : table.Captions)
        captions.push_back(cxExport::CutCellText(c).toUtf8());

    lxw_worksheet* ws = nullptr;
    lxw_row_t sheetRow = 0;
    auto newSheet = [&] {
        ++result.Sheets;
        const QByteArray name = QStringLiteral("Tabelle%1").arg(result.Sheets).toUtf8();
        errno = 0;
        ws = workbook_add_worksheet(wb.get(), name.constData());
        if (!ws)
            Fail(fileName, CauseText(errno ? errno : EIO));
        for (int c = 0; c < cols; ++c)
            worksheet_write_string(ws, 0, lxw_col_t(c), captions[size_t(c)].constData(), bold);
        sheetRow = 1;
    };
    newSheet();

    QByteArray utf8;
    for (qint64 r = 0; r < table.RowCount; ++r) {
        if (qint64(sheetRow) >= maxSheetRows)
            newSheet();
        if (table.OutlineLevel) {
            const int level = table.OutlineLevel(r);
            if (level > 0) {
                lxw_row_col_options o{};
                o.level = uint8_t(qMin(level, 7));
                worksheet_set_row_opt(ws, sheetRow, LXW_DEF_ROW_HEIGHT, nullptr, &o);
            }
        }
        for (int c = 0; c < cols; ++c) {
            const QVariant v = table.Cell(r, c);
            if (v.isNull())
                continue;
            lxw_error e = LXW_NO_ERROR;
            switch (v.typeId()) {
            case QMetaType::Int:
            case QMetaType::UInt:
                e = worksheet_write_number(ws, sheetRow, lxw_col_t(c), v.toDouble(), nullptr);
                break;
            case QMetaType::LongLong:
            case QMetaType::ULongLong: {
                // A spreadsheet number is a double: a larger integer would lose digits.
                const bool exact = v.typeId() == QMetaType::LongLong
                                       ? qAbs(v.toLongLong()) <= kMaxExactInteger
                                       : v.toULongLong() <= quint64(kMaxExactInteger);
                if (exact) {
                    e = worksheet_write_number(ws, sheetRow, lxw_col_t(c), v.toDouble(), nullptr);
                    break;
                }
                utf8 = v.toString().toUtf8();
                e = worksheet_write_string(ws, sheetRow, lxw_col_t(c), utf8.constData(), nullptr);
                break;
            }
            case QMetaType::Double:
            case QMetaType::Float: {
                const double d = v.toDouble();
                if (std::isfinite(d)) {
                    e = worksheet_write_number(ws, sheetRow, lxw_col_t(c), d, nullptr);
                    break;
                }
                // A workbook has no such numbers; the text is the one the database shows.
                const char* text = std::isnan(d) ? "NaN" : d > 0 ? "Infinity" : "-Infinity";
                e = worksheet_write_string(ws, sheetRow, lxw_col_t(c), text, nullptr);
                break;
            }
            case QMetaType::Bool:
                e = worksheet_write_boolean(ws, sheetRow, lxw_col_t(c), v.toBool(), nullptr);
                break;
            case QMetaType::QDate: {
                const QDate d = v.toDate();
                if (d.isValid() && d.year() >= 1900 && d.year() <= 9999) {
                    lxw_datetime x = ToLxw(d, QTime(0, 0));
                    e = worksheet_write_datetime(ws, sheetRow, lxw_col_t(c), &x, dateFmt);
                    break;
                }
                utf8 = d.toString(Qt::ISODate).toUtf8();
                e = worksheet_write_string(ws, sheetRow, lxw_col_t(c), utf8.constData(), nullptr);
                break;
            }
            case QMetaType::QDateTime: {
                const QDateTime t = v.toDateTime();
                if (t.isValid() && t.date().year() >= 1900 && t.date().year() <= 9999) {
                    lxw_datetime x = ToLxw(t.date(), t.time());
                    e = worksheet_write_datetime(ws, sheetRow, lxw_col_t(c), &x, stampFmt);
                    break;
                }
                utf8 = t.toString(Qt::ISODate).toUtf8();
                e = worksheet_write_string(ws, sheetRow, lxw_col_t(c), utf8.constData(), nullptr);
                break;
            }
            default: {
                bool cut = false;
                utf8 = cxExport::CutCellText(v.toString(), &cut).toUtf8();
                if (cut)
                    ++result.CutTexts;
                if (utf8.isEmpty())
                    continue;
                e = worksheet_write_string(ws, sheetRow, lxw_col_t(c), utf8.constData(), nullptr);
                break;
            }
            }
            if (e != LXW_NO_ERROR)
                Fail(fileName, CauseText(errno ? errno : EIO));
        }
        ++sheetRow;
        ++result.Rows;
    }

    errno = 0;
    const lxw_error closed = workbook_close(wb.release());
    if (closed != LXW_NO_ERROR)
        Fail(fileName, closed == LXW_ERROR_CREATING_TMPFILE
                           ? QStringLiteral("Im temporären Ordner \"%1\" kann nicht geschrieben "
                                            "werden.")
                                 .arg(QDir::toNativeSeparators(scratch))
                           : CauseText(errno ? errno : EIO));
    // The temporary file is private to its writer; the workbook gets the mode of the file it
    // replaces, or the one a new file gets under the user's umask.
    const mode_t mode = target.exists() ? FileMode(target.absoluteFilePath()) : NewFileMode();
    if (::chmod(tempPath.constData(), mode) != 0)
        Fail(fileName, CauseText(errno));
    // rename() replaces the old workbook in one step, so no reader ever sees half a file.
    if (std::rename(tempPath.constData(), QFile::encodeName(target.absoluteFilePath()).constData()) !=
        0)
        Fail(fileName, CauseText(errno));
    temp.setAutoRemove(false);
    return result;
}

TGridExportResult ExportGridToXLSX(const QString& fileName, TVoskDBGrid2* grid, bool, bool,
                                   const QString&) {
    TExportTable table;
    TVoskClass* data = grid ? grid->DataClass() : nullptr;
    if (!data || !grid->DataModel())
        throw EVoskException(QStringLiteral("Die Tabelle hat keine Daten zum Exportieren."));
    // A value the user is still typing belongs in the export as it will be saved.
    grid->EndEdit(true);
    const QList<int> cols = grid->ShownColumns();
    // Every row the filter lets through, whether its group is open or not.
    const QList<int> rows = grid->FilteredRows();
    for (int c : cols)
        table.Captions << grid->DataModel()->headerData(c, Qt::Horizontal).toString();
    table.RowCount = rows.size();
    table.Cell = [&](qint64 r, int c) { return data->Value(rows[int(r)], cols[c]); };
    return cxExport::ExportTableToXLSX(fileName, table);
}
