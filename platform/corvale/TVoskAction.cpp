#include "TVoskAction.h"

#include "Vcl.Components.h"

TVoskAction::TVoskAction(QObject* owner) : QAction(owner) { Vcl::SetOwner(this, owner); }
