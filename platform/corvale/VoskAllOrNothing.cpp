#include "VoskAllOrNothing.h"

#include <TVoskClass.h>
#include <VoskDatabase.h>

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
