#include "TVoskCompEventListener.h"

#include <EventGuard.h>
#include <UDM1.h>

TVoskCompEventListener::TVoskCompEventListener(QObject* owner) : QObject(owner) {
    if (TDM1* dm = DM1())
        connect(dm, &TDM1::IsAdminChanged, this, [this] { Rtl::Guarded([this] { FireEvent(); }, this); });
}

void TVoskCompEventListener::Loaded() {
    if (OnInit)
        OnInit(this);
}

void TVoskCompEventListener::FireEvent() {
    if (OnEvent)
        OnEvent(this);
}
