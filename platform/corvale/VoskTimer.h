#pragma once
// TVoskTimer is the timer component of the forms: a QTimer with the OnTimer handler and the
// Enabled switch of a form resource. The handler runs inside the event guard.

#include <QTimer>

#include <functional>

class TVoskTimer final : public QTimer {
    Q_OBJECT
public:
    explicit TVoskTimer(QObject* parent = nullptr);

    bool Enabled() const { return isActive(); }
    void SetEnabled(bool enabled);
    int Interval() const { return interval(); }
    void SetInterval(int ms) { setInterval(ms); }

    std::function<void(QObject* sender)> OnTimer;
};

// The grid columns' lookup button calls this; every base form puts its own handler here when it
// is created.
class TVoskColumnHandler final : public QObject {
    Q_OBJECT
public:
    static std::function<void(QObject* sender)> F2ButtonCode;
    // Sets up the columns of a table grid after its data class opened: widths fitted to the
    // captions and values, the last column taking the rest.
    static void InitColumns(QWidget* grid);
};
