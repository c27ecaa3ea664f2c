#include "VoskDesignTypes.h"

void RegisterDesignTypeConverters() {
    static const bool done = [] {
        QMetaType::registerConverter<TText0, int>([](const TText0& t) { return t.nr; });
        QMetaType::registerConverter<TText0, qlonglong>(
            [](const TText0& t) { return qlonglong(t.nr); });
        QMetaType::registerConverter<TText0, QString>(
            [](const TText0& t) { return QString::number(t.nr); });
        QMetaType::registerConverter<int, TText0>([](int n) { return TText0{n}; });
        QMetaType::registerConverter<qlonglong, TText0>([](qlonglong n) { return TText0{int(n)}; });
        QMetaType::registerConverter<TFieldByName, QString>(
            [](const TFieldByName& f) { return f.name; });
        QMetaType::registerConverter<QString, TFieldByName>(
            [](const QString& s) { return TFieldByName{s}; });
        return true;
    }();
    Q_UNUSED(done)
}
