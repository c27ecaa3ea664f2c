#pragma once
// The short, medium and long auto-refresh intervals in seconds of a frame with an auto-refresh
// button (the forms' header and navigation frames, the layout frame above a grid); a class of its
// own so that the property editors tell it apart from plain numbers. The frame that owns it sets
// 300, 900 and 3600.

#include <QObject>

class TAutoRefreshIntervalsProperty final : public QObject {
    Q_OBJECT
    Q_PROPERTY(int value_1 MEMBER FShort)
    Q_PROPERTY(int value_2 MEMBER FMedium)
    Q_PROPERTY(int value_3 MEMBER FLong)
public:
    using QObject::QObject;
    int FShort = 0;
    int FMedium = 0;
    int FLong = 0;
    void Assign(const TAutoRefreshIntervalsProperty* source);
};

// Whether a form resource stores a frame's intervals: only with the auto-refresh button shown and
// values other than 300, 900 and 3600; a reading form keeps those defaults otherwise.
bool StoredAutoRefreshIntervals(bool btAutoRefresh, const TAutoRefreshIntervalsProperty* values);
