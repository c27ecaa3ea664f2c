#include "Text0Filter.h"

#include "TVoskClass.h"
#include "TVoskDataModel.h"

#include <QColor>
#include <QFont>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cstring>

QByteArray TFoldedTexts::Fold(QStringView text) {
    QString folded;
    folded.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            const char32_t f = QChar::toCaseFolded(QChar::surrogateToUcs4(c, text[i + 1]));
            folded += QChar(QChar::highSurrogate(f));
            folded += QChar(QChar::lowSurrogate(f));
            ++i;
        } else if (c.unicode() != 0) { // a NUL ends a text in the store
            folded += c.toCaseFolded();
        }
    }
    return folded.toUtf8();
}

void TFoldedTexts::Clear() {
    m_bytes.clear();
    m_start.assign(1, 0);
    m_blank.clear();
}

void TFoldedTexts::Reserve(size_t rows, size_t bytes) {
    m_start.reserve(rows + 1);
    m_bytes.reserve(bytes);
}

void TFoldedTexts::AddText(const char* s, size_t n) {
    const size_t at = m_bytes.size();
    m_bytes.resize(at + n + 1);
    char* out = m_bytes.data() + at;
    size_t i = 0;
    bool ascii = true;
#ifdef __SSE2__
    // Nearly every text is ASCII: sixteen letters lowered at a time.
    const __m128i beforeA = _mm_set1_epi8('A' - 1), afterZ = _mm_set1_epi8('Z' + 1);
    const __m128i caseBit = _mm_set1_epi8(0x20);
    for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        if (_mm_movemask_epi8(x) != 0) {
            ascii = false;
            break;
        }
        const __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(x, beforeA), _mm_cmplt_epi8(x, afterZ));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_or_si128(x, _mm_and_si128(upper, caseBit)));
    }
#endif
    for (; ascii && i < n; ++i) {
        const auto c = uchar(s[i]);
        if (c >= 0x80)
            ascii = false;
        out[i] = char(c >= 'A' && c <= 'Z' ? c | 0x20 : c);
    }
    if (ascii) {
        out[n] = '\0';
        return;
    }
    m_bytes.resize(at);
    const QByteArray folded = Fold(QString::fromUtf8(s, qsizetype(n)));
    m_bytes.append(folded.constData(), size_t(folded.size()));
    m_bytes.push_back('\0');
}

void TFoldedTexts::AddText(const QString& text) {
    const QByteArray folded = Fold(text);
    m_bytes.append(folded.constData(), size_t(folded.size()));
    m_bytes.push_back('\0');
}

void TFoldedTexts::EndRow(bool blank) {
    if (blank)
        m_blank.push_back(Rows());
    m_start.push_back(uint32_t(m_bytes.size()));
}

void TFoldedTexts::Find(const QByteArray& folded, std::vector<int>& rows) const {
    rows.clear();
    const size_t m = size_t(folded.size());
    const char* f = folded.constData();
    const char* b = m_bytes.data();
    const size_t size = m_bytes.size();
    auto blank = m_blank.begin();
    int row = 0;
    // A hit shows its row; the search goes on at the next row.
    const auto hit = [&](size_t at) {
        row = int(std::upper_bound(m_start.begin() + row + 1, m_start.end(), uint32_t(at)) -
                  m_start.begin()) -
              1;
        for (; blank != m_blank.end() && *blank <= row; ++blank)
            if (*blank < row)
                rows.push_back(*blank);
        rows.push_back(row);
        return size_t(m_start[size_t(row) + 1]);
    };
    const auto restMatches = [&](size_t at) {
        return m <= 2 || std::memcmp(b + at + 1, f + 1, m - 2) == 0;
    };
    size_t i = 0;
    if (m > 0 && m <= size) {
#ifdef __SSE2__
        // The filter's first and last byte at sixteen places at once; the rest is compared
        // only where both stand.
        const __m128i first = _mm_set1_epi8(f[0]), last = _mm_set1_epi8(f[m - 1]);
        while (i + m - 1 + 16 <= size) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
            const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i + m - 1));
            auto hits = unsigned(_mm_movemask_epi8(
                _mm_and_si128(_mm_cmpeq_epi8(x, first), _mm_cmpeq_epi8(y, last))));
            size_t next = i + 16;
            for (; hits != 0; hits &= hits - 1) {
                const size_t at = i + size_t(std::countr_zero(hits));
                if (restMatches(at)) {
                    next = hit(at);
                    break;
                }
            }
            i = next;
        }
#endif
        while (i + m <= size) {
            if (b[i] == f[0] && b[i + m - 1] == f[m - 1] && restMatches(i))
                i = hit(i);
            else
                ++i;
        }
    }
    rows.insert(rows.end(), blank, m_blank.end());
}

bool TFoldedTexts::TextEquals(int row, int field, const QByteArray& folded) const {
    const char* p = m_bytes.data() + m_start[size_t(row)];
    const char* end = m_bytes.data() + m_start[size_t(row) + 1];
    for (; field > 0 && p < end; --field)
        p = static_cast<const char*>(std::memchr(p, 0, size_t(end - p))) + 1;
    if (p >= end)
        return false;
    const size_t n = std::strlen(p);
    return n == size_t(folded.size()) && std::memcmp(p, folded.constData(), n) == 0;
}

TText0FilterModel::TText0FilterModel(TVoskClass* dataClass, TVoskDataModel* source, QObject* parent)
    : QAbstractTableModel(parent), m_class(dataClass), m_source(source) {
    connect(source, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(source, &QAbstractItemModel::modelReset, this, [this] {
        if (!m_class) {
            m_texts.Clear();
            m_rows.clear();
            m_all = true;
            m_allCount = 0;
            endResetModel();
            return;
        }
        resolve();
        // Folded when read, so that a keystroke pays for no folding.
        rebuildTexts();
        refilter();
        endResetModel();
    });
    connect(source, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                m_textsStale = true;
                const int n = last - first + 1;
                if (m_all) {
                    beginInsertRows({}, first, last);
                    m_allCount += n;
                    endInsertRows();
                    return;
                }
                for (int& r : m_rows)
                    if (r >= first)
                        r += n;
                // A row comes in filtered as it is then; a blank one always shows.
                for (int r = first; r <= last; ++r)
                    if (accepts(r)) {
                        const int p = lowerBound(r);
                        beginInsertRows({}, p, p);
                        m_rows.insert(m_rows.begin() + p, r);
                        endInsertRows();
                    }
            });
    connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                m_removeFirst = lowerBound(first);
                m_removeLast = lowerBound(last + 1) - 1;
                if (m_removeFirst <= m_removeLast)
                    beginRemoveRows({}, m_removeFirst, m_removeLast);
            });
    connect(source, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                m_textsStale = true;
                const int n = last - first + 1;
                const bool announced = m_removeFirst <= m_removeLast;
                if (m_all) {
                    m_allCount -= n;
                } else {
                    if (announced)
                        m_rows.erase(m_rows.begin() + m_removeFirst,
                                     m_rows.begin() + m_removeLast + 1);
                    for (int& r : m_rows)
                        if (r > last)
                            r -= n;
                }
                m_removeFirst = m_removeLast = -1;
                if (announced)
                    endRemoveRows();
            });
    connect(source, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight,
                   const QList<int>& roles) {
                // A changed row stays shown or hidden until the filter changes.
                const int p0 = lowerBound(topLeft.row());
                const int p1 = lowerBound(bottomRight.row() + 1) - 1;
                if (p0 <= p1)
                    emit dataChanged(index(p0, topLeft.column()), index(p1, bottomRight.column()),
                                     roles);
            });
    connect(source, &QAbstractItemModel::headerDataChanged, this,
            &QAbstractItemModel::headerDataChanged);
    // Values changed: the class says so; the data model also repaints all rows when only
    // their editability changed.
    const auto stale = [this] { m_textsStale = true; };
    connect(dataClass, &TVoskClass::FieldChanged, this, stale);
    connect(dataClass, &TVoskClass::RowUpdated, this, stale);
}

void TText0FilterModel::resolve() {
    m_cols.clear();
    m_asText.clear();
    if (!m_class)
        return;
    for (const char* f : {"t_nr", "t_feld0", "t_kundtxt0", "t_feld3"}) {
        const int col = m_class->FieldIndex(QLatin1String(f));
        m_cols.push_back(col);
        // Texts and whole numbers are searched in the server's text as read.
        const TFieldType t = m_class->FieldType(col);
        m_asText.push_back(t == TFieldType::String || t == TFieldType::Unknown ||
                           t == TFieldType::SmallInt || t == TFieldType::Integer ||
                           t == TFieldType::LargeInt);
    }
    m_gray = m_class->FieldIndex(QStringLiteral("voskgray"));
    m_red = m_class->FieldIndex(QStringLiteral("voskred"));
    m_bold = m_class->FieldIndex(QStringLiteral("t_nr_voskbold"));
}

void TText0FilterModel::rebuildTexts() {
    if (!m_class)
        return;
    const int rows = m_class->RecordCount();
    const int fields = m_class->FieldCount();
    m_texts.Clear();
    m_texts.Reserve(size_t(rows), size_t(rows) * 64);
    for (int r = 0; r < rows; ++r) {
        bool blank = true;
        for (size_t i = 0; i < m_cols.size(); ++i) {
            const int col = m_cols[i];
            if (col < 0 || col >= fields) {
                m_texts.AddText(nullptr, 0);
                continue;
            }
            int length = 0;
            if (const char* t = m_asText[i] ? m_class->ValueText(r, col, &length) : nullptr) {
                m_texts.AddText(t, size_t(length));
                blank = false;
            } else if (m_class->IsNullAt(r, col)) {
                m_texts.AddText(nullptr, 0);
            } else {
                m_texts.AddText(m_class->ValueRef(r, col).toString());
                blank = false;
            }
        }
        m_texts.EndRow(blank);
    }
    m_textsStale = false;
}

void TText0FilterModel::refilter() {
    m_all = m_text.isEmpty() || !m_class;
    if (m_all) {
        m_allCount = m_class ? m_class->RecordCount() : 0;
        m_rows.clear();
        return;
    }
    if (!m_text.isValidUtf16()) {
        // Half a character: only Qt's search compares it with the halves of one in a text.
        m_rows.clear();
        for (int r = 0, n = m_class->RecordCount(); r < n; ++r)
            if (accepts(r))
                m_rows.push_back(r);
        return;
    }
    if (m_textsStale || m_texts.Rows() != m_class->RecordCount())
        rebuildTexts();
    m_texts.Find(m_folded, m_rows);
}

bool TText0FilterModel::accepts(int sourceRow) const {
    if (m_text.isEmpty() || !m_class)
        return true;
    const int fields = m_class->FieldCount();
    bool blank = true;
    for (const int col : m_cols) {
        if (col < 0 || col >= fields || m_class->IsNullAt(sourceRow, col))
            continue;
        blank = false;
        if (m_class->ValueRef(sourceRow, col).toString().contains(m_text, Qt::CaseInsensitive))
            return true;
    }
    return blank;
}

void TText0FilterModel::SetFilterText(const QString& text) {
    m_text = text;
    m_folded = TFoldedTexts::Fold(text);
    // The current cell and the selection stay on their records while those show.
    emit layoutAboutToBeChanged();
    const QModelIndexList from = persistentIndexList();
    std::vector<int> sourceRows;
    sourceRows.reserve(size_t(from.size()));
    for (const QModelIndex& i : from)
        sourceRows.push_back(mapToSource(i).row());
    refilter();
    QModelIndexList to;
    to.reserve(from.size());
    for (qsizetype k = 0; k < from.size(); ++k) {
        const int r = sourceRows[size_t(k)];
        const int p = r < 0 ? -1 : lowerBound(r);
        to << (p >= 0 && p < rowCount() && (m_all || m_rows[size_t(p)] == r)
                   ? index(p, from[k].column())
                   : QModelIndex());
    }
    changePersistentIndexList(from, to);
    emit layoutChanged();
}

int TText0FilterModel::lowerBound(int row) const {
    if (m_all)
        return std::clamp(row, 0, m_allCount);
    return int(std::lower_bound(m_rows.begin(), m_rows.end(), row) - m_rows.begin());
}

QModelIndex TText0FilterModel::mapToSource(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this || index.row() >= rowCount())
        return {};
    return m_source->index(m_all ? index.row() : m_rows[size_t(index.row())], index.column());
}

QModelIndex TText0FilterModel::mapFromSource(const QModelIndex& source) const {
    if (!m_class || !source.isValid() || source.row() >= m_class->RecordCount())
        return {};
    const int p = lowerBound(source.row());
    if (p >= rowCount() || (!m_all && m_rows[size_t(p)] != source.row()))
        return {};
    return index(p, source.column());
}

int TText0FilterModel::NearestShown(int row) const {
    const int p = lowerBound(row), n = rowCount();
    const auto sourceOf = [&](int q) { return m_all ? q : m_rows[size_t(q)]; };
    if (p < n)
        return sourceOf(p);
    return p > 0 ? sourceOf(p - 1) : -1;
}

int TText0FilterModel::FindFeld0(const QString& text) const {
    const int col = m_cols.size() > 1 ? m_cols[1] : -1;
    if (!m_class || col < 0 || col >= m_class->FieldCount())
        return -1;
    // A text that equals the filter contains it: only the rows shown can, in the same order.
    const bool filtered = !m_text.isEmpty() && text == m_text;
    const bool folded = filtered && !m_textsStale && m_texts.Rows() == m_class->RecordCount() &&
                        m_text.isValidUtf16();
    const int rows = filtered ? rowCount() : m_class->RecordCount();
    for (int p = 0; p < rows; ++p) {
        const int r = filtered && !m_all ? m_rows[size_t(p)] : p;
        if (folded) {
            if (m_texts.TextEquals(r, 1, m_folded))
                return r;
            continue;
        }
        if (m_class->IsNullAt(r, col))
            continue;
        if (m_class->ValueRef(r, col).toString().compare(text, Qt::CaseInsensitive) == 0)
            return r;
    }
    return -1;
}

int TText0FilterModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return m_all ? m_allCount : int(m_rows.size());
}

int TText0FilterModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_source->columnCount();
}

bool TText0FilterModel::flag(int sourceRow, int col) const {
    if (!m_class || col < 0 || col >= m_class->FieldCount())
        return false;
    int length = 0;
    // A Boolean as read is the server's "t" or "f".
    if (m_class->FieldType(col) == TFieldType::Boolean)
        if (const char* t = m_class->ValueText(sourceRow, col, &length))
            return length > 0 && *t == 't';
    return m_class->Value(sourceRow, col).toBool();
}

QVariant TText0FilterModel::display(const QModelIndex& source) const {
    QVariant v = m_source->data(source, Qt::DisplayRole);
    if (v.typeId() != QMetaType::QString)
        return v;
    // At most three lines of a text in its cell.
    const QString text = v.toString();
    if (text.count(u'\n') >= 3)
        return text.section(u'\n', 0, 2) + QStringLiteral(" …");
    return v;
}

QVariant TText0FilterModel::data(const QModelIndex& index, int role) const {
    QModelRoleData d(role);
    multiData(index, d);
    return d.data();
}

// A painted cell asks for seven roles at once: its row is looked up once, and roles the data
// model never answers cost nothing.
void TText0FilterModel::multiData(const QModelIndex& index, QModelRoleDataSpan roleDataSpan) const {
    const QModelIndex source = mapToSource(index);
    if (!source.isValid()) {
        for (QModelRoleData& d : roleDataSpan)
            d.clearData();
        return;
    }
    const int row = source.row();
    for (QModelRoleData& d : roleDataSpan) {
        switch (d.role()) {
        case Qt::DisplayRole:
            d.setData(display(source));
            break;
        case Qt::EditRole:
        case Qt::CheckStateRole:
            d.setData(m_source->data(source, d.role()));
            break;
        case Qt::BackgroundRole:
            if (flag(row, m_gray))
                d.setData(QColor(200, 200, 200));
            else if (flag(row, m_red))
                d.setData(QColor(247, 182, 166));
            else
                d.clearData();
            break;
        case Qt::FontRole:
            if (!m_cols.empty() && index.column() == m_cols[0] && flag(row, m_bold)) {
                QFont bold;
                bold.setBold(true);
                d.setData(bold);
            } else {
                d.clearData();
            }
            break;
        default:
            d.clearData();
        }
    }
}

bool TText0FilterModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const QModelIndex source = mapToSource(index);
    return source.isValid() && m_source->setData(source, value, role);
}

Qt::ItemFlags TText0FilterModel::flags(const QModelIndex& index) const {
    return m_source->flags(mapToSource(index));
}

QVariant TText0FilterModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (!m_class)
        return {};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        const QString field = m_class->FieldNameAt(section);
        if (field == u"t_feld0")
            return QStringLiteral("t_feld0 (DE)");
        if (field == u"t_feld3")
            return QStringLiteral("t_feld3 (EN)");
        return field;
    }
    if (orientation == Qt::Vertical) {
        if (section < 0 || section >= rowCount())
            return {};
        section = m_all ? section : m_rows[size_t(section)];
    }
    return m_source->headerData(section, orientation, role);
}
