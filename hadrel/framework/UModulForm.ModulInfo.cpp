// What a module form tells report scripts about the record it shows: the header's data class.
#include "UModulForm.h"

#include <TVoskClass.h>

namespace {
TVoskClass* headerClass(const TModulForm* form) {
    return form->TopLabel ? form->TopLabel->FDataSource() : nullptr;
}
} // namespace

QString TModulForm::ModulInfoId() const {
    TVoskClass* c = headerClass(this);
    if (!c || !c->HasRecord())
        return {};
    const TVoskDataField id = c->FindField(QStringLiteral("dbrid"));
    return id.Exists() ? id.AsString() : QString();
}

QString TModulForm::ModulInfoKeys() const {
    TVoskClass* c = headerClass(this);
    return c && c->HasRecord() ? c->KeyText() : QString();
}

QString TModulForm::ModulInfoTable() const {
    TVoskClass* c = headerClass(this);
    return c ? c->SqlTable() : QString();
}
