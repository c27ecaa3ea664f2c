// libFuzzer target: any text through the expression parser under every option set, then
// evaluated as filter or aggregate on a small dataset. Only the documented errors may escape
// the parser; anything else (a crash, another exception) is a finding.

#include "ClientDataSet.h"
#include "UPantafel.ExprParser.h"

#include <cstddef>
#include <cstdint>

namespace {

Cds::ClientDataSet& Data() {
    static Cds::ClientDataSet* ds = [] {
        auto* d = new Cds::ClientDataSet;
        d->FieldDefs().Add(QStringLiteral("id"), Cds::FieldType::Integer);
        d->FieldDefs().Add(QStringLiteral("name"), Cds::FieldType::String);
        d->FieldDefs().Add(QStringLiteral("amount"), Cds::FieldType::Float);
        d->FieldDefs().Add(QStringLiteral("day"), Cds::FieldType::Date);
        d->FieldDefs().Add(QStringLiteral("at"), Cds::FieldType::DateTime);
        d->FieldDefs().Add(QStringLiteral("flag"), Cds::FieldType::Boolean);
        d->FieldDefs().Add(QStringLiteral("calc"), Cds::FieldType::Float, 0, true);
        d->CreateDataSet();
        for (int i = 0; i < 3; ++i) {
            d->Append();
            d->SetValue(0, i - 1);
            d->SetValue(1, i == 1 ? QVariant() : QVariant(QStringLiteral("Ab'c%1").arg(i)));
            d->SetValue(2, i * 2.5);
            d->SetValue(3, QDate(2024, 12, 30).addDays(i));
            d->SetValue(4, QDateTime(QDate(2025, 1, 1), QTime(i, 30)));
            d->SetValue(5, i == 0);
            d->Post();
        }
        return d;
    }();
    return *ds;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const Cds::ParserOptions po = Cds::ParserOptions::fromInt(int(data[0] & 0x3F));
    const Cds::FilterOptions fo = Cds::FilterOptions::fromInt(int((data[0] >> 6) & 0x3));
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1),
                                           qsizetype(size - 1));
    Cds::ClientDataSet& ds = Data();
    TPlantafelDependentFields deps;
    try {
        TPlantafelExprParser p(ds, true, &deps, QString(), po, fo, text);
        if (p.FilterData() && p.FilterData()->IsAggregate())
            (void)p.EvaluateAggregate(ds);
        else
            for (ds.First(); !ds.Eof(); ds.Next())
                (void)p.Evaluate(ds);
    } catch (const EPlantafelExprException&) {
    } catch (const Cds::EDatabaseError&) {
    }
    return 0;
}
