#include "cxGridExportLink.h"

#include "TVoskDBGrid2.h"
#include "UConstants.h"

#include <TVoskClass.h>
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
#include <limits>
#include <map>
#include <memory>
#include <vector>
#include <tuple>

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

// Black is 0 in a colour, but 0 means "no colour" to the writer.
lxw_color_t ToLxw(const QColor& c) {
    const lxw_color_t rgb = lxw_color_t(c.rgb() & LXW_COLOR_MASK);
    return rgb == 0 ? lxw_color_t(LXW_COLOR_BLACK) : rgb;
}

void Apply(lxw_format* f, const TVoskCondFormatStyle& style) {
    if (style.background.isValid()) {
        format_set_pattern(f, LXW_PATTERN_SOLID);
        format_set_bg_color(f, ToLxw(style.background));
    }
    if (style.textColor.isValid())
        format_set_font_color(f, ToLxw(style.textColor));
    if (style.bold)
        format_set_bold(f);
}

// The workbook's formats, one per number format and look, made when first needed.
class CellStyles {
public:
    enum Base { Plain, Date, Stamp };

    explicit CellStyles(lxw_workbook* wb) : m_wb(wb) {
        m_base[Date] = Make(Date, nullptr);
        m_base[Stamp] = Make(Stamp, nullptr);
    }

    // nullptr for a plain cell without a look of its own.
    lxw_format* Cell(Base base, const TVoskCondFormatStyle* style) {
        if (!style)
            return m_base[base];
        lxw_format*& f = m_cells[{base, Key(*style)}];
        if (!f)
            f = Make(base, style);
        return f;
    }

    // The look a conditional format gives; kept apart from cell formats, as the workbook
    // lists those separately.
    lxw_format* Dxf(const TVoskCondFormatStyle& style) {
        lxw_format*& f = m_dxfs[Key(style)];
        if (!f)
            f = Make(Plain, &style);
        return f;
    }

private:
    using StyleKey = std::tuple<qint64, qint64, bool>;

    static StyleKey Key(const TVoskCondFormatStyle& s) {
        return {s.background.isValid() ? qint64(s.background.rgb() & 0xFFFFFF) : -1,
                s.textColor.isValid() ? qint64(s.textColor.rgb() & 0xFFFFFF) : -1, s.bold};
    }

    lxw_format* Make(Base base, const TVoskCondFormatStyle* style) {
        lxw_format* f = workbook_add_format(m_wb);
        if (base == Date)
            format_set_num_format(f, "dd.mm.yyyy");
        else if (base == Stamp)
            format_set_num_format(f, "dd.mm.yyyy hh:mm:ss");
        if (style)
            Apply(f, *style);
        return f;
    }

    lxw_workbook* m_wb;
    lxw_format* m_base[3] = {nullptr, nullptr, nullptr};
    std::map<std::pair<Base, StyleKey>, lxw_format*> m_cells;
    std::map<StyleKey, lxw_format*> m_dxfs;
};

using VoskConditionalFormatting::InWorkbookYears;

bool ExactInWorkbook(const QVariant& v) {
    return v.typeId() == QMetaType::LongLong ? qAbs(v.toLongLong()) <= kMaxExactInteger
                                             : v.toULongLong() <= quint64(kMaxExactInteger);
}

// The text that stands for a value the workbook has no typed cell for: the one the database
// shows.
QString TextOf(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        if (std::isnan(d))
            return QStringLiteral("NaN");
        if (std::isinf(d))
            return d > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
        break;
    }
    case QMetaType::QDate: return v.toDate().toString(Qt::ISODate);
    case QMetaType::QDateTime: return v.toDateTime().toString(Qt::ISODate);
    default: break;
    }
    return v.toString();
}

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

cxExport::TWrittenAs cxExport::WrittenAs(const QVariant& v) {
    if (v.isNull())
        return TWrittenAs::Blank;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
        return TWrittenAs::Number;
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        // A spreadsheet number is a double: a larger integer would lose digits.
        return ExactInWorkbook(v) ? TWrittenAs::Number : TWrittenAs::Text;
    case QMetaType::Double:
    case QMetaType::Float:
        return std::isfinite(v.toDouble()) ? TWrittenAs::Number : TWrittenAs::Text;
    case QMetaType::Bool: return TWrittenAs::Boolean;
    case QMetaType::QDate:
        return InWorkbookYears(v.toDate()) ? TWrittenAs::Date
               : v.toDate().isValid()      ? TWrittenAs::Text
                                           : TWrittenAs::Blank;
    case QMetaType::QDateTime: {
        const QDateTime t = v.toDateTime();
        return t.isValid() && InWorkbookYears(t.date()) ? TWrittenAs::Timestamp
               : t.isValid()                            ? TWrittenAs::Text
                                                        : TWrittenAs::Blank;
    }
    default: return TextOf(v).isEmpty() ? TWrittenAs::Blank : TWrittenAs::Text;
    }
}

QString cxExport::FirstDataCell(int column) {
    char name[LXW_MAX_CELL_NAME_LENGTH];
    lxw_rowcol_to_cell(name, 1, lxw_col_t(column));
    return QString::fromLatin1(name);
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
    CellStyles styles(wb.get());

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

    // Conditional formats cover a sheet's data rows, known once the sheet is full.
    auto closeSheet = [&] {
        if (sheetRow <= 1)
            return;
        for (const TExportCondFormat& f : table.CondFormats) {
            const QByteArray formula = f.Formula.toUtf8();
            lxw_conditional_format cf{};
            cf.type = LXW_CONDITIONAL_TYPE_FORMULA;
            cf.value_string = const_cast<char*>(formula.constData());
            cf.format = styles.Dxf(f.Style);
            // The first rule that holds decides, as in the grid.
            cf.stop_if_true = LXW_TRUE;
            if (worksheet_conditional_format_range(ws, 1, lxw_col_t(f.Column), sheetRow - 1,
                                                   lxw_col_t(f.Column), &cf) != LXW_NO_ERROR)
                Fail(fileName, CauseText(errno ? errno : EIO));
        }
    };

    QByteArray utf8;
    for (qint64 r = 0; r < table.RowCount; ++r) {
        if (qint64(sheetRow) >= maxSheetRows) {
            closeSheet();
            newSheet();
        }
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
            const TWrittenAs as = cxExport::WrittenAs(v);
            std::optional<TVoskCondFormatStyle> style;
            if (table.CellStyle)
                style = table.CellStyle(r, c);
            auto format = [&](CellStyles::Base base) {
                return styles.Cell(base, style ? &*style : nullptr);
            };
            const lxw_col_t col = lxw_col_t(c);
            lxw_error e = LXW_NO_ERROR;
            switch (as) {
            case TWrittenAs::Blank:
                // A coloured cell stays coloured without a value.
                if (style)
                    e = worksheet_write_blank(ws, sheetRow, col, format(CellStyles::Plain));
                break;
            case TWrittenAs::Number:
                e = worksheet_write_number(ws, sheetRow, col, v.toDouble(),
                                           format(CellStyles::Plain));
                break;
            case TWrittenAs::Boolean:
                e = worksheet_write_boolean(ws, sheetRow, col, v.toBool(),
                                            format(CellStyles::Plain));
                break;
            case TWrittenAs::Date: {
                lxw_datetime x = ToLxw(v.toDate(), QTime(0, 0));
                e = worksheet_write_datetime(ws, sheetRow, col, &x, format(CellStyles::Date));
                break;
            }
            case TWrittenAs::Timestamp: {
                const QDateTime t = v.toDateTime();
                lxw_datetime x = ToLxw(t.date(), t.time());
                e = worksheet_write_datetime(ws, sheetRow, col, &x, format(CellStyles::Stamp));
                break;
            }
            case TWrittenAs::Text: {
                bool cut = false;
                utf8 = cxExport::CutCellText(TextOf(v), &cut).toUtf8();
                if (cut)
                    ++result.CutTexts;
                e = worksheet_write_string(ws, sheetRow, col, utf8.constData(),
                                           format(CellStyles::Plain));
                break;
            }
            }
            if (e != LXW_NO_ERROR)
                Fail(fileName, CauseText(errno ? errno : EIO));
        }
        ++sheetRow;
        ++result.Rows;
    }
    closeSheet();

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

namespace {

// What kind of value the rules read in a column of type; nullopt where they read none.
std::optional<VoskConditionalFormatting::TValueKind> KindOfField(TFieldType type) {
    using K = VoskConditionalFormatting::TValueKind;
    switch (type) {
    case TFieldType::String: return K::Text;
    case TFieldType::SmallInt:
    case TFieldType::Integer:
    case TFieldType::LargeInt:
    case TFieldType::Float:
    case TFieldType::Numeric: return K::Number;
    case TFieldType::Boolean: return K::Boolean;
    case TFieldType::Date: return K::Date;
    case TFieldType::Time: return K::Time;
    case TFieldType::DateTime:
    case TFieldType::DateTimeTz: return K::DateTime;
    case TFieldType::Unknown:
    case TFieldType::Bytes: break;
    }
    return std::nullopt;
}

// Whether the workbook holds value as a cell of kind, so that a conditional format over the
// column judges it.
bool HeldAs(const QVariant& value, VoskConditionalFormatting::TValueKind kind) {
    using K = VoskConditionalFormatting::TValueKind;
    if (VoskConditionalFormatting::KindOfType(value.typeId()) != kind)
        return false;
    switch (cxExport::WrittenAs(value)) {
    case cxExport::TWrittenAs::Number: return kind == K::Number;
    case cxExport::TWrittenAs::Boolean: return kind == K::Boolean;
    case cxExport::TWrittenAs::Date: return kind == K::Date;
    case cxExport::TWrittenAs::Timestamp: return kind == K::DateTime;
    case cxExport::TWrittenAs::Text: return kind == K::Text;
    case cxExport::TWrittenAs::Blank: break;
    }
    return false;
}

// The conditional formatting of one exported column.
struct ColumnRules {
    QString Field;
    std::optional<VoskConditionalFormatting::TValueKind> Kind;
    bool HasRules = false;
    // Rules (indices in the grid's list) before it the workbook evaluates; from it on the grid's
    // verdict is fixed in the cells, since a later rule must not win over a fixed earlier one.
    qsizetype FirstFixed = std::numeric_limits<qsizetype>::max();
    bool NeedsShown = false; // a rule searches the shown text
};

// The kind of the column's values: by its type, else by its first value.
std::optional<VoskConditionalFormatting::TValueKind> KindOfColumn(const TVoskClass* data, int col) {
    if (data->FieldType(col) != TFieldType::Unknown)
        return KindOfField(data->FieldType(col));
    for (int r = 0; r < data->RecordCount(); ++r) {
        const QVariant v = data->Value(r, col);
        if (!v.isNull())
            return VoskConditionalFormatting::KindOfType(v.typeId());
    }
    return std::nullopt;
}

} // namespace

void cxExport::AddConditionalFormatting(TExportTable& table,
                                        const TVoskConditionalFormatting* formatting,
                                        const TVoskClass* data, const QList<int>& cols,
                                        std::function<int(qint64 row)> recordOf,
                                        const TVoskDataModel* shown) {
    // Colours as the workbook's own conditional formats where it can judge a rule as the view
    // does, so that they follow edits there, else fixed in the cells.
    if (!formatting || formatting->IsEmpty() || !data)
        return;
    auto columns = std::make_shared<std::vector<ColumnRules>>(size_t(cols.size()));
    bool anyRules = false;
    const QStringList fields = data->FieldNames();
    const QList<TVoskCondFormatRule>& rules = formatting->Rules();
    for (int c = 0; c < cols.size(); ++c) {
        ColumnRules& column = (*columns)[size_t(c)];
        column.Field = fields.value(cols[c]);
        const QString cell = FirstDataCell(c);
        for (qsizetype i = 0; i < rules.size(); ++i) {
            const TVoskCondFormatRule& rule = rules[i];
            if (rule.field.compare(column.Field, Qt::CaseInsensitive) != 0)
                continue;
            if (!column.HasRules)
                column.Kind = KindOfColumn(data, cols[c]);
            column.HasRules = anyRules = true;
            column.NeedsShown |= rule.op == TVoskCondOperator::Contains;
            if (i > column.FirstFixed)
                continue;
            const std::optional<QString> formula =
                column.Kind ? VoskConditionalFormatting::WorkbookFormula(rule, *column.Kind, cell)
                            : std::nullopt;
            if (!formula)
                column.FirstFixed = i;
            else if (!formula->isEmpty())
                table.CondFormats.append({c, *formula, TVoskConditionalFormatting::StyleOf(rule)});
        }
    }
    if (!anyRules)
        return;
    table.CellStyle = [=](qint64 r, int c) -> std::optional<TVoskCondFormatStyle> {
        const ColumnRules& column = (*columns)[size_t(c)];
        if (!column.HasRules)
            return std::nullopt;
        const int record = recordOf(r), col = cols[c];
        const QVariant v = data->Value(record, col);
        const QString text =
            column.NeedsShown ? shown->data(shown->index(record, col), Qt::DisplayRole).toString()
                              : QString();
        const std::optional<qsizetype> i = formatting->DecidingRule(column.Field, v, text);
        // The workbook's own format colours a cell it holds as the column's kind.
        if (!i || (*i < column.FirstFixed && column.Kind && HeldAs(v, *column.Kind)))
            return std::nullopt;
        return TVoskConditionalFormatting::StyleOf(formatting->Rules()[*i]);
    };
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

    cxExport::AddConditionalFormatting(table, grid->ConditionalFormatting(), data, cols,
                                       [&](qint64 r) { return rows[int(r)]; }, grid->DataModel());
    return cxExport::ExportTableToXLSX(fileName, table);
}
