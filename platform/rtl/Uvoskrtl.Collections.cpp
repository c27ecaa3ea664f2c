#include "Uvoskrtl.Collections.h"

#include <map>
#include <string>

namespace Uvoskrtl::Collections {

namespace {
std::map<std::string, int>& counters() {
    static std::map<std::string, int> c;
    return c;
}
// The package carries the string and component instantiations; their use is counted from load
// to unload like class constructors and destructors.
struct Instantiations {
    Instantiations() {
        ArrayHelperUse("string", 1);
        ArrayHelperUse("component", 1);
    }
    ~Instantiations() {
        ArrayHelperUse("string", -1);
        ArrayHelperUse("component", -1);
    }
} instantiations;
} // namespace

int ArrayHelperUseCount(const char* instantiation) { return counters()[instantiation]; }
void ArrayHelperUse(const char* instantiation, int delta) { counters()[instantiation] += delta; }

} // namespace Uvoskrtl::Collections
