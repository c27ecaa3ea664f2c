#include "IdePackages.h"

#include "IdeServices.h"

#include "DesignIntf.h"
#include "SysPackages.h"
#include "VoskExceptions.h"

#include <QFile>

#include <dlfcn.h>

namespace {
using Proc = void (*)();

// Runs an entry point; the failure's text, or empty.
QString run(Proc proc) {
    try {
        proc();
        return {};
    } catch (...) {
        return Rtl::ExceptionMessage(std::current_exception());
    }
}

class RegisteringScope final {
public:
    explicit RegisteringScope(const QString& module) : m_old(DesignIntf::RegisteringModule()) {
        DesignIntf::SetRegisteringModule(module);
    }
    ~RegisteringScope() { DesignIntf::SetRegisteringModule(m_old); }

private:
    QString m_old;
};
} // namespace

void TIdePackages::report(const QString& text) { m_services.AddTitleMessage(text); }

bool TIdePackages::Load(const QString& name) {
    for (const Entry& e : m_packages)
        if (e.name.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    auto lib = std::make_unique<QLibrary>(Rtl::PackageFileName(name));
    lib->setLoadHints(QLibrary::ExportExternalSymbolsHint);
    if (!lib->load()) {
        report(QStringLiteral("Package %1 kann nicht geladen werden: %2").arg(name, lib->errorString()));
        return false;
    }
    auto init = reinterpret_cast<Proc>(lib->resolve("Initialize"));
    auto reg = reinterpret_cast<Proc>(lib->resolve("Register"));
    if (!init) {
        report(QStringLiteral("Package %1 hat keine Einsprungstelle Initialize und wird nicht "
                              "verwendet").arg(name));
        lib->unload();
        return false;
    }
    Entry entry{name, std::move(lib), nullptr};
    const QByteArray file = QFile::encodeName(entry.lib->fileName());
    entry.handle = dlopen(file.constData(), RTLD_NOW | RTLD_NOLOAD);
    if (entry.handle)
        dlclose(entry.handle); // only its identity is kept
    RegisteringScope scope(name);
    if (const QString error = run(init); !error.isEmpty()) {
        report(QStringLiteral("Package %1: Fehler in Initialize: %2").arg(name, error));
        // A failed Initialize has undone its units; what it registered goes too.
        DesignIntf::PurgeModule(name);
        m_services.PurgeModule(name);
        entry.lib->unload();
        return false;
    }
    m_packages.push_back(std::move(entry));
    const QString error = reg ? run(reg) : QString();
    m_services.NotifyRegistered();
    if (!error.isEmpty()) {
        report(QStringLiteral("Package %1: Fehler in Register: %2").arg(name, error));
        return false;
    }
    return true;
}

void TIdePackages::LoadAll(const QStringList& names) {
    for (const QString& name : names)
        Load(name);
}

void TIdePackages::unload(Entry& entry) {
    Rtl::NotifyModuleUnload(entry.handle);
    if (auto fini = reinterpret_cast<Proc>(entry.lib->resolve("Finalize")))
        if (const QString error = run(fini); !error.isEmpty())
            report(QStringLiteral("Package %1: Fehler in Finalize: %2").arg(entry.name, error));
    // Nothing may point into the package's code once it is released.
    DesignIntf::PurgeModule(entry.name);
    m_services.PurgeModule(entry.name);
    entry.lib->unload();
}

void TIdePackages::Unload(const QString& name) {
    for (auto it = m_packages.begin(); it != m_packages.end(); ++it)
        if (it->name.compare(name, Qt::CaseInsensitive) == 0) {
            unload(*it);
            m_packages.erase(it);
            return;
        }
}

void TIdePackages::UnloadAll() {
    while (!m_packages.empty()) {
        unload(m_packages.back());
        m_packages.pop_back();
    }
}

QStringList TIdePackages::Loaded() const {
    QStringList names;
    for (const Entry& e : m_packages)
        names << e.name;
    return names;
}
