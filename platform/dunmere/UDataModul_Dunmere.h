#pragma once
// The database layer's second data module: the caches it shares with the forms (texts, field
// aliases), reloaded by name. The global VoskDM_Dunmere() clears itself when the module goes.

#include <QObject>
#include <QString>

#include <memory>

class TDM1;
class TVoskQuery2;
class TVoskCachedTable;
class TVoskGridLayoutCache;

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
    // After a change to the data behind the cache of that name: the named caches above are
    // reloaded, and the data module's cached results that read a table of that name are re-run
    // (forced) or dropped for the next reader. False when nothing was known by that name.
    bool RefreshCache(const QString& name, bool forced);
    // Whether the cache of that name holds a row whose field equals value ("Text0": t_nr,
    // "FieldAlias": fa_textno), and re-reading one row of the "Text0" cache by its t_nr.
    bool CacheHolds(const QString& name, const QString& field, int value) const;
    void RefreshCacheRecord(const QString& name, int key);

    // Texts that a key combination types into a memo (kbsc_keycode: Windows virtual-key code,
    // kbsc_keystate: Shift 1, Alt 2, Ctrl 4, kbsc_text), opened at login on dm. A failure is
    // logged and leaves the set closed; null while closed.
    void OpenKeySnippets(TDM1& dm);
    TVoskQuery2* KeySnippets() const { return m_keySnippets.get(); }
    bool KeySnippetsOpen() const;

    // The global module, made (owned by the application) when none is there yet.
    static TVoskDM_Dunmere* Instance();
    // Small system tables every module window reads ("Softlink"), read once per connection and
    // then answered from memory (VoskDM_Dunmere.cpp). Throws for an unknown name or without a
    // connection; ClearCache makes the next read go to the server.
    const TVoskCachedTable& GetSource(const QString& name);
    const TVoskCachedTable& CacheLookup(const QString& name) { return GetSource(name); }
    void ClearCache();
    int Reads() const; // reads of the server so far, for tests that count them
    static void RegisterSource(const QString& name, const QString& sql);

    // The stored grid layouts ("component_options;gridlayout"); empty until ReloadCache reads it.
    TVoskGridLayoutCache& GridLayoutCache();
    // Options that forms keep per component (UDataModul_Dunmere.CompOptions.cpp), for one user's
    // employee number or for everyone with 0; reading falls back from the user to everyone. Both
    // do nothing (read empty) without a connection.
    static void SetCompOption(const QString& formClass, const QString& saveName,
                              const QString& option, const QString& value, int mitNr);
    static QString GetCompOption(const QString& formClass, const QString& saveName,
                                 const QString& option, int mitNr);

private:
    std::unique_ptr<TVoskQuery2> m_keySnippets;
    struct TCache;
    std::unique_ptr<TCache> m_cache;
    std::unique_ptr<TVoskGridLayoutCache> m_gridLayouts;
};

TVoskDM_Dunmere* VoskDM_Dunmere();
