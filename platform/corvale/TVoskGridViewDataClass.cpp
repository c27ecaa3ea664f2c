#include "TVoskGridViewDataClass.h"
