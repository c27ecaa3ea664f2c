#include "CustomDataSource.h"

#include "DataController.h"

#include <algorithm>
#include <type_traits>

namespace Grid {

namespace {

// Arrays of cells let go of on this thread, for the next cells to read into: up to kKeep bytes
// in all, as they come.
thread_local bool t_sparesGone = false; // trivially destroyed: still readable after the spares

class SpareCells final {
public:
    SpareCells() = default;
    SpareCells(const SpareCells&) = delete;
    SpareCells& operator=(const SpareCells&) = delete;
    ~SpareCells() { t_sparesGone = true; }
    template <class T> void Give(std::vector<T>& cells) {
        const size_t bytes = cells.capacity() * sizeof(T);
        if (bytes < kSmall || m_bytes + bytes > kKeep)
            return;
        m_bytes += bytes;
        List<T>().push_back(std::move(cells));
    }
    // An array of count cells, their values unspecified.
    template <class T> void Take(std::vector<T>& cells, size_t count) {
        auto& list = List<T>();
        if (cells.capacity() < count)
            for (auto it = list.begin(); it != list.end(); ++it)
                if (it->capacity() >= count) {
                    m_bytes -= it->capacity() * sizeof(T);
                    cells.swap(*it);
                    list.erase(it);
                    break;
                }
        cells.resize(count);
    }

private:
    static constexpr size_t kSmall = size_t(64) << 10; // smaller ones cost few faults
    static constexpr size_t kKeep = size_t(128) << 20; // 128 MiB
    template <class T> std::vector<std::vector<T>>& List() {
        if constexpr (std::is_same_v<T, quint8>)
            return m_nulls;
        else if constexpr (std::is_same_v<T, qint64>)
            return m_integers;
        else if constexpr (std::is_same_v<T, double>)
            return m_reals;
        else
            return m_texts;
    }
    size_t m_bytes = 0;
    std::vector<std::vector<quint8>> m_nulls;
    std::vector<std::vector<qint64>> m_integers;
    std::vector<std::vector<double>> m_reals;
    std::vector<std::vector<QAnyStringView>> m_texts;
};

SpareCells& Spares() {
    thread_local SpareCells spares;
    return spares;
}

} // namespace

ColumnCells::~ColumnCells() {
    if (t_sparesGone) // cells outliving their thread's spares
        return;
    SpareCells& spares = Spares();
    spares.Give(Null);
    spares.Give(Integers);
    spares.Give(Reals);
    spares.Give(Texts);
}

void ColumnCells::Prepare(TKind kind, size_t count) {
    Kind = kind;
    SpareCells& spares = Spares();
    spares.Take(Null, count);
    std::fill(Null.begin(), Null.end(), quint8(1));
    switch (kind) {
    case ckInteger:
        spares.Take(Integers, count);
        break;
    case ckReal:
        spares.Take(Reals, count);
        break;
    case ckText:
        spares.Take(Texts, count);
        break;
    }
}

bool ColumnCells::Number(size_t i, double& out) const {
    if (Null[i])
        return false;
    switch (Kind) {
    case ckInteger:
        out = double(Integers[i]);
        return !Temporal;
    case ckReal:
        out = Reals[i];
        return true;
    case ckText: {
        bool ok = false;
        out = Texts[i].toString().toDouble(&ok);
        return ok;
    }
    }
    return false;
}

CustomDataSource::CustomDataSource() = default;

CustomDataSource::~CustomDataSource() {
    // Views outlive their sources often enough: they go empty instead of reading freed memory.
    while (!m_providers.empty())
        m_providers.back()->SetCustomDataSource(nullptr);
}

RecordHandle CustomDataSource::GetRecordHandle(int recordIndex) {
    return RecordHandle(recordIndex) + 1;
}

QString CustomDataSource::GetDisplayText(RecordHandle record, ItemHandle item) {
    const QVariant v = GetValue(record, item);
    return v.isValid() && !v.isNull() ? v.toString() : QString();
}

bool CustomDataSource::ReadCells(const RecordHandle*, size_t, ItemHandle, ColumnCells&) {
    return false;
}

std::unique_ptr<ColumnCells> CustomDataSource::CreateCells() {
    return std::make_unique<ColumnCells>();
}

ItemHandle CustomDataSource::GetItemHandle(int itemIndex) {
    DataController* provider = CurrentProvider();
    return provider ? provider->Item(itemIndex) : nullptr;
}

void CustomDataSource::LoadRecordHandles() {
    if (DataController* provider = CurrentProvider())
        provider->LoadRecords();
}

int CustomDataSource::NativeCompareFunc(RecordHandle a, RecordHandle b, ItemHandle) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

void CustomDataSource::DataChanged() {
    const std::vector<DataController*> providers = m_providers;
    for (DataController* p : providers)
        p->DataChanged();
}

} // namespace Grid
