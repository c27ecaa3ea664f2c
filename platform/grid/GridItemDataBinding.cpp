#include "GridItemDataBinding.h"

namespace Grid {

GridItemDataBinding::GridItemDataBinding() = default;
GridItemDataBinding::~GridItemDataBinding() = default;

} // namespace Grid
