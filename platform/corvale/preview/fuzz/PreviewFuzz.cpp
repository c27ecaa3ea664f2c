// Feeds arbitrary bytes to the preview's text decoding and mail reader: neither may crash, hang
// or grow without bound, and the mail reader must read the same mail whatever chunks the bytes
// come in.
#include "VoskPreviewMail.h"
#include "VoskPreviewText.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    VoskPreview::LooksLikeText(bytes);
    VoskPreview::DecodeText(bytes, true);
    const VoskPreview::TMailPreview whole = VoskPreview::ReadMail(bytes);
    // The first byte picks where a second reading splits the input.
    VoskPreview::TMailPreviewReader reader;
    const qsizetype cut = size ? qsizetype(data[0]) * qsizetype(size) / 256 : 0;
    reader.Feed(bytes.first(cut));
    reader.Feed(bytes.sliced(cut));
    const VoskPreview::TMailPreview parts = reader.Finish();
    if (whole.body != parts.body || whole.attachments != parts.attachments ||
        whole.subject != parts.subject || whole.from != parts.from)
        std::abort();
    return 0;
}
