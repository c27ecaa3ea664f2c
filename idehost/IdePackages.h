#pragma once
// The IDE's design-time packages: loaded by name with QLibrary, then their exported Initialize and,
// where exported, Register, with registrations recorded under the package's name. At the end, in
// reverse order: the run time's module-unload procedures, Finalize, the package's registrations and
// wizards purged, and only then the library released. A package that cannot be loaded, lacks its
// entry points or fails in them is reported in the message view; the IDE goes on.

#include <QLibrary>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class TIdeServices;

class TIdePackages final {
public:
    explicit TIdePackages(TIdeServices& services) : m_services(services) {}
    ~TIdePackages() { UnloadAll(); }
    TIdePackages(const TIdePackages&) = delete;
    TIdePackages& operator=(const TIdePackages&) = delete;

    // True when the package is loaded and its entry points ran without failure.
    bool Load(const QString& name);
    void LoadAll(const QStringList& names);
    void Unload(const QString& name);
    void UnloadAll();
    QStringList Loaded() const;

private:
    struct Entry {
        QString name;
        std::unique_ptr<QLibrary> lib;
        void* handle = nullptr; // the run time's handle, for the unload procedures
    };
    void unload(Entry& entry);
    void report(const QString& text);

    TIdeServices& m_services;
    std::vector<Entry> m_packages;
};
