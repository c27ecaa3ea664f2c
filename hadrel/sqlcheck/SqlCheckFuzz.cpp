// libFuzzer target on the parser stage: any bytes, read as UTF-8, must give a result, never a
// crash.
#include "USqlCheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    USqlCheck::TParsedScript script;
    const USqlCheck::TSqlCheckResult r = USqlCheck::ParseScript(text, script);
    if (!r.ok && (r.position < 0 || r.position > text.size() + 1))
        __builtin_trap();
    return 0;
}
