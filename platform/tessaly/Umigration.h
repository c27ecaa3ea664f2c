#pragma once
// Form class names that were renamed over the ERP's versions. The main menu stores an entry under
// its current (translated) name; code may still pass an older one.

#include <QString>

struct TFormClassTranslate {
    QString Original;         // the class as it exists in code
    QString Translated;       // the name in mainmenu.mm_formclassname
    QString ForErrorMessages;
};

namespace Umigration {

TFormClassTranslate TranslateInto_mm_formclassnameEx(const QString& formClassName);
QString TranslateInto_mm_formclassname(const QString& formClassName);
// Adds or replaces a renaming (old class name -> menu name); tests and the host use it.
void AddTranslation(const QString& oldName, const QString& menuName);
void RemoveTranslation(const QString& oldName);

} // namespace Umigration
