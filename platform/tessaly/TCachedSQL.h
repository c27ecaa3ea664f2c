#pragma once
// A data class over SQL whose rows the class library keeps between reads; ForceRefresh reads them
// from the server again.

#include "TVoskClass.h"

class TCachedSQL final : public TVoskClass2 {
    Q_OBJECT
public:
    explicit TCachedSQL(QObject* parent = nullptr) : TVoskClass2(parent) {}
    // Reads the rows again; silent keeps the cursor where it was without telling the user.
    void ForceRefresh(bool silent);
};
