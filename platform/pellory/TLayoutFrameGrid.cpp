#include "TLayoutFrameGrid.h"

#include "TAutoRefreshIntervalsProperty.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QToolButton>

TLayoutFrameGrid::TLayoutFrameGrid(QWidget* parent) : QFrame(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    btAutoRefresh = new QToolButton(this);
    btAutoRefresh->setObjectName(QStringLiteral("btAutoRefresh"));
    btAutoRefresh->setIcon(QIcon::fromTheme(QStringLiteral("view-refresh")));
    btAutoRefresh->setToolTip(QStringLiteral("Automatisch aktualisieren"));
    btAutoRefresh->setAccessibleName(QStringLiteral("Automatisch aktualisieren"));
    btAutoRefresh->setVisible(false);
    layout->addWidget(btAutoRefresh);
    layout->addStretch(1);
    m_intervals = new TAutoRefreshIntervalsProperty(this);
    m_intervals->FShort = 300;
    m_intervals->FMedium = 900;
    m_intervals->FLong = 3600;
}

void TLayoutFrameGrid::SetBtAutoRefresh(bool on) {
    m_btAutoRefresh = on;
    btAutoRefresh->setVisible(on);
}

void TLayoutFrameGrid::SetAutoRefreshIntervals(TAutoRefreshIntervalsProperty* value) {
    m_intervals->Assign(value);
}

bool TLayoutFrameGrid::StoredAutoRefreshIntervalsProperty() const {
    return StoredAutoRefreshIntervals(m_btAutoRefresh, m_intervals);
}
