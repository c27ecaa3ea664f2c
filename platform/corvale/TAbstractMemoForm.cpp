#include "TAbstractMemoForm.h"
