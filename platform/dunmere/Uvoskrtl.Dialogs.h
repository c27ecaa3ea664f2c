#pragma once
// Dialog slots of the runtime layer that the forms package fills while it is loaded: editing a long
// text, plain or RTF. Empty slots give the default value (an empty text, false).

#include <HookSlot.h>

#include <QChar>
#include <QString>

namespace Uvoskrtl::Dialogs {

struct RtlDialog final {
    // (field name, text, caret position, read-only, RTF, added character, non-modal if read-only)
    // -> the edited text, or the text as passed when the user cancelled.
    static Rtl::HookSlot<QString(const QString&, const QString&, int, bool, bool, QChar, bool)>
        FEditTextS;
    // (field name, text in/out, RTF text in/out, read-only, RTF, added character, caret position,
    // non-modal if read-only) -> whether the user confirmed a change.
    static Rtl::HookSlot<bool(const QString&, QString&, QString&, bool, bool, QChar, int, bool)>
        FEditTextB;
};

} // namespace Uvoskrtl::Dialogs
