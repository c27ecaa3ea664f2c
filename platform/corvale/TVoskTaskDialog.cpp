#include "TVoskTaskDialog.h"

Rtl::HookSlot<TVoskTaskDialog::TSendMail> TVoskTaskDialog::FVoskSendMail;
