#pragma once
// TRegistry keeps the per-user registry of the forms (window positions, last choices) in an INI
// file: <user config folder>/korvex/registry.ini, or <base folder>/registry.ini when a base folder
// is set (tests). Keys are paths with "\" separators ("Software\Korvex\Module\TFormAdress") and
// become INI groups; key and value names match case-insensitively, as in a registry, and keep the
// spelling they were created with. A key exists while it holds values or subkeys. The unnamed value
// of a key (empty name) is stored as "@", so a value really named "@" is the same one.
//
// Values are text in the file. WriteBool stores 1 or 0, so ReadInteger reads it back; ReadInteger
// and ReadBool of a missing value or of text that is not a number raise ERegistryException.

#include "VoskExceptions.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QSettings;

class ERegistryException : public EVoskException {
public:
    using EVoskException::EVoskException;
    const char* ClassName() const noexcept override { return "ERegistryException"; }
};

namespace Vcl {

class TRegistry final {
public:
    TRegistry();
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    // Folder of the registry file; empty restores the user's config folder. Returns the old one.
    static QString SetBaseFolder(const QString& folder);
    static QString FileName();

    // A path starting with "\" is taken from the root, any other relative to the current key.
    // Without create, a key that does not exist is not opened and false returned.
    bool OpenKey(const QString& key, bool create);
    // As OpenKey without create; writes then raise ERegistryException.
    bool OpenKeyReadOnly(const QString& key);
    // Writes pending changes to the file and returns to the root.
    void CloseKey();
    QString CurrentPath() const { return m_path; } // "Software\Korvex\Module\TFormAdress"

    bool KeyExists(const QString& key) const;
    // Deletes the key with its values and subkeys; false when it did not exist.
    bool DeleteKey(const QString& key);

    bool ValueExists(const QString& name) const;
    QStringList GetValueNames() const;
    bool DeleteValue(const QString& name);

    QString ReadString(const QString& name) const; // empty for a missing value
    int ReadInteger(const QString& name) const;
    std::optional<int> TryReadInteger(const QString& name) const; // missing or not a number: none
    bool ReadBool(const QString& name) const;

    void WriteString(const QString& name, const QString& value);
    void WriteInteger(const QString& name, int value);
    void WriteBool(const QString& name, bool value);

private:
    // The stored spelling of a path below the root, or of a value name in the current key.
    QString ResolveKey(const QString& key, bool* exists) const;
    QString ResolveValue(const QString& name) const;
    QString StoredKey(const QString& name) const;
    void CheckWritable(const QString& name) const;

    std::unique_ptr<QSettings> m_settings;
    QString m_path;  // current key, "\" separated, stored spelling
    QString m_group; // the same as an INI group, "/" separated
    bool m_readOnly = false;
};

} // namespace Vcl
