#include "GridViewInfo.h"
