// Splitting a scanned stack at barcodes, and reading the scan call's parameters.

#include <UFileViewerTIFF.Scan.h>

#include <gtest/gtest.h>

namespace {

TBarcodeList codes(const QStringList& texts) {
    TBarcodeList list;
    for (const QString& t : texts)
        list.append({t, QStringLiteral("CODE-128")});
    return list;
}

struct Split {
    QList<bool> newPage;
    QStringList log;
    QList<int> read;
};

Split split(const QList<QStringList>& pages, bool ctrl = false) {
    Split s;
    s.newPage = SplitScanAtBarcodes(
        int(pages.size()), ctrl, 42,
        [&](int page) {
            s.read << page;
            return codes(pages[page]);
        },
        [&](const QString& line) { s.log << line; });
    return s;
}

int documents(const QList<bool>& newPage) { return int(newPage.count(true)); }

TEST(ScanSplitTest, CodesStartDocumentsUnlessTheyRepeatTheLastOne) {
    // A(X), B, C(X), D(Y): A+B+C and D.
    const Split s = split({{"X"}, {}, {"X"}, {"Y"}});
    EXPECT_EQ(s.newPage, (QList<bool>{true, false, false, true}));
    EXPECT_EQ(s.read, (QList<int>{0, 1, 2, 3}));
    EXPECT_TRUE(s.log.contains(QStringLiteral("TDMSys.Scan : Barcode wird ignoriert - aktueller Barcode \"X\" "
                                              "stimmt mit dem zuletzt Gefundenen überein")));
    EXPECT_EQ(s.log[0], QStringLiteral("TDMSys.Scan : Barcode suchen > pd_id=42 Seite=0 Codes=1:CODE-128:X"));

    // The same code twice on a page counts once.
    EXPECT_EQ(split({{"X", "X"}, {}, {"X"}}).newPage, (QList<bool>{true, false, false}));
    // Two different codes start a document and forget the last code, so the first of them
    // starts one again.
    EXPECT_EQ(split({{"X"}, {"X", "Y"}, {"X"}, {}}).newPage, (QList<bool>{true, true, true, false}));
}

TEST(ScanSplitTest, NoCodeOnTheFirstPageOrCtrlGivesOnePagePerDocument) {
    const Split none = split({{}, {"X"}, {}, {"Y"}});
    EXPECT_EQ(none.newPage, (QList<bool>{true, true, true, true}));
    EXPECT_EQ(none.read, QList<int>{0}); // the later pages are not read
    EXPECT_EQ(none.log.last(),
              QStringLiteral("TDMSys.Scan : kein Barcode auf 1. Seite - in Einzelseiten aufeilen > pd_id=42"));

    const Split ctrl = split({{"X"}, {}, {"X"}}, true);
    EXPECT_EQ(documents(ctrl.newPage), 3);
    EXPECT_TRUE(ctrl.read.isEmpty());

    EXPECT_TRUE(split({}).newPage.isEmpty());
}

TEST(ScanParamsTest, BarcodeOptionsAndTheirModes) {
    QStringList warned;
    const auto warn = [&](const QString& v) { warned << v; };
    TDMSScanBarcodeOptions o = ReadScanBarcodeOptions({}, warn);
    EXPECT_EQ(o.BarcodeMode, kNoBarcodeMode);
    EXPECT_EQ(o.OnlyFirstPage, foFromOptions);
    EXPECT_TRUE(o.BarTypes.none());

    o = ReadScanBarcodeOptions({QStringLiteral("Barcodes=sbCode128, sbQRCode,sbNix"),
                                QStringLiteral("BarcodesOnFirstPage=True")},
                               warn);
    EXPECT_EQ(o.BarcodeMode, sbmOnlyCodes);
    EXPECT_EQ(o.OnlyFirstPage, foOnlyFirst);
    EXPECT_EQ(o.BarTypes.count(), 2u);
    EXPECT_TRUE(o.BarTypes.test(128) && o.BarTypes.test(64));

    o = ReadScanBarcodeOptions({QStringLiteral("Barcodes=sbEAN8"), QStringLiteral("BarcodeMode=sbmWithTypesAndPos")}, warn);
    EXPECT_EQ(o.BarcodeMode, sbmWithTypesAndPos);
    EXPECT_EQ(o.OnlyFirstPage, foAllPages);
    EXPECT_TRUE(warned.isEmpty());

    // A misspelt mode switches reading off and says so.
    o = ReadScanBarcodeOptions({QStringLiteral("Barcodes=sbEAN8"), QStringLiteral("BarcodeMode=sbmWithType")}, warn);
    EXPECT_EQ(o.BarcodeMode, kNoBarcodeMode);
    EXPECT_EQ(warned, QStringList{QStringLiteral("sbmWithType")});
}

TEST(ScanParamsTest, ScanInfoAndBarcodeLines) {
    EXPECT_EQ(DMSScanInfo({}, QString(), QString(), QStringLiteral("RE"), QStringLiteral("4711"), false,
                          foFromOptions, {}),
              QStringLiteral("Tablename= RecId= DokType=RE DokIdent=4711 Barcodes=default "));
    EXPECT_EQ(DMSScanInfo({QStringLiteral("parentnodeident=F1"), QStringLiteral("Barcodes=sbCode39")},
                          QStringLiteral("adressen"), QStringLiteral("17"), QStringLiteral("RE"), {}, true,
                          foOnlyFirst, QStringLiteral("Name=x")),
              QStringLiteral("Tablename=adressen RecId=17 ParentNodeIdent=F1 DokType=RE DokIdent= "
                             "OnDokEvent=True Barcodes@FirstPage=sbCode39 \r\n  InsertData: Name=x"));

    const TBarcodeData code{QStringLiteral("4711"), QStringLiteral("CODE-128"), 1, 2, 3, 4};
    EXPECT_EQ(BarcodeLine(code, sbmOnlyCodes), QStringLiteral("4711"));
    EXPECT_EQ(BarcodeLine(code, sbmWithTypes), QStringLiteral("CODE-128=4711"));
    EXPECT_EQ(BarcodeLine(code, sbmWithTypesAndPos), QStringLiteral("CODE-128[1,2,3,4]=4711"));
}

} // namespace

TEST(ScanMemoryTest, AvailableMemoryIsRead) {
    // The check before a further preview compares with 100 MiB; a machine running the tests has
    // more than that, and an unreadable figure would count as none.
    EXPECT_GT(AvailableMemory(), qint64(100) << 20);
}
