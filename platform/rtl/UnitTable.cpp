#include "UnitTable.h"

#include "VoskExceptions.h"

#include <exception>
#include <map>
#include <mutex>

namespace Rtl {

namespace {
std::map<QString, std::unique_ptr<Package>>& registry() {
    static std::map<QString, std::unique_ptr<Package>> packages;
    return packages;
}
std::recursive_mutex& registryLock() {
    static std::recursive_mutex lock;
    return lock;
}
} // namespace

QStringList& UnitTrace() {
    static QStringList trace;
    return trace;
}

Package& Package::Get(const QString& name) {
    std::lock_guard guard(registryLock());
    auto& slot = registry()[name.toLower()];
    if (!slot)
        slot.reset(new Package(name.toLower()));
    return *slot;
}

bool Package::Exists(const QString& name) {
    std::lock_guard guard(registryLock());
    return registry().count(name.toLower()) != 0;
}

void Package::Requires(const QStringList& packages) {
    for (const auto& p : packages)
        if (!m_requires.contains(p.toLower()))
            m_requires << p.toLower();
}

void Package::AddUnit(const char* unit, UnitProc init, UnitProc fini, UnitProc reg) {
    m_units.push_back(Unit{QString::fromLatin1(unit), unit, init, fini, reg, 0});
}

void Package::Register() {
    // Indices: a Register procedure may load code that registers further units.
    for (size_t i = 0; i < m_units.size(); ++i)
        if (const UnitProc reg = m_units[i].reg) {
            UnitTrace() << QStringLiteral("register %1.%2").arg(m_name, m_units[i].name);
            reg();
        }
}

void Package::Initialize() {
    if (m_busy)
        throw EVoskException(QStringLiteral("Zirkuläre Paketabhängigkeit: %1").arg(m_name));
    m_busy = true;
    // Indices, not iterators: an initialization may register further units of this package.
    qsizetype required = 0;
    size_t units = 0;
    try {
        for (; required < m_requires.size(); ++required)
            Get(m_requires[required]).Initialize();
        for (; units < m_units.size(); ++units) {
            Unit& u = m_units[units];
            if (u.counter == 0 && u.init) {
                UnitTrace() << QStringLiteral("init %1.%2").arg(m_name, u.name);
                u.init();
            }
            ++u.counter;
        }
    } catch (...) {
        // A failed load leaves nothing behind, so that loading again once the cause is gone runs
        // every initialization again. The unit that failed is not finalized: it never finished.
        for (size_t i = units; i-- > 0;) {
            Unit& u = m_units[i];
            if (--u.counter == 0 && u.fini) {
                UnitTrace() << QStringLiteral("fini %1.%2").arg(m_name, u.name);
                try {
                    u.fini();
                } catch (...) {
                }
            }
        }
        for (qsizetype i = required; i-- > 0;) {
            try {
                Get(m_requires[i]).Finalize();
            } catch (...) {
            }
        }
        m_busy = false;
        throw;
    }
    ++m_initCount;
    m_busy = false;
}

void Package::Finalize() {
    if (m_initCount == 0)
        return;
    --m_initCount;
    // One failing unit must not keep the others, or the packages below, from cleaning up; the
    // first failure is reported once all are done.
    std::exception_ptr first;
    for (auto it = m_units.rbegin(); it != m_units.rend(); ++it) {
        if (it->counter > 0 && --it->counter == 0 && it->fini) {
            UnitTrace() << QStringLiteral("fini %1.%2").arg(m_name, it->name);
            try {
                it->fini();
            } catch (...) {
                if (!first)
                    first = std::current_exception();
            }
        }
    }
    for (auto it = m_requires.crbegin(); it != m_requires.crend(); ++it) {
        try {
            Get(*it).Finalize();
        } catch (...) {
            if (!first)
                first = std::current_exception();
        }
    }
    if (first)
        std::rethrow_exception(first);
}

int Package::UnitCounter(const QString& unit) const {
    for (const auto& u : m_units)
        if (u.name.compare(unit, Qt::CaseInsensitive) == 0)
            return u.counter;
    return -1;
}

QStringList Package::Units() const {
    QStringList names;
    for (const auto& u : m_units)
        names << u.name;
    return names;
}

void Package::RemoveUnit(const char* unit) {
    std::erase_if(m_units, [&](const Unit& u) { return u.key == unit; });
}

UnitRegistration::UnitRegistration(const char* package, const char* unit, UnitProc init,
                                   UnitProc fini, UnitProc reg)
    : m_package(package), m_unit(unit) {
    Package::Get(QString::fromLatin1(package)).AddUnit(unit, init, fini, reg);
}

// Runs when the registering library is unloaded (or the process ends): a package loaded again
// later must not find routines of the old copy.
UnitRegistration::~UnitRegistration() {
    if (Package::Exists(QString::fromLatin1(m_package)))
        Package::Get(QString::fromLatin1(m_package)).RemoveUnit(m_unit);
}

} // namespace Rtl
