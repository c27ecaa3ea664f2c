// libFuzzer target: TIFF loading as the viewers do it. The directory chain is walked, every page
// (at most eight) opened by number and at its offset, its parameters read, decoded, and copied
// into a one-page file that is read back.
#include "PageCodec.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

using namespace Imaging;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetWarningLog([](const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QList<quint64> offsets;
    try {
        offsets = TiffPageOffsets(bytes);
    } catch (const ETiffError&) {
    }
    try {
        TTiffReader reader(bytes);
        const int pages = qMin(reader.PageCount(), 8);
        for (int i = 0; i < pages; ++i) {
            try {
                if (i < offsets.size())
                    reader.OpenAt(offsets[i]);
                else
                    reader.OpenPage(i);
                (void)reader.Params();
                // Every size: a header that claims more than its data holds must cost nothing.
                (void)reader.Decode();
                if (reader.CanCopyRaw()) {
                    TTiffReader copy(reader.ExtractPage());
                    copy.OpenPage(0);
                    (void)copy.Params();
                }
            } catch (const ETiffError&) {
            }
        }
    } catch (const ETiffError&) {
    }
    return 0;
}
