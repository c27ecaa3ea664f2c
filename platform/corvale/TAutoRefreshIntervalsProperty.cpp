#include "TAutoRefreshIntervalsProperty.h"

void TAutoRefreshIntervalsProperty::Assign(const TAutoRefreshIntervalsProperty* source) {
    if (!source)
        return;
    FShort = source->FShort;
    FMedium = source->FMedium;
    FLong = source->FLong;
}

bool StoredAutoRefreshIntervals(bool btAutoRefresh, const TAutoRefreshIntervalsProperty* v) {
    return btAutoRefresh && v && !(v->FShort == 300 && v->FMedium == 900 && v->FLong == 3600);
}
