#include "Uvoskrtl.Dialogs.h"

namespace Uvoskrtl::Dialogs {
Rtl::HookSlot<QString(const QString&, const QString&, int, bool, bool, QChar, bool)>
    RtlDialog::FEditTextS;
Rtl::HookSlot<bool(const QString&, QString&, QString&, bool, bool, QChar, int, bool)>
    RtlDialog::FEditTextB;
} // namespace Uvoskrtl::Dialogs
