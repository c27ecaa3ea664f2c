#include "CustomDataSource.h"

#include "DataController.h"

namespace Grid {

ColumnCells::~ColumnCells() = default;

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
