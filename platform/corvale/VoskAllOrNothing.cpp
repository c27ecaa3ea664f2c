#include "VoskAllOrNothing.h"

#include <TVoskClass.h>
#include <VoskDatabase.h>

#include "Vcl.Services.h"

void Corvale::RunAllOrNothing(TVoskClass& dataClass, const std::function<void()>& work) {
    TVoskDatabase& db = dataClass.Database();
    const bool own = !db.InTransaction();
    try {
        if (own)
            db.StartTransaction();
        work();
        if (own)
            db.Commit();
    } catch (...) {
        if (own) {
            try {
                db.Rollback();
                dataClass.Refresh(false);
            } catch (...) {
            }
        }
        throw;
    }
}

bool Corvale::AskDeleteSelection(int count) {
    const QString question = count == 1 ? QStringLiteral("Datensatz löschen?")
                                        : QStringLiteral("%1 Datensätze löschen?").arg(count);
    return Vcl::Ask(Vcl::mtConfirmation, QString(), question, Vcl::mbYesNo, Vcl::mbNo) ==
           Vcl::mrYes;
}
