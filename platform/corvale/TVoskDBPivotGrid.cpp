#include "TVoskDBPivotGrid.h"
#include "VoskGridLayouts.h"

#include "Korvexutils.h"
#include "UDM1.h"
#include "Uloghelper.h"
#include "Vcl.Components.h"

#include <TVoskClass.h>
#include <VoskQuery2.h>
#include <VoskExceptions.h>

#include <QCollator>
#include <QFont>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLocale>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

const QString TotalText = QStringLiteral("Gesamtsumme");

bool IsWhole(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

bool IsReal(const QVariant& v) {
    return v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float;
}

bool IsNumber(const QVariant& v) {
    return IsWhole(v) || IsReal(v) || v.typeId() == QMetaType::ULongLong;
}

// Decimals a value was given with, so that sums of amounts come out as amounts and not with the
// binary noise of their last digit.
int DecimalsOf(double x) {
    const QString s = QString::number(x, 'g', 15);
    if (s.contains(u'e'))
        return 6;
    const qsizetype dot = s.indexOf(u'.');
    return dot < 0 ? 0 : int(qMin<qsizetype>(6, s.size() - dot - 1));
}

// A key's identity for grouping: its type and its value as text.
QString GroupKey(const QVariant& v) {
    if (v.isNull())
        return QStringLiteral("\x01");
    return QString::number(v.typeId()) + u'\x1f' + v.toString();
}

bool KeyLess(const QVariant& a, const QVariant& b, const QCollator& collator) {
    // Records without a value come last, as their own group.
    if (a.isNull() || b.isNull())
        return !a.isNull() && b.isNull();
    if (IsNumber(a) && IsNumber(b))
        return a.toDouble() < b.toDouble();
    if (a.typeId() == b.typeId()) {
        switch (a.typeId()) {
        case QMetaType::Bool:
            return !a.toBool() && b.toBool();
        case QMetaType::QDate:
            return a.toDate() < b.toDate();
        case QMetaType::QDateTime:
            return a.toDateTime() < b.toDateTime();
        case QMetaType::QTime:
            return a.toTime() < b.toTime();
        default:
            break;
        }
    }
    return collator.compare(a.toString(), b.toString()) < 0;
}

QTableView* MakeView(QWidget* parent) {
    auto* view = new QTableView(parent);
    view->setObjectName(QStringLiteral("PivotView"));
    view->setAccessibleName(QStringLiteral("Kreuztabelle"));
    view->setToolTip(QStringLiteral("Summen je Zeilen- und Spaltenwert mit Gesamtsummen"));
    view->verticalHeader()->hide();
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setAlternatingRowColors(true);
    return view;
}

TDM1* Connected() {
    TDM1* dm = DM1();
    return dm && dm->Connected() ? dm : nullptr;
}

} // namespace

// ---- model -------------------------------------------------------------------------------

void TVoskPivotModel::Acc::Add(const QVariant& v) {
    if (v.isNull())
        return;
    if (IsWhole(v) || v.typeId() == QMetaType::ULongLong) {
        const qint64 x = v.toLongLong();
        if (!__builtin_add_overflow(whole, x, &whole)) {
            any = true;
            return;
        }
        // Past the range of whole numbers the sum goes on as a real one rather than wrap.
        isReal = true;
        const double moved = double(whole);
        whole = x;
        const double t = real + moved;
        comp += std::fabs(real) >= std::fabs(moved) ? (real - t) + moved : (moved - t) + real;
        real = t;
        any = true;
        return;
    }
    const double x = v.toDouble();
    isReal = true;
    any = true;
    // Compensated summation keeps long columns of amounts exact to their cents.
    const double t = real + x;
    comp += std::fabs(real) >= std::fabs(x) ? (real - t) + x : (x - t) + real;
    real = t;
}

QVariant TVoskPivotModel::Acc::Value(int decimals) const {
    if (!any)
        return {};
    if (!isReal)
        return QVariant(whole);
    const double sum = double(whole) + real + comp;
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(sum * scale) / scale;
    return QVariant(std::isfinite(rounded) ? rounded : sum);
}

TVoskPivotModel::TVoskPivotModel(QObject* parent) : QAbstractTableModel(parent) {}

void TVoskPivotModel::SetSource(TVoskClass* dataClass, const QString& rowField,
                                const QString& columnField, const QString& dataField) {
    m_class = dataClass;
    m_rowField = rowField;
    m_colField = columnField;
    m_dataField = dataField;
    Rebuild();
}

void TVoskPivotModel::SetCaptions(const QString& rowCaption, const QString& columnCaption) {
    m_rowCaption = rowCaption;
    m_colCaption = columnCaption;
    if (columnCount() > 0)
        emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

TVoskPivotModel::Acc& TVoskPivotModel::at(int r, int c) {
    return m_acc[size_t(r) * (m_colKeys.size() + 1) + size_t(c)];
}

const TVoskPivotModel::Acc& TVoskPivotModel::at(int r, int c) const {
    return m_acc[size_t(r) * (m_colKeys.size() + 1) + size_t(c)];
}

void TVoskPivotModel::Rebuild() {
    beginResetModel();
    m_rowKeys.clear();
    m_colKeys.clear();
    m_acc.clear();
    m_decimals = 0;
    m_valid = false;
    TVoskClass* c = m_class;
    const int dataCol = c && c->Active() ? c->FieldIndex(m_dataField) : -1;
    const int rowCol = c && !m_rowField.isEmpty() ? c->FieldIndex(m_rowField) : -1;
    const int colCol = c && !m_colField.isEmpty() ? c->FieldIndex(m_colField) : -1;
    if (dataCol < 0 || (!m_rowField.isEmpty() && rowCol < 0) ||
        (!m_colField.isEmpty() && colCol < 0)) {
        endResetModel();
        return;
    }
    m_valid = true;
    const int n = c->RecordCount();
    QCollator collator{QLocale(QLocale::German, QLocale::Germany)};
    auto collect = [&](int col, std::vector<QVariant>& keys) {
        if (col < 0)
            return QHash<QString, int>();
        QHash<QString, int> seen;
        for (int r = 0; r < n; ++r) {
            const QVariant v = c->Value(r, col);
            const QString k = GroupKey(v);
            if (!seen.contains(k)) {
                seen.insert(k, 0);
                keys.push_back(v);
            }
        }
        std::sort(keys.begin(), keys.end(), [&](const QVariant& a, const QVariant& b) {
            return KeyLess(a, b, collator);
        });
        for (int i = 0; i < int(keys.size()); ++i)
            seen[GroupKey(keys[size_t(i)])] = i;
        return seen;
    };
    const QHash<QString, int> rowIndex = collect(rowCol, m_rowKeys);
    const QHash<QString, int> colIndex = collect(colCol, m_colKeys);
    const int R = int(m_rowKeys.size());
    const int C = int(m_colKeys.size());
    m_acc.assign(size_t(R + 1) * size_t(C + 1), Acc());
    for (int r = 0; r < n; ++r) {
        const QVariant v = c->Value(r, dataCol);
        if (v.isNull() || !IsNumber(v))
            continue;
        if (IsReal(v))
            m_decimals = qMax(m_decimals, DecimalsOf(v.toDouble()));
        const int ri = rowCol < 0 ? R : rowIndex.value(GroupKey(c->Value(r, rowCol)));
        const int ci = colCol < 0 ? C : colIndex.value(GroupKey(c->Value(r, colCol)));
        if (ri < R && ci < C)
            at(ri, ci).Add(v);
        if (ri < R)
            at(ri, C).Add(v);
        if (ci < C)
            at(R, ci).Add(v);
        at(R, C).Add(v);
    }
    endResetModel();
}

QVariant TVoskPivotModel::Sum(int r, int c) const {
    if (!m_valid)
        return {};
    const int R = RowKeyCount(), C = ColumnKeyCount();
    if (r < 0)
        r = R;
    if (c < 0)
        c = C;
    if (r > R || c > C)
        return {};
    return at(r, c).Value(m_decimals);
}

QString TVoskPivotModel::KeyText(const QVariant& key) {
    if (key.isNull())
        return QStringLiteral("(leer)");
    QLocale german(QLocale::German, QLocale::Germany);
    german.setNumberOptions(QLocale::OmitGroupSeparator);
    switch (key.typeId()) {
    case QMetaType::Bool:
        return key.toBool() ? QStringLiteral("Ja") : QStringLiteral("Nein");
    case QMetaType::QDate:
        return german.toString(key.toDate(), QStringLiteral("dd.MM.yyyy"));
    case QMetaType::QDateTime:
        return german.toString(key.toDateTime(), QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    case QMetaType::Double:
    case QMetaType::Float:
        return german.toString(key.toDouble(), 'f', QLocale::FloatingPointShortest);
    default:
        return key.toString();
    }
}

QString TVoskPivotModel::sumText(const QVariant& v) const {
    if (v.isNull())
        return {};
    const QLocale german(QLocale::German, QLocale::Germany);
    if (v.typeId() == QMetaType::LongLong)
        return german.toString(v.toLongLong());
    return german.toString(v.toDouble(), 'f', m_decimals);
}

int TVoskPivotModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_valid ? 0 : RowKeyCount() + 1;
}

int TVoskPivotModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_valid ? 0 : ColumnKeyCount() + 2;
}

QVariant TVoskPivotModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const int r = index.row();
    const int col = index.column();
    const bool totalRow = r == RowKeyCount();
    const bool totalCol = col == ColumnKeyCount() + 1;
    if (role == Qt::FontRole && (totalRow || totalCol)) {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    if (col == 0) {
        const QVariant key = totalRow ? QVariant(TotalText) : RowKey(r);
        if (role == Qt::DisplayRole)
            return totalRow ? TotalText : KeyText(key);
        if (role == Qt::EditRole)
            return key;
        return {};
    }
    const QVariant sum = Sum(r, col - 1);
    switch (role) {
    case Qt::DisplayRole:
        return sumText(sum);
    case Qt::EditRole:
        return sum;
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    default:
        return {};
    }
}

QVariant TVoskPivotModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    if (section == 0)
        return m_rowCaption;
    if (section == ColumnKeyCount() + 1)
        return TotalText;
    const QString text = KeyText(ColumnKey(section - 1));
    if (role == Qt::ToolTipRole && !m_colCaption.isEmpty())
        return m_colCaption + QStringLiteral(": ") + text;
    return text;
}

// ---- view --------------------------------------------------------------------------------

TVoskDBPivotGrid::TVoskDBPivotGrid(QWidget* parent)
    : QFrame(parent), m_model(new TVoskPivotModel(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("PivotFieldBar"));
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(4, 2, 4, 2);
    m_dataLabel = new QLabel(bar);
    m_dataLabel->setAccessibleName(QStringLiteral("Datenfeld"));
    m_columnLabel = new QLabel(bar);
    m_columnLabel->setAccessibleName(QStringLiteral("Spaltenfeld"));
    barLayout->addWidget(m_dataLabel);
    barLayout->addSpacing(16);
    barLayout->addWidget(m_columnLabel);
    barLayout->addStretch();
    m_view = MakeView(this);
    m_view->setModel(m_model);
    layout->addWidget(bar);
    layout->addWidget(m_view, 1);
    setFocusProxy(m_view);
    updateFieldBar();
}

void TVoskDBPivotGrid::SetDataClass(TVoskClass* dataClass) {
    if (m_class)
        disconnect(m_class, nullptr, this, nullptr);
    m_class = dataClass;
    if (dataClass) {
        // Any change of the records changes sums; the cross-tab is computed anew each time.
        connect(dataClass, &TVoskClass::RowsReset, this, [this] { refresh(); });
        connect(dataClass, &TVoskClass::RowInserted, this, [this] { refresh(); });
        connect(dataClass, &TVoskClass::RowRemoved, this, [this] { refresh(); });
        connect(dataClass, &TVoskClass::RowUpdated, this, [this] { refresh(); });
        connect(dataClass, &TVoskClass::FieldChanged, this, [this] { refresh(); });
    }
    refresh();
}

void TVoskDBPivotGrid::refresh() {
    m_model->SetSource(m_class, m_rowField, m_colField, m_dataField);
    m_model->SetCaptions(FieldCaption(m_rowField), FieldCaption(m_colField));
    updateFieldBar();
}

void TVoskDBPivotGrid::updateFieldBar() {
    const QString data = m_dataField.isEmpty() ? QString() : FieldCaption(m_dataField);
    m_dataLabel->setText(data.isEmpty() ? QString() : QStringLiteral("Summe von ") + data);
    m_dataLabel->setToolTip(data.isEmpty() ? QStringLiteral("Kein Datenfeld zugeordnet")
                                           : QStringLiteral("Summiertes Feld: ") + data);
    const QString col = m_colField.isEmpty() ? QString() : FieldCaption(m_colField);
    m_columnLabel->setText(col.isEmpty() ? QString() : QStringLiteral("Spalten: ") + col);
    m_columnLabel->setToolTip(col.isEmpty() ? QStringLiteral("Kein Spaltenfeld zugeordnet")
                                            : QStringLiteral("Spaltenfeld: ") + col);
}

void TVoskDBPivotGrid::SetRowField(const QString& field) {
    SetFields(field, m_colField, m_dataField);
}

void TVoskDBPivotGrid::SetColumnField(const QString& field) {
    SetFields(m_rowField, field, m_dataField);
}

void TVoskDBPivotGrid::SetDataField(const QString& field) {
    SetFields(m_rowField, m_colField, field);
}

void TVoskDBPivotGrid::SetFields(const QString& rowField, const QString& columnField,
                                 const QString& dataField) {
    TVoskClass* c = m_class;
    if (c && c->Active() && c->FieldCount() > 0) {
        for (const QString& f : {rowField, columnField, dataField})
            if (!f.isEmpty() && c->FieldIndex(f) < 0)
                throw EVoskException(
                    QStringLiteral("Das Feld \"%1\" gibt es in den Daten der Kreuztabelle nicht.")
                        .arg(f));
        const int col = dataField.isEmpty() ? -1 : c->FieldIndex(dataField);
        bool numbers = col >= 0 && c->FieldIsNumeric(col);
        if (col >= 0 && !numbers) {
            // A computed column has no catalog type; its values tell.
            numbers = true;
            for (int r = 0; r < c->RecordCount() && numbers; ++r) {
                const QVariant v = c->Value(r, col);
                numbers = v.isNull() || IsNumber(v);
            }
        }
        if (col >= 0 && !numbers)
            throw EVoskException(QStringLiteral("Das Feld \"%1\" enthält keine Zahlen und kann "
                                                "nicht summiert werden.")
                                     .arg(FieldCaption(dataField)));
    }
    m_rowField = rowField;
    m_colField = columnField;
    m_dataField = dataField;
    refresh();
}

void TVoskDBPivotGrid::SetRowCaption(const QString& caption) {
    m_rowCaption = caption;
    refresh();
}

void TVoskDBPivotGrid::SetColumnCaption(const QString& caption) {
    m_colCaption = caption;
    refresh();
}

void TVoskDBPivotGrid::SetDataCaption(const QString& caption) {
    m_dataCaption = caption;
    updateFieldBar();
}

QString TVoskDBPivotGrid::FieldCaption(const QString& field) const {
    if (field.isEmpty())
        return {};
    if (field.compare(m_rowField, Qt::CaseInsensitive) == 0 && !m_rowCaption.isEmpty())
        return m_rowCaption;
    if (field.compare(m_colField, Qt::CaseInsensitive) == 0 && !m_colCaption.isEmpty())
        return m_colCaption;
    if (field.compare(m_dataField, Qt::CaseInsensitive) == 0 && !m_dataCaption.isEmpty())
        return m_dataCaption;
    QString alias;
    if (TDM1* dm = Connected(); dm && m_class)
        alias = dm->GetFieldAlias(field, m_class->SqlTable());
    return alias.isEmpty() ? field : alias;
}

void TVoskDBPivotGrid::CheckCaptionHeaders() {
    if (m_rowCaption.isEmpty())
        m_rowCaption = FieldCaption(m_rowField);
    if (m_colCaption.isEmpty())
        m_colCaption = FieldCaption(m_colField);
    if (m_dataCaption.isEmpty())
        m_dataCaption = FieldCaption(m_dataField);
    refresh();
}

// ---- layout ------------------------------------------------------------------------------

QString TVoskDBPivotGrid::FormClassName() const {
    QWidget* form = Korvexutils::KorvexGetForm(const_cast<TVoskDBPivotGrid*>(this));
    for (QObject* o = Vcl::Owner(this); o; o = Vcl::Owner(o))
        if (o->isWidgetType() && static_cast<QWidget*>(o)->isWindow()) {
            form = static_cast<QWidget*>(o);
            break;
        }
    return form ? Vcl::ClassName(form) : QString();
}

bool TVoskDBPivotGrid::LayoutExists(int type) {
    return VoskGridLayouts::Exists({FormClassName(), GridName()}, type, &m_layoutSavedAt,
                                   &m_layoutSavedBy);
}

QString TVoskDBPivotGrid::LayoutText() const {
    QJsonObject root;
    root[QStringLiteral("rowField")] = m_rowField;
    root[QStringLiteral("columnField")] = m_colField;
    root[QStringLiteral("dataField")] = m_dataField;
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Compact));
}

bool TVoskDBPivotGrid::ApplyLayoutText(const QString& text) {
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &err);
    const QJsonObject root = doc.object();
    if (err.error != QJsonParseError::NoError || !doc.isObject() ||
        !root.value(QStringLiteral("dataField")).isString()) {
        TKorvexLog::LogMessage(QStringLiteral("%1.%2: Layout nicht lesbar, ignoriert: %3")
                                   .arg(FormClassName(), GridName(),
                                        err.error != QJsonParseError::NoError
                                            ? err.errorString()
                                            : QStringLiteral("keine Feldzuordnung")),
                               TKorvexLogLevel::Warning);
        return false;
    }
    try {
        SetFields(root.value(QStringLiteral("rowField")).toString(),
                  root.value(QStringLiteral("columnField")).toString(),
                  root.value(QStringLiteral("dataField")).toString());
    } catch (const EVoskException& e) {
        // A layout saved over a query that has changed since: the current assignment stays.
        TKorvexLog::LogMessage(QStringLiteral("%1.%2: Layout ignoriert: %3")
                                   .arg(FormClassName(), GridName(), e.Message()),
                               TKorvexLogLevel::Warning);
        return false;
    }
    return true;
}

bool TVoskDBPivotGrid::LayoutLoad(int type) {
    const QVariant text = VoskGridLayouts::Load({FormClassName(), GridName()}, type);
    return !text.isNull() && ApplyLayoutText(text.toString());
}

void TVoskDBPivotGrid::LayoutSave(int type) {
    VoskGridLayouts::Save({FormClassName(), GridName()}, type, LayoutText());
}

void TVoskDBPivotGrid::LayoutDelete(int type) {
    VoskGridLayouts::Delete({FormClassName(), GridName()}, type);
}

void TVoskDBPivotGrid::InitLayout() {
    if (m_layoutInitDone || !Connected())
        return;
    m_layoutInitDone = true;
    if (LayoutExists(2))
        LayoutLoad(2);
}
