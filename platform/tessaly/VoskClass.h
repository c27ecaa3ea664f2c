#pragma once
// Older include name of the data class.
#include "TVoskClass.h"
