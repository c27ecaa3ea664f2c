// libFuzzer target: TIFF loading as the viewers do it. The directory chain is walked, every page
// (at most eight) opened by number and at its offset, its parameters read, decoded, and copied
// into a one-page file that is read back; a small decoded page is also scaled for display and
// written anew (its own depth and alpha) and read back.
#include "IEScale.h"
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
                const QImage page = reader.Decode();
                if (qint64(page.width()) * page.height() <= (1 << 16)) {
                    (void)ScaledDown(page, QSize(17, 23));
                    TIOParams params;
                    params.TIFF_Compression = ioTIFF_LZW;
                    TTiffWriter writer;
                    writer.WritePage(page, params);
                    TTiffReader back(writer.Finish());
                    back.OpenPage(0);
                    if (back.Decode().size() != page.size())
                        __builtin_trap();
                }
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
