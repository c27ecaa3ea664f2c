#pragma once
// Loads the system's packages as the ERP does: by library name, then their exported Initialize;
// Finalize in reverse order when the host ends.

#include <QLibrary>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class THostPackages final {
public:
    ~THostPackages() { UnloadAll(); }
    // Throws EVoskException naming the library or the missing entry point.
    void Load(const QString& name);
    void UnloadAll();
    QStringList Loaded() const;

private:
    struct Entry {
        QString name;
        std::unique_ptr<QLibrary> lib;
    };
    std::vector<Entry> m_packages;
};
