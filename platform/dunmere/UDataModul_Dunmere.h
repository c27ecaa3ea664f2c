#pragma once
// The database layer's second data module: the caches it shares with the forms (texts, field
// aliases), reloaded by name. The global VoskDM_Dunmere() clears itself when the module goes.

#include <QObject>
#include <QString>

class TVoskDM_Dunmere final : public QObject {
    Q_OBJECT
public:
    explicit TVoskDM_Dunmere(QObject* owner = nullptr);
    ~TVoskDM_Dunmere() override;

    // A new global module owned by owner.
    static TVoskDM_Dunmere* ModulInitialize(QObject* owner);

    // Reloads the cache of that name ("Text0", "FieldAlias"; any letter case) on DM1. False for an
    // unknown name.
    bool ReloadCache(const QString& name);
};

TVoskDM_Dunmere* VoskDM_Dunmere();
