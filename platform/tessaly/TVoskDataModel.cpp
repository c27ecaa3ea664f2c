#include "TVoskDataModel.h"

#include "TVoskClass.h"

#include <EventGuard.h>
#include <UDM1.h>
#include <VoskExceptions.h>

#include <QDateTime>
#include <QLocale>

TVoskDataModel::TVoskDataModel(TVoskClass* dataClass, QObject* parent)
    : QAbstractTableModel(parent), m_class(dataClass) {
    if (!dataClass)
        return;
    connect(dataClass, &TVoskClass::AboutToReset, this, [this] {
        m_resetting = true;
        beginResetModel();
    });
    connect(dataClass, &TVoskClass::RowsReset, this, [this] {
        // Close of a class never opened announces nothing; a reset must still pair up.
        if (!m_resetting)
            beginResetModel();
        m_resetting = false;
        endResetModel();
    });
    connect(dataClass, &TVoskClass::AboutToInsertRow, this,
            [this](int row) { beginInsertRows({}, row, row); });
    connect(dataClass, &TVoskClass::RowInserted, this, [this] { endInsertRows(); });
    connect(dataClass, &TVoskClass::AboutToRemoveRow, this,
            [this](int row) { beginRemoveRows({}, row, row); });
    connect(dataClass, &TVoskClass::RowRemoved, this, [this] { endRemoveRows(); });
    connect(dataClass, &TVoskClass::FieldChanged, this, [this](int row, int col) {
        const QModelIndex i = index(row, col);
        emit dataChanged(i, i);
    });
    connect(dataClass, &TVoskClass::RowUpdated, this, [this](int row) {
        if (row >= 0 && row < rowCount() && columnCount() > 0)
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    });
    // Editability follows the read-only and edit flags.
    m_canModify = dataClass->CanModify();
    connect(dataClass, &TVoskClass::StateChanged, this, [this] {
        const bool canModify = m_class->CanModify();
        if (canModify == m_canModify)
            return;
        m_canModify = canModify;
        if (rowCount() > 0 && columnCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                             {Qt::DisplayRole});
    });
    connect(dataClass, &QObject::destroyed, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

int TVoskDataModel::ColumnOfField(const QString& fieldName) const {
    return m_class ? m_class->FieldIndex(fieldName) : -1;
}

int TVoskDataModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_class ? 0 : m_class->RecordCount();
}

int TVoskDataModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_class ? 0 : m_class->FieldCount();
}

QVariant TVoskDataModel::data(const QModelIndex& index, int role) const {
    if (!m_class || !index.isValid() ||
        !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const bool boolean = m_class->FieldIsBoolean(index.column());
    if (role == Qt::CheckStateRole && boolean) {
        // No value is neither yes nor no; the box says so rather than showing "no".
        const QVariant v = m_class->Value(index.row(), index.column());
        return v.isNull() ? Qt::PartiallyChecked : v.toBool() ? Qt::Checked : Qt::Unchecked;
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    const QVariant v = m_class->Value(index.row(), index.column());
    if (boolean && role == Qt::DisplayRole)
        return {}; // the check box is the value
    if (role == Qt::EditRole || v.isNull())
        return v;
    // Shown the German way whatever the machine's locale; editing keeps the typed value.
    static const QLocale german(QLocale::German, QLocale::Germany);
    switch (v.typeId()) {
    case QMetaType::QDate: return v.toDate().toString(QStringLiteral("dd.MM.yyyy"));
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        return dt.toString(dt.time().second() == 0 && dt.time().msec() == 0
                               ? QStringLiteral("dd.MM.yyyy hh:mm")
                               : QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    }
    case QMetaType::Double: return german.toString(v.toDouble(), 'g', 15);
    default: return v;
    }
}

bool TVoskDataModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!m_class || !index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    const bool check = role == Qt::CheckStateRole && m_class->FieldIsBoolean(index.column());
    if (role != Qt::EditRole && !check)
        return false;
    // A view asks only for editable cells; anyone else gets a plain no, as from any model.
    if (!(flags(index) & (check ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable)))
        return false;
    try {
        if (m_class->CurrentRow() != index.row()) {
            // Leaving the record first: giving up an untouched new record removes its row, and
            // the persistent index follows the cell the user edited through that.
            const QPersistentModelIndex target(index);
            if (m_class->InEdit()) {
                if (m_class->Modified())
                    m_class->Post();
                else
                    m_class->Cancel();
            }
            if (!target.isValid())
                return false;
            m_class->SetRecNo(target.row() + 1);
        }
        // An editor left empty means no value, as in the data-aware edits.
        const bool empty = value.typeId() == QMetaType::QString && value.toString().isEmpty();
        if (check)
            m_class->SetValue(index.column(),
                              Qt::CheckState(value.toInt()) == Qt::Checked);
        else
            m_class->SetValue(index.column(), empty ? QVariant() : value);
        m_lastError.clear();
        return true;
    } catch (const EAbort&) {
        m_lastError.clear();
    } catch (const std::exception&) {
        m_lastError = Rtl::ExceptionMessage(std::current_exception());
        Rtl::HandleException(std::current_exception(), m_class);
    }
    return false;
}

QVariant TVoskDataModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (!m_class)
        return {};
    if (orientation != Qt::Horizontal)
        return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
    if (section < 0 || section >= m_class->FieldCount())
        return {};
    const QString field = m_class->FieldNameAt(section);
    if (m_headerExtra)
        if (QVariant extra = m_headerExtra(field, role); extra.isValid())
            return extra;
    // Users know a column by its alias; the field name stays the tool tip for those who need it.
    if (role == Qt::ToolTipRole)
        return field;
    if (role != Qt::DisplayRole)
        return {};
    QString alias;
    if (TDM1* dm = DM1(); dm && dm->Connected())
        alias = dm->GetFieldAlias(field, m_class->FieldAliasTable());
    return alias.isEmpty() ? field : alias;
}

void TVoskDataModel::SetHeaderExtra(THeaderExtra extra) {
    m_headerExtra = std::move(extra);
    if (const int n = columnCount(); n > 0)
        emit headerDataChanged(Qt::Horizontal, 0, n - 1);
}

Qt::ItemFlags TVoskDataModel::flags(const QModelIndex& index) const {
    if (!m_class || !index.isValid() ||
        !checkIndex(index, CheckIndexOption::IndexIsValid))
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    // A Boolean is ticked, not typed.
    if (m_class->FieldEditable(index.column()))
        f |= m_class->FieldIsBoolean(index.column()) ? Qt::ItemIsUserCheckable
                                                     : Qt::ItemIsEditable;
    return f;
}

void TVoskDataModel::sort(int column, Qt::SortOrder order) {
    if (!m_class || !m_class->Active() || column < 0)
        return;
    m_sorting = true;
    Rtl::Guarded([&] { m_class->SortBy(column, order == Qt::AscendingOrder); }, m_class);
    m_sorting = false;
}
