#include "VoskBaseConfiguration.h"

#include <VoskExceptions.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>

TVoskBaseConfiguration::TVoskBaseConfiguration(const QString& fileName)
    : m_fileName(fileName.isEmpty() ? DefaultFileName() : fileName) {
    Reload();
}

QString TVoskBaseConfiguration::DefaultFileName() {
    const QString env = qEnvironmentVariable("KORVEX_CONFIG");
    if (!env.isEmpty())
        return env;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/korvex/korvex.ini");
}

void TVoskBaseConfiguration::Reload() {
    m_sections.clear();
    QFile f(m_fileName);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QTextStream in(&f);
    Section* current = nullptr;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            const QString name = line.mid(1, line.size() - 2).trimmed();
            current = const_cast<Section*>(find(name));
            if (!current) {
                m_sections.append(Section{name, {}});
                current = &m_sections.last();
            }
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!current || eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        bool replaced = false;
        for (Entry& e : current->entries)
            if (e.key.compare(key, Qt::CaseInsensitive) == 0) {
                e.value = value;
                replaced = true;
            }
        if (!replaced)
            current->entries.append(Entry{key, value});
    }
}

const TVoskBaseConfiguration::Section* TVoskBaseConfiguration::find(const QString& section) const {
    for (const Section& s : m_sections)
        if (s.name.compare(section, Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

bool TVoskBaseConfiguration::SectionExists(const QString& section) const {
    return find(section) != nullptr;
}

bool TVoskBaseConfiguration::KeyExists(const QString& section, const QString& key) const {
    if (const Section* s = find(section))
        for (const Entry& e : s->entries)
            if (e.key.compare(key, Qt::CaseInsensitive) == 0)
                return true;
    return false;
}

QStringList TVoskBaseConfiguration::Keys(const QString& section) const {
    QStringList keys;
    if (const Section* s = find(section))
        for (const Entry& e : s->entries)
            keys << e.key;
    return keys;
}

QVariant TVoskBaseConfiguration::Read(const QString& section, const QString& key,
                                      const QVariant& def) const {
    const Section* s = find(section);
    if (!s)
        return def;
    for (const Entry& e : s->entries) {
        if (e.key.compare(key, Qt::CaseInsensitive) != 0)
            continue;
        bool ok = false;
        switch (def.typeId()) {
        case QMetaType::Int: {
            const int v = e.value.toInt(&ok);
            return ok ? QVariant(v) : def;
        }
        case QMetaType::Bool: {
            const QString t = e.value.toLower();
            if (t == u"1" || t == u"true" || t == u"t")
                return true;
            if (t == u"0" || t == u"false" || t == u"f" || t.isEmpty())
                return false;
            return def;
        }
        default:
            return e.value;
        }
    }
    return def;
}

void TVoskBaseConfiguration::Write(const QString& section, const QString& key,
                                   const QVariant& value) {
    Section* s = const_cast<Section*>(find(section));
    if (!s) {
        m_sections.append(Section{section, {}});
        s = &m_sections.last();
    }
    const QString text = value.typeId() == QMetaType::Bool ? (value.toBool() ? QStringLiteral("1")
                                                                             : QStringLiteral("0"))
                                                           : value.toString();
    bool found = false;
    for (Entry& e : s->entries)
        if (e.key.compare(key, Qt::CaseInsensitive) == 0) {
            e.value = text;
            found = true;
        }
    if (!found)
        s->entries.append(Entry{key, text});
    save();
}

void TVoskBaseConfiguration::DeleteKey(const QString& section, const QString& key) {
    Section* s = const_cast<Section*>(find(section));
    if (!s)
        return;
    const auto removed = s->entries.removeIf(
        [&](const Entry& e) { return e.key.compare(key, Qt::CaseInsensitive) == 0; });
    if (removed)
        save();
}

void TVoskBaseConfiguration::save() const {
    QDir().mkpath(QFileInfo(m_fileName).absolutePath());
    QSaveFile f(m_fileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        throw EVoskException(QStringLiteral("Konfiguration %1 kann nicht geschrieben werden: %2")
                                 .arg(m_fileName, f.errorString()));
    // Restricted before the first byte is written: the file holds passwords.
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QTextStream out(&f);
    for (const Section& s : m_sections) {
        out << '[' << s.name << "]\n";
        for (const Entry& e : s.entries)
            out << e.key << '=' << e.value << '\n';
        out << '\n';
    }
    out.flush();
    if (!f.commit())
        throw EVoskException(QStringLiteral("Konfiguration %1 kann nicht geschrieben werden: %2")
                                 .arg(m_fileName, f.errorString()));
}
