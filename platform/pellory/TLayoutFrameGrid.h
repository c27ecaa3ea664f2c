#pragma once
// The layout package's frame above a grid: its auto-refresh button and that button's intervals,
// the same pair of properties the header and navigation frames carry.

#include <QFrame>

class QToolButton;
class TAutoRefreshIntervalsProperty;

class TLayoutFrameGrid final : public QFrame {
    Q_OBJECT
    Q_MOC_INCLUDE("TAutoRefreshIntervalsProperty.h")
    Q_PROPERTY(bool _BtAutoRefresh READ GetBtAutoRefresh WRITE SetBtAutoRefresh)
    Q_PROPERTY(TAutoRefreshIntervalsProperty* _BtAutoRefresh_Intervals READ AutoRefreshIntervals
                   WRITE SetAutoRefreshIntervals)
public:
    Q_INVOKABLE explicit TLayoutFrameGrid(QWidget* parent = nullptr);

    bool GetBtAutoRefresh() const { return m_btAutoRefresh; }
    // Shows or hides the auto-refresh button.
    void SetBtAutoRefresh(bool on);
    TAutoRefreshIntervalsProperty* AutoRefreshIntervals() const { return m_intervals; }
    void SetAutoRefreshIntervals(TAutoRefreshIntervalsProperty* value);
    // Whether a stored form keeps the intervals: the rule of the header and navigation frames.
    bool StoredAutoRefreshIntervalsProperty() const;

    QToolButton* btAutoRefresh;

private:
    bool m_btAutoRefresh = false;
    TAutoRefreshIntervalsProperty* m_intervals;
};
