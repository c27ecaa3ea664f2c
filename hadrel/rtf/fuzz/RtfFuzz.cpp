// Feeds arbitrary bytes to the RTF reader, then writes what it read and reads that again: neither
// may crash, hang or grow without bound, and the second read must find well-formed RTF.
#include "RtfCodec.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char arg0[] = "fuzz";
    static char* argv[] = {arg0, nullptr};
    static QGuiApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
    QTextDocument doc;
    Rtf::Read(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)), &doc);
    const QByteArray out = Rtf::Write(&doc);
    QTextDocument again;
    const Rtf::ReadResult r = Rtf::Read(out, &again);
    if (!r.complete)
        std::abort();
    return 0;
}
