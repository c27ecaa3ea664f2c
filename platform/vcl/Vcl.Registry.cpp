#include "Vcl.Registry.h"

#include <QSettings>
#include <QStandardPaths>

namespace Vcl {

namespace {

QString& BaseFolder() {
    static QString folder;
    return folder;
}

// QSettings takes both slashes as group separators; a name keeps them (and our escape sign)
// percent-encoded so that it stays one name.
QString Encode(QString name) {
    name.replace(QLatin1Char('%'), QLatin1String("%25"));
    name.replace(QLatin1Char('/'), QLatin1String("%2F"));
    name.replace(QLatin1Char('\\'), QLatin1String("%5C"));
    return name;
}

QString Decode(QString name) {
    name.replace(QLatin1String("%2F"), QLatin1String("/"), Qt::CaseInsensitive);
    name.replace(QLatin1String("%5C"), QLatin1String("\\"), Qt::CaseInsensitive);
    name.replace(QLatin1String("%25"), QLatin1String("%"));
    return name;
}

// The unnamed value of a key is stored under "@", as registry exports write it; an empty INI key
// would name the key itself and land in its parent group.
const QString kUnnamedValue = QStringLiteral("@");

QString StoredValueName(const QString& name) {
    return name.isEmpty() ? kUnnamedValue : name;
}

QStringList Segments(const QString& path) {
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

QString GroupOf(const QStringList& segments) {
    QStringList encoded;
    for (const QString& s : segments)
        encoded << Encode(s);
    return encoded.join(QLatin1Char('/'));
}

QString Match(const QStringList& storedEncoded, const QString& name) {
    for (const QString& s : storedEncoded) {
        const QString decoded = Decode(s);
        if (decoded.compare(name, Qt::CaseInsensitive) == 0)
            return decoded;
    }
    return {};
}

} // namespace

TRegistry::TRegistry()
    : m_settings(std::make_unique<QSettings>(FileName(), QSettings::IniFormat)) {}

TRegistry::~TRegistry() = default;

QString TRegistry::SetBaseFolder(const QString& folder) {
    QString old = BaseFolder();
    BaseFolder() = folder;
    return old;
}

QString TRegistry::FileName() {
    if (!BaseFolder().isEmpty())
        return BaseFolder() + QLatin1String("/registry.ini");
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1String("/korvex/registry.ini");
}

QString TRegistry::ResolveKey(const QString& key, bool* exists) const {
    QStringList wanted = key.startsWith(QLatin1Char('\\')) ? QStringList() : Segments(m_path);
    wanted += Segments(key);
    QStringList resolved;
    bool found = true;
    for (const QString& segment : wanted) {
        if (found) {
            m_settings->beginGroup(GroupOf(resolved));
            const QString stored = Match(m_settings->childGroups(), segment);
            m_settings->endGroup();
            if (stored.isEmpty())
                found = false;
            else {
                resolved << stored;
                continue;
            }
        }
        resolved << segment;
    }
    if (exists)
        *exists = found;
    return resolved.join(QLatin1Char('\\'));
}

QString TRegistry::ResolveValue(const QString& name) const {
    m_settings->beginGroup(m_group);
    const QString stored = Match(m_settings->childKeys(), StoredValueName(name));
    m_settings->endGroup();
    return stored;
}

QString TRegistry::StoredKey(const QString& name) const {
    const QString encoded = Encode(StoredValueName(name));
    return m_group.isEmpty() ? encoded : m_group + QLatin1Char('/') + encoded;
}

void TRegistry::CheckWritable(const QString& name) const {
    if (m_readOnly)
        throw ERegistryException(
            QStringLiteral("Schreibzugriff auf '%1' verweigert: Schlüssel ist schreibgeschützt")
                .arg(name));
}

bool TRegistry::OpenKey(const QString& key, bool create) {
    bool exists = false;
    const QString path = ResolveKey(key, &exists);
    if (!exists && !create)
        return false;
    m_path = path;
    m_group = GroupOf(Segments(path));
    m_readOnly = false;
    return true;
}

bool TRegistry::OpenKeyReadOnly(const QString& key) {
    if (!OpenKey(key, false))
        return false;
    m_readOnly = true;
    return true;
}

void TRegistry::CloseKey() {
    m_settings->sync();
    m_path.clear();
    m_group.clear();
    m_readOnly = false;
}

bool TRegistry::KeyExists(const QString& key) const {
    bool exists = false;
    ResolveKey(key, &exists);
    return exists;
}

bool TRegistry::DeleteKey(const QString& key) {
    bool exists = false;
    const QString path = ResolveKey(key, &exists);
    const QStringList segments = Segments(path);
    if (!exists || segments.isEmpty())
        return false;
    CheckWritable(path);
    m_settings->remove(GroupOf(segments));
    return true;
}

bool TRegistry::ValueExists(const QString& name) const {
    return !ResolveValue(name).isEmpty();
}

QStringList TRegistry::GetValueNames() const {
    m_settings->beginGroup(m_group);
    QStringList names = m_settings->childKeys();
    m_settings->endGroup();
    for (QString& n : names) {
        n = Decode(n);
        if (n == kUnnamedValue)
            n.clear();
    }
    return names;
}

bool TRegistry::DeleteValue(const QString& name) {
    const QString stored = ResolveValue(name);
    if (stored.isEmpty())
        return false;
    CheckWritable(name);
    m_settings->remove(StoredKey(stored));
    return true;
}

QString TRegistry::ReadString(const QString& name) const {
    const QString stored = ResolveValue(name);
    if (stored.isEmpty())
        return {};
    const QVariant v = m_settings->value(StoredKey(stored));
    // A hand-edited value with commas comes back as a list.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1String(", "));
    return v.toString();
}

std::optional<int> TRegistry::TryReadInteger(const QString& name) const {
    if (!ValueExists(name))
        return std::nullopt;
    bool ok = false;
    const int value = ReadString(name).trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

int TRegistry::ReadInteger(const QString& name) const {
    if (!ValueExists(name))
        throw ERegistryException(QStringLiteral("Datenabruf für '%1' fehlgeschlagen").arg(name));
    const std::optional<int> value = TryReadInteger(name);
    if (!value)
        throw ERegistryException(QStringLiteral("Ungültiger Datentyp für '%1'").arg(name));
    return *value;
}

bool TRegistry::ReadBool(const QString& name) const {
    return ReadInteger(name) != 0;
}

void TRegistry::WriteString(const QString& name, const QString& value) {
    CheckWritable(name);
    const QString stored = ResolveValue(name);
    m_settings->setValue(StoredKey(stored.isEmpty() ? name : stored), value);
}

void TRegistry::WriteInteger(const QString& name, int value) {
    CheckWritable(name);
    const QString stored = ResolveValue(name);
    m_settings->setValue(StoredKey(stored.isEmpty() ? name : stored), value);
}

void TRegistry::WriteBool(const QString& name, bool value) {
    WriteInteger(name, value ? 1 : 0);
}

} // namespace Vcl
