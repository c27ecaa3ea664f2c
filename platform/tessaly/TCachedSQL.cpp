#include "TCachedSQL.h"

void TCachedSQL::ForceRefresh(bool silent) {
    if (Active())
        Refresh(true, silent);
    else
        Open();
}
