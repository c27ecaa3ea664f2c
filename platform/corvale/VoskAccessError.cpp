#include "Korvexutils.h"
#include "TVoskCurrentUser.h"
#include "Vcl.Services.h"

namespace {

// The class library's access refusals reach the user through the component layer's dialogs
// while this library is loaded.
struct AccessErrorDisplay final {
    AccessErrorDisplay() {
        Tessaly::ShowAccessErrorProc.Set([](const QString& text) {
            Vcl::Ask(Vcl::mtError, QStringLiteral("Zugriff verweigert"), text, Vcl::mbOK);
        });
    }
    ~AccessErrorDisplay() { Tessaly::ShowAccessErrorProc.Reset(); }
};
const AccessErrorDisplay s_accessErrorDisplay;

} // namespace
