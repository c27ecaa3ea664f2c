// libFuzzer entry: any bytes as one page's annotation XML. Reading must not crash or leak, and
// whatever it read must write and read again to the same document.
#include "AnnotLayer.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Imaging::TIEVectModel canvas;
    TAnnotLayer layer(canvas);
    layer.Env.UserName = [] { return QStringLiteral("fuzz"); };
    layer.Env.Now = [] { return QDateTime(QDate(2024, 1, 1), QTime(12, 0)); };
    layer.Env.ShowException = [](const QString&) {};
    layer.Env.RaiseError = [](const QString&) {};
    layer.LoadAnnotations(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), 0);
    QByteArray full, x;
    layer.SaveAnnotations(full, x);
    Imaging::TIEVectModel again;
    TAnnotLayer second(again);
    second.Env = layer.Env;
    second.LoadAnnotations(full, 0);
    QByteArray full2, x2;
    second.SaveAnnotations(full2, x2);
    if (full2 != full || x2 != x)
        std::abort();
    return 0;
}
