#pragma once
// Packages and their unit tables. A unit registers its initialization and finalization with its
// package; Initialize runs the required packages first, then the package's own units in registration
// order, each only when its counter first passes zero. Finalize undoes this in reverse order. A unit
// may also bring a design-time Register procedure; the package's Register runs them all, in unit
// order, when the IDE loads the package.

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
    // unit names it; the same characters (by address) drop it again.
    void AddUnit(const char* unit, UnitProc init, UnitProc fini, UnitProc reg = nullptr);
    // Drops the unit registered under that name: its routines go with their library when it is
    // unloaded.
    void RemoveUnit(const char* unit);

    void Initialize();
    void Finalize();
    // The units' Register procedures, in unit order; the first failure ends the call.
    void Register();

    int UnitCounter(const QString& unit) const; // -1 for an unknown unit
    QStringList Units() const;
    int InitCount() const { return m_initCount; }

private:
    explicit Package(QString name) : m_name(std::move(name)) {}
    struct Unit {
        QString name;
        const char* key = nullptr;
        UnitProc init = nullptr;
        UnitProc fini = nullptr;
        UnitProc reg = nullptr;
        int counter = 0;
    };
    QString m_name;
    QStringList m_requires;
    std::vector<Unit> m_units;
    int m_initCount = 0;
    bool m_busy = false;
};

struct UnitRegistration final {
    UnitRegistration(const char* package, const char* unit, UnitProc init, UnitProc fini,
                     UnitProc reg = nullptr);
    ~UnitRegistration();
    UnitRegistration(const UnitRegistration&) = delete;
    UnitRegistration& operator=(const UnitRegistration&) = delete;

private:
    const char* m_package;
    const char* m_unit;
};

// Order of the initializations and finalizations that ran, for the load log and tests.
QStringList& UnitTrace();

} // namespace Rtl

#define KORVEX_UNIT_CAT2(a, b) a##b
#define KORVEX_UNIT_CAT(a, b) KORVEX_UNIT_CAT2(a, b)
// Registers the current source file's unit with its package: (package, unit, init, fini) or, for
// a unit with components for the IDE's palette, (package, unit, init, fini, Register).
#define KORVEX_UNIT(package, unit, ...)                                                            \
    static const ::Rtl::UnitRegistration KORVEX_UNIT_CAT(korvexUnit_, __LINE__)(package, unit,    \
                                                                                 __VA_ARGS__)
