// Feeds arbitrary bytes to the node payload that document windows exchange by drag and drop, and
// arbitrary names to the stored-name rule: neither may crash, a payload read back must encode to
// itself, and a stored name never leaves its folder.
#include "UFileImportMode.h"

#include <cstdlib>

using namespace UImpDoku;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto drag = DecodeNodeDrag(bytes)) {
        const auto again = DecodeNodeDrag(EncodeNodeDrag(*drag));
        if (!again || again->nodeId != drag->nodeId || again->windowSerial != drag->windowSerial ||
            again->kind != drag->kind || again->table != drag->table || again->recId != drag->recId)
            std::abort();
    }
    const QString text = QString::fromUtf8(bytes);
    const QString name = StoredFileName(text);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
        name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        std::abort();
    (void)NaturalCompare(text, name);
    return 0;
}
