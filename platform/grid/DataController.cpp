#include "DataController.h"

#include <QThread>

#include <algorithm>
#include <exception>
#include <mutex>
#include <thread>

namespace Grid {

namespace {
thread_local DataController* t_currentProvider = nullptr;

// Marks the provider on whose behalf this thread calls into its source.
class ProviderScope final {
public:
    explicit ProviderScope(DataController* p) : m_previous(t_currentProvider) {
        t_currentProvider = p;
    }
    ~ProviderScope() { t_currentProvider = m_previous; }

private:
    DataController* m_previous;
};
} // namespace

DataController* CustomDataSource::CurrentProvider() {
    return t_currentProvider;
}

DataController::DataController(QObject* parent) : QObject(parent) {}

DataController::~DataController() {
    if (m_source) {
        auto& list = m_source->m_providers;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
}

void DataController::SetCustomDataSource(Grid::CustomDataSource* source) {
    if (source == m_source)
        return;
    if (m_source) {
        auto& list = m_source->m_providers;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    m_source = source;
    if (m_source)
        m_source->m_providers.push_back(this);
    DataChanged();
}

GridItemDataBinding& DataController::AddItem(std::unique_ptr<GridItemDataBinding> binding) {
    binding->m_controller = this;
    binding->m_index = int(m_items.size());
    m_items.push_back(std::move(binding));
    m_itemHandles.push_back(nullptr);
    return *m_items.back();
}

GridItemDataBinding* DataController::Item(int index) const {
    return index >= 0 && index < int(m_items.size()) ? m_items[size_t(index)].get() : nullptr;
}

void DataController::LoadRecordHandles() {
    if (!m_source) {
        m_records.clear();
        std::fill(m_itemHandles.begin(), m_itemHandles.end(), nullptr);
        return;
    }
    ProviderScope scope(this);
    m_source->LoadRecordHandles();
}

void DataController::LoadRecords() {
    m_records.clear();
    m_itemHandles.assign(m_items.size(), nullptr);
    if (!m_source)
        return;
    ProviderScope scope(this);
    for (size_t i = 0; i < m_items.size(); ++i)
        m_itemHandles[i] = m_source->GetItemHandle(int(i));
    const int n = std::max(0, m_source->GetRecordCount());
    m_records.reserve(size_t(n));
    for (int r = 0; r < n; ++r)
        m_records.push_back(m_source->GetRecordHandle(r));
}

RecordHandle DataController::GetRecordHandle(int row) const {
    return row >= 0 && row < int(m_records.size()) ? m_records[size_t(row)] : kNoRecord;
}

ItemHandle DataController::GetItemHandle(int item) const {
    return item >= 0 && item < int(m_itemHandles.size()) ? m_itemHandles[size_t(item)] : nullptr;
}

QVariant DataController::GetValue(int row, int item) const {
    if (!m_source || row < 0 || row >= RecordCount())
        return {};
    ProviderScope scope(const_cast<DataController*>(this));
    return m_source->GetValue(GetRecordHandle(row), GetItemHandle(item));
}

QString DataController::GetDisplayText(int row, int item) const {
    if (!m_source || row < 0 || row >= RecordCount())
        return {};
    ProviderScope scope(const_cast<DataController*>(this));
    return m_source->GetDisplayText(GetRecordHandle(row), GetItemHandle(item));
}

void DataController::SetValue(int row, int item, const QVariant& value) {
    if (!m_source)
        return;
    ProviderScope scope(this);
    m_source->SetValue(GetRecordHandle(row), GetItemHandle(item), value);
}

std::vector<std::vector<QVariant>> DataController::FetchValues(const std::vector<int>& items,
                                                               int maxThreads) const {
    const int rows = RecordCount();
    std::vector<std::vector<QVariant>> out(size_t(rows), std::vector<QVariant>(items.size()));
    if (!m_source || rows == 0)
        return out;
    std::vector<ItemHandle> handles;
    for (int i : items)
        handles.push_back(GetItemHandle(i));
    auto fetch = [&](int from, int to) {
        ProviderScope scope(const_cast<DataController*>(this));
        for (int r = from; r < to; ++r)
            for (size_t k = 0; k < handles.size(); ++k)
                out[size_t(r)][k] = m_source->GetValue(m_records[size_t(r)], handles[k]);
    };
    int threads = maxThreads > 0 ? maxThreads : QThread::idealThreadCount();
    if (!m_source->IsMultiThreadingSupported() || threads < 2 || rows < 2 * threads) {
        fetch(0, rows);
        return out;
    }
    // Plain threads, started and joined here: what they share is handed over visibly, so a race
    // checker sees every hand-over (a pool's queue hides it inside the library).
    std::mutex errorMutex;
    std::exception_ptr error;
    const int chunk = (rows + threads - 1) / threads;
    std::vector<std::thread> workers;
    for (int from = 0; from < rows; from += chunk) {
        const int to = std::min(rows, from + chunk);
        workers.emplace_back([&, from, to] {
            try {
                fetch(from, to);
            } catch (...) {
                std::lock_guard lock(errorMutex);
                if (!error)
                    error = std::current_exception();
            }
        });
    }
    for (std::thread& w : workers)
        w.join();
    if (error)
        std::rethrow_exception(error);
    return out;
}

void DataController::BeginUpdate() {
    ++m_lockCount;
}

void DataController::EndUpdate() {
    if (m_lockCount == 0)
        return;
    if (--m_lockCount == 0 && m_changePending)
        DataChanged();
}

void DataController::DataChanged() {
    if (m_lockCount > 0) {
        m_changePending = true;
        return;
    }
    m_changePending = false;
    emit DataAboutToReset();
    try {
        LoadRecordHandles();
    } catch (...) {
        // A view never shows records it could not load.
        m_records.clear();
        emit DataReset();
        throw;
    }
    emit DataReset();
}

} // namespace Grid
