#include "UModulFormSeams.h"

namespace UModulFormSeams {

Rtl::HookSlot<std::unique_ptr<IFormWvod>(QWidget*)> FormWvod;
Rtl::HookSlot<QWidget*(QWidget*, TRecNoComment*)> FormRecnoComments;
Rtl::HookSlot<IFrameRecnoParams*(QWidget*, TRecNoParams*)> FrameRecnoParams;
Rtl::HookSlot<IFormDokments*(QObject*, const QString&, const QString&, TVoskClass*)> FormDokments;

} // namespace UModulFormSeams
