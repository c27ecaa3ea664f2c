#pragma once
// Packages and their unit tables. A unit registers its initialization and finalization with its
// package; Initialize runs the required packages first, then the package's own units in registration
// order, each only when its counter first passes zero. Finalize undoes this in reverse order.

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace Rtl {

using UnitProc = void (*)();

class Package final {
public:
    // The package of that name; created on first use so that static registrations may come first.
    static Package& Get(const QString& name);
    static bool Exists(const QString& name);

    const QString& Name() const { return m_name; }
    void Requires(const QStringList& packages);
    void AddUnit(const char* unit, UnitProc init, UnitProc fini);
    // Drops the unit whose routines these are: they go with their library when it is unloaded.
    void RemoveUnit(UnitProc init, UnitProc fini);

    void Initialize();
    void Finalize();

    int UnitCounter(const QString& unit) const; // -1 for an unknown unit
    QStringList Units() const;
    int InitCount() const { return m_initCount; }

private:
    explicit Package(QString name) : m_name(std::move(name)) {}
    struct Unit {
        QString name;
        UnitProc init = nullptr;
        UnitProc fini = nullptr;
        int counter = 0;
    };
    QString m_name;
    QStringList m_requires;
    std::vector<Unit> m_units;
    int m_initCount = 0;
    bool m_busy = false;
};

struct UnitRegistration final {
    UnitRegistration(const char* package, const char* unit, UnitProc init, UnitProc fini);
    ~UnitRegistration();
    UnitRegistration(const UnitRegistration&) = delete;
    UnitRegistration& operator=(const UnitRegistration&) = delete;

private:
    const char* m_package;
    UnitProc m_init;
    UnitProc m_fini;
};

// Order of the initializations and finalizations that ran, for the load log and tests.
QStringList& UnitTrace();

} // namespace Rtl

#define KORVEX_UNIT_CAT2(a, b) a##b
#define KORVEX_UNIT_CAT(a, b) KORVEX_UNIT_CAT2(a, b)
// Registers the current source file's unit with its package.
#define KORVEX_UNIT(package, unit, init, fini)                                                     \
    static const ::Rtl::UnitRegistration KORVEX_UNIT_CAT(korvexUnit_, __LINE__)(package, unit,    \
                                                                                 init, fini)
