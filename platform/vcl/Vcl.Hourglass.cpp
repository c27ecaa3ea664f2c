#include "Vcl.Hourglass.h"

#include <QCursor>
#include <QGuiApplication>

namespace Vcl {

namespace {
int g_depth = 0;
}

THourglass::THourglass() {
    ++g_depth;
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

THourglass::~THourglass() {
    Restore();
}

void THourglass::Restore() {
    if (!m_active)
        return;
    m_active = false;
    --g_depth;
    QGuiApplication::restoreOverrideCursor();
}

int THourglass::Depth() {
    return g_depth;
}

} // namespace Vcl
