#pragma once
// Records the module starts asked for while it lives ("CLASS:name=value"), instead of opening
// windows; the previous start routine comes back with it.

#include <Voskdbcontrols.h>

namespace testsupport {

class ModuleStarts final {
public:
    ModuleStarts() : m_old(Voskdbcontrols::DoStartModuleByClass.Get()) {
        Voskdbcontrols::DoStartModuleByClass.Set(
            [this](const QString& cls, const QStringList& values, bool, QWidget*) -> QWidget* {
                started << cls + u':' + values.join(u'=');
                return nullptr;
            });
    }
    ~ModuleStarts() { Voskdbcontrols::DoStartModuleByClass.Set(m_old); }
    ModuleStarts(const ModuleStarts&) = delete;
    ModuleStarts& operator=(const ModuleStarts&) = delete;

    QStringList started;

private:
    decltype(Voskdbcontrols::DoStartModuleByClass.Get()) m_old;
};

} // namespace testsupport
