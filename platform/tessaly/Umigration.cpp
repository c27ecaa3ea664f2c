#include "Umigration.h"

#include <QHash>

namespace Umigration {
namespace {
QHash<QString, QString>& renamings() {
    static QHash<QString, QString> map;
    return map;
}
} // namespace

TFormClassTranslate TranslateInto_mm_formclassnameEx(const QString& formClassName) {
    TFormClassTranslate t;
    t.Original = formClassName.trimmed();
    t.Translated = renamings().value(t.Original.toLower(), t.Original);
    t.ForErrorMessages = t.Translated == t.Original
                             ? t.Original
                             : QStringLiteral("%1 (%2)").arg(t.Translated, t.Original);
    return t;
}
QString TranslateInto_mm_formclassname(const QString& formClassName) {
    return TranslateInto_mm_formclassnameEx(formClassName).Translated;
}
// Keyed like the lookup trims and lowers the name it is given.
void AddTranslation(const QString& oldName, const QString& menuName) {
    renamings().insert(oldName.trimmed().toLower(), menuName);
}
void RemoveTranslation(const QString& oldName) {
    renamings().remove(oldName.trimmed().toLower());
}

} // namespace Umigration
