#include "VoskTimer.h"

#include "EventGuard.h"

#include <QHeaderView>
#include <QTableView>

std::function<void(QObject*)> TVoskColumnHandler::F2ButtonCode;

TVoskTimer::TVoskTimer(QObject* parent) : QTimer(parent) {
    connect(this, &QTimer::timeout, this, [this] {
        if (OnTimer)
            Rtl::Guarded([this] { OnTimer(this); }, this);
    });
}

void TVoskTimer::SetEnabled(bool enabled) {
    if (enabled)
        start();
    else
        stop();
}

void TVoskColumnHandler::InitColumns(QWidget* grid) {
    auto* view = qobject_cast<QTableView*>(grid);
    if (!view || !view->model())
        return;
    view->horizontalHeader()->setStretchLastSection(true);
    // Long texts would make a column wider than the window; they stay readable in the tool tip.
    constexpr int maxWidth = 320;
    view->resizeColumnsToContents();
    for (int c = 0; c < view->model()->columnCount(); ++c)
        if (view->columnWidth(c) > maxWidth)
            view->setColumnWidth(c, maxWidth);
}
