#include "UPlantafel.DataSourceTypes.h"
#include "UnitTable.h"

#include <gtest/gtest.h>

#include <limits>

extern "C" void Initialize();
extern "C" void Finalize();

namespace {

TVarRec Rec(int tag, Cds::KeyValue v) { return TVarRec{tag, std::move(v)}; }

QString ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EVoskPlantafelException& e) {
        return e.Message();
    } catch (const EConvertError& e) {
        return QStringLiteral("EConvertError: ") + e.Message();
    }
    return QStringLiteral("<none>");
}

} // namespace

TEST(PlantafelTypes, EnumerationNamesAreSpelledForTexts) {
    EXPECT_EQ(EnumName(ptglResourceYearWeekDayEntity), "ptglResourceYearWeekDayEntity");
    EXPECT_EQ(EnumName(ptsvmCalendarWeekGroupedByWeek), "ptsvmCalendarWeekGroupedByWeek");
    EXPECT_EQ(EnumName(ptfldEntitySortYWD), "ptfldEntitySortYWD");
    EXPECT_EQ(int(ptfldEntitySortYWD), 8);
    EXPECT_EQ(sizeof(TPlantafelAggregationFieldSet), 2u);
    TPlantafelAggregationFieldSet s{ptfldDay, ptfldEntitySortYWD};
    EXPECT_TRUE(s.Contains(ptfldEntitySortYWD));
    EXPECT_FALSE(s.Contains(ptfldDate));
}

TEST(PlantafelTypes, PaddingGivesEachKindItsExtremes) {
    TVarRec i = Rec(vtInteger, qint64(5));
    TVarRecHelper::SetMinForRange(i);
    EXPECT_EQ(std::get<qint64>(i.Value), -2147483648LL);
    TVarRecHelper::SetMaxForRange(i);
    EXPECT_EQ(std::get<qint64>(i.Value), 2147483647LL);

    // Extended pads to the lowest finite value: zero and negatives stay inside the range.
    TVarRec e = Rec(vtExtended, 1.0);
    TVarRecHelper::SetMinForRange(e);
    EXPECT_EQ(std::get<double>(e.Value), std::numeric_limits<double>::lowest());
    EXPECT_LT(Cds::CompareKeys(e.Value, -1e300), 0);

    TVarRec c = Rec(vtCurrency, Cds::Currency{1});
    TVarRecHelper::SetMaxForRange(c);
    EXPECT_EQ(std::get<Cds::Currency>(c.Value).Scaled, std::numeric_limits<qint64>::max());

    // Every string kind gets sentinels that lie outside all strings.
    for (int tag : {vtString, vtAnsiString, vtWideString, vtUnicodeString}) {
        TVarRec s = Rec(tag, QStringLiteral("m"));
        TVarRecHelper::SetMinForRange(s);
        EXPECT_LT(Cds::CompareKeys(s.Value, QString()), 0) << tag;
        TVarRecHelper::SetMaxForRange(s);
        EXPECT_GT(Cds::CompareKeys(s.Value, QStringLiteral("\xff\xff")), 0) << tag;
    }

    TVarRec b = Rec(vtBoolean, true);
    EXPECT_EQ(ErrorOf([&] { TVarRecHelper::SetMinForRange(b); }), "xtt34022 vtBoolean");
    TVarRec odd = Rec(42, qint64(0));
    EXPECT_EQ(ErrorOf([&] { TVarRecHelper::SetMaxForRange(odd); }), "xtt34022 VType: 42");
    try {
        TVarRecHelper::SetMinForRange(b);
    } catch (const EVoskPlantafelException& ex) {
        EXPECT_EQ(ex.TextNr(), 34022);
    }
}

TEST(PlantafelTypes, InitValResetsUnknownTagsToInteger) {
    TVarRec r = Rec(vtUnicodeString, QStringLiteral("x"));
    TVarRecHelper::InitVal(r, vtExtended);
    EXPECT_EQ(r.VType, vtExtended);
    EXPECT_EQ(std::get<double>(r.Value), 0.0);
    EXPECT_EQ(ErrorOf([&] { TVarRecHelper::InitVal(r, vtPointer); }), "xtt34022 vtPointer");
    EXPECT_EQ(r.VType, vtInteger);
}

TEST(PlantafelTypes, RangesAreCopiedByValue) {
    TVarRecArray src{Rec(vtInteger, qint64(1)), Rec(vtUnicodeString, QStringLiteral("a")),
                     Rec(vtInt64, qint64(3))};
    TVarRecArray dst{Rec(vtInteger, qint64(9))};
    TVarRecHelper::CloneRange(src, 3, 2, dst);
    ASSERT_EQ(dst.size(), 2u);
    dst[1].Value = QStringLiteral("changed");
    EXPECT_EQ(std::get<QString>(src[1].Value), "a");
    TVarRecHelper::FinalizeVarRecArray(src);
    EXPECT_EQ(std::get<QString>(dst[1].Value), "changed"); // no shared storage to lose

    TVarRecArray target{Rec(vtInteger, qint64(0)), Rec(vtInteger, qint64(0)),
                        Rec(vtInteger, qint64(0))};
    TVarRecHelper::CopyFromRange({Rec(vtInteger, qint64(7))}, 0, true, target);
    EXPECT_EQ(std::get<qint64>(target[0].Value), 7);
    EXPECT_EQ(target[2].VType, vtVariant);
    EXPECT_TRUE(Cds::IsNullKey(target[2].Value));
    // A high index past the target does not write past its end.
    TVarRecHelper::CopyFromRange(dst, 5, false, target);
    EXPECT_EQ(target.size(), 3u);
}

TEST(PlantafelTypes, EqualVarRec) {
    using H = TVarRecHelper;
    EXPECT_FALSE(H::EqualVarRec(Rec(vtVariant, qint64(1)), Rec(vtVariant, qint64(2))));
    EXPECT_TRUE(H::EqualVarRec(Rec(vtVariant, qint64(2)), Rec(vtVariant, 2.0)));
    EXPECT_FALSE(H::EqualVarRec(Rec(vtVariant, std::monostate{}), Rec(vtVariant, qint64(2))));
    EXPECT_FALSE(H::EqualVarRec(Rec(vtVariant, std::monostate{}),
                                Rec(vtVariant, std::monostate{})));
    // Whole strings compare, not their first character.
    EXPECT_FALSE(H::EqualVarRec(Rec(vtPChar, QStringLiteral("Abc")),
                                Rec(vtPChar, QStringLiteral("Axy"))));
    EXPECT_TRUE(H::EqualVarRec(Rec(vtPChar, QStringLiteral("Abc")),
                               Rec(vtPChar, QStringLiteral("Abc"))));
    EXPECT_FALSE(H::EqualVarRec(Rec(vtInteger, qint64(1)), Rec(vtInt64, qint64(1))));
    EXPECT_EQ(ErrorOf([] { H::EqualVarRec(Rec(vtObject, qint64(1)), Rec(vtObject, qint64(1))); }),
              "xtt34022 vtObject");
}

TEST(PlantafelTypes, SetValConvertsNumericKindsOrRaises) {
    using H = TVarRecHelper;
    TVarRec big = Rec(vtInt64, qint64(0));
    H::SetVal(big, Rec(vtInteger, qint64(42)));
    EXPECT_EQ(std::get<qint64>(big.Value), 42);

    TVarRec small = Rec(vtInteger, qint64(1));
    // A number that does not fit is a failed conversion, not an unsupported tag.
    EXPECT_EQ(ErrorOf([&] { H::SetVal(small, Rec(vtInt64, qint64(1) << 40)); }),
              "EConvertError: '1099511627776' ist kein gültiger Ganzzahlwert");
    EXPECT_EQ(std::get<qint64>(small.Value), 1); // unchanged after the refusal
    EXPECT_TRUE(ErrorOf([&] { H::SetVal(small, Rec(vtExtended, 1.5)); })
                    .startsWith("EConvertError: '1.5' ist kein gültiger Ganzzahlwert"));
    H::SetVal(small, Rec(vtExtended, 3.0));
    EXPECT_EQ(std::get<qint64>(small.Value), 3);
    EXPECT_EQ(ErrorOf([&] { H::SetVal(small, Rec(vtUnicodeString, QStringLiteral("3"))); }),
              "xtt34022 vtUnicodeString");

    TVarRec cur = Rec(vtCurrency, Cds::Currency{});
    H::SetVal(cur, Rec(vtInteger, qint64(2)));
    EXPECT_EQ(std::get<Cds::Currency>(cur.Value).Scaled, 20000);

    TVarRec s = Rec(vtUnicodeString, QString());
    H::SetVal(s, Rec(vtAnsiString, QStringLiteral("abc")));
    EXPECT_EQ(std::get<QString>(s.Value), "abc");
}

TEST(PlantafelTypes, SetValReadsFieldAsItemType) {
    Cds::ClientDataSet ds;
    ds.FieldDefs().Add(QStringLiteral("big"), Cds::FieldType::LargeInt);
    ds.FieldDefs().Add(QStringLiteral("amount"), Cds::FieldType::Currency);
    ds.FieldDefs().Add(QStringLiteral("ratio"), Cds::FieldType::Float);
    ds.CreateDataSet();
    ds.Append();
    ds.SetValue(0, qint64(1) << 33);
    ds.SetValue(1, 2.5);
    ds.SetValue(2, 1.5);
    ds.Post();
    TVarRec asInt = Rec(vtInteger, qint64(0));
    EXPECT_TRUE(ErrorOf([&] { TVarRecHelper::SetVal(asInt, ds, 0); })
                    .startsWith("EConvertError: '8589934592' ist kein gültiger Ganzzahlwert"));
    const QString fraction = ErrorOf([&] { TVarRecHelper::SetVal(asInt, ds, 2); });
    EXPECT_TRUE(fraction.startsWith("EConvertError: ")) << qPrintable(fraction);
    EXPECT_TRUE(fraction.contains("Ganzzahlwert für das Feld 'ratio'")) << qPrintable(fraction);
    TVarRec asInt64 = Rec(vtInt64, qint64(0));
    TVarRecHelper::SetVal(asInt64, ds, 0);
    EXPECT_EQ(std::get<qint64>(asInt64.Value), qint64(1) << 33);
    TVarRec asCur = Rec(vtCurrency, Cds::Currency{});
    TVarRecHelper::SetVal(asCur, ds, 1);
    EXPECT_EQ(std::get<Cds::Currency>(asCur.Value).Scaled, 25000);
}

TEST(PlantafelTypes, ExceptionsCarryTheirTextNumbers) {
    EXPECT_EQ(EVoskPlantafelException(34023).Message(), "xtt34023");
    EXPECT_EQ(EVoskPlantafelException(34023).TextNr(), 34023);
    const auto e = EVoskPlantafelException::Fmt(QStringLiteral("34026"), QStringLiteral("G1"));
    EXPECT_EQ(e.Message(), "34026 G1");
    EXPECT_EQ(e.TextNr(), 34026);
}

TEST(PlantafelTypes, ParamsNotifyBeforeEveryChange) {
    TPlantafelParams params;
    QStringList seen;
    params.OnChanging = [&](TPlantafelParams& p) { seen << QString::number(p.Count()); };
    params.Add(QStringLiteral("a"), Cds::FieldType::Integer, 1);
    params.SetValue(0, 2);
    params.Add(QStringLiteral("b"), Cds::FieldType::String, QStringLiteral("x"));
    params.Delete(0);
    EXPECT_EQ(seen.join(','), "0,1,1,2"); // counts as they were before each change
    EXPECT_NE(params.FindParam(QStringLiteral("B")), nullptr);
}

TEST(PlantafelTypes, DataSetInterfaceClosesItsDatasetWithTheLastReference) {
    auto ds = std::make_unique<Cds::ClientDataSet>();
    ds->FieldDefs().Add(QStringLiteral("x"), Cds::FieldType::Integer);
    ds->CreateDataSet();
    Cds::ClientDataSet other;
    other.CloneCursor(*ds, true);
    EXPECT_EQ(other.StoreUseCount(), 2);
    {
        IPlantafelCustomDataSourceDataSetPtr intf =
            std::make_shared<TPlantafelCustomDataSourceDataSetImpl>(QStringLiteral("F.src"),
                                                                    std::move(ds));
        auto second = intf;
        EXPECT_EQ(intf->GetOrigin(), "F.src");
        EXPECT_TRUE(intf->GetDataSet()->Active());
    }
    EXPECT_EQ(other.StoreUseCount(), 1);
}

TEST(PlantafelTypes, PackageEntryPointsRunTheUnitsOnce) {
    Initialize();
    Initialize();
    auto& pkg = Rtl::Package::Get(QStringLiteral("ostvane"));
    EXPECT_GE(pkg.UnitCounter(QStringLiteral("UPantafel.ExprParser")), 1);
    EXPECT_TRUE(pkg.Units().contains(QStringLiteral("UPlantafel.DataSourceTypes")));
    Finalize();
    Finalize();
    EXPECT_EQ(pkg.UnitCounter(QStringLiteral("UPantafel.ExprParser")), 0);
}
