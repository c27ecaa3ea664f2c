#pragma once
// The common components' view-data class for grid views: the hook where the components add
// behaviour to a view's data; it adds nothing of its own yet.

#include "GridViewInfo.h"

class TVoskGridViewDataClass : public Grid::GridViewData {
public:
    ~TVoskGridViewDataClass() override = default;
};
