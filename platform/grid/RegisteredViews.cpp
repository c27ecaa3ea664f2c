#include "RegisteredViews.h"

#include <vector>

namespace Grid {
namespace {

struct Entry {
    QString className;
    QString description;
    RegisteredViews::Factory factory;
};

std::vector<Entry>& Entries() {
    static std::vector<Entry> entries;
    return entries;
}

const Entry* ByDescription(const QString& description) {
    for (const Entry& e : Entries())
        if (e.description.compare(description, Qt::CaseInsensitive) == 0)
            return &e;
    return nullptr;
}

} // namespace

void RegisteredViews::Register(const QString& className, const QString& description,
                               Factory factory) {
    for (Entry& e : Entries())
        if (e.className.compare(className, Qt::CaseInsensitive) == 0) {
            e = Entry{className, description, std::move(factory)};
            return;
        }
    Entries().push_back(Entry{className, description, std::move(factory)});
}

void RegisteredViews::Unregister(const QString& className) {
    auto& entries = Entries();
    std::erase_if(entries, [&](const Entry& e) {
        return e.className.compare(className, Qt::CaseInsensitive) == 0;
    });
}

bool RegisteredViews::Contains(const QString& description) {
    return ByDescription(description) != nullptr;
}

QString RegisteredViews::ClassOf(const QString& description) {
    const Entry* e = ByDescription(description);
    return e ? e->className : QString();
}

QStringList RegisteredViews::Descriptions() {
    QStringList list;
    for (const Entry& e : Entries())
        list << e.description;
    return list;
}

GridBandedTableView* RegisteredViews::Create(const QString& description, QObject* owner) {
    const Entry* e = ByDescription(description);
    return e && e->factory ? e->factory(owner) : nullptr;
}

} // namespace Grid
