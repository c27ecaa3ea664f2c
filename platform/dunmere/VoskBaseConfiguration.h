#pragma once
// The ERP's configuration file: an INI with sections such as [Login], [DB1], [IDE] and [SETTINGS].
// It lives at $KORVEX_CONFIG, else korvex/korvex.ini in the user's config folder. Section and key
// names match case-insensitively (one caller reads "Host" where another writes "HOST") and keep
// the spelling they were first written with; order in the file is kept. Writes replace the file
// atomically, readable by its owner only, since it holds passwords.

#include <QList>
#include <QString>
#include <QVariant>

class TVoskBaseConfiguration final {
public:
    // Empty: the default location. The file is read at once; a missing file is an empty one.
    explicit TVoskBaseConfiguration(const QString& fileName = {});

    static QString DefaultFileName();
    const QString& FileName() const { return m_fileName; }
    void Reload();

    // The stored text, or def when the key is missing. An integer or Boolean default converts the
    // text; text that does not convert gives def. Never throws.
    QVariant Read(const QString& section, const QString& key, const QVariant& def) const;
    bool KeyExists(const QString& section, const QString& key) const;
    bool SectionExists(const QString& section) const;
    QStringList Keys(const QString& section) const;

    // Stores value and writes the file; throws EVoskException when the file cannot be written.
    void Write(const QString& section, const QString& key, const QVariant& value);
    void DeleteKey(const QString& section, const QString& key);

private:
    struct Entry {
        QString key;
        QString value;
    };
    struct Section {
        QString name;
        QList<Entry> entries;
    };
    const Section* find(const QString& section) const;
    void save() const;

    QString m_fileName;
    QList<Section> m_sections;
};
