#include "UHostPackages.h"

#include "VoskExceptions.h"

#include <QCoreApplication>
#include <QDir>

void THostPackages::Load(const QString& name) {
    // Packages sit in lib/ beside bin/ of the build; the loader's search path is the fallback.
    const QString local =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../lib/lib%1.so").arg(name));
    auto lib = std::make_unique<QLibrary>(QFile::exists(local) ? local : name);
    if (!lib->load())
        throw EVoskException(QStringLiteral("Paket %1 kann nicht geladen werden: %2")
                                 .arg(name, lib->errorString()));
    using Proc = void (*)();
    auto init = reinterpret_cast<Proc>(lib->resolve("Initialize"));
    if (!init)
        throw EVoskException(QStringLiteral("Paket %1: Initialize nicht gefunden").arg(name));
    init();
    m_packages.push_back(Entry{name, std::move(lib)});
}

void THostPackages::UnloadAll() {
    using Proc = void (*)();
    while (!m_packages.empty()) {
        auto& e = m_packages.back();
        if (auto fini = reinterpret_cast<Proc>(e.lib->resolve("Finalize")))
            fini();
        // The libraries stay mapped: objects of theirs may still be alive in Qt's queues.
        m_packages.pop_back();
    }
}

QStringList THostPackages::Loaded() const {
    QStringList names;
    for (const auto& e : m_packages)
        names << e.name;
    return names;
}
