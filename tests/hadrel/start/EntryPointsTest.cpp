// The lookup, runtime-form, print and shortcut entry points against the host's procedures and
// recording fakes.
#include "StartFixture.h"

#include "Korvexcommonvcl.h"
#include "VoskExceptions.h"

#include <QListWidget>

#include <gtest/gtest.h>

namespace {

// Chooses a row of every lookup list shown modally and confirms it.
class ChooseRow final : public Korvexcommonvcl::ModalForms {
public:
    explicit ChooseRow(int row) : m_row(row) { m_old = SetInstance(this); }
    ~ChooseRow() override { SetInstance(m_old); }
    int Run(Vcl::TForm* form) override {
        auto* list = qobject_cast<TFormF2List*>(form);
        if (!list)
            return Vcl::mrCancel;
        list->ListResult->setCurrentRow(m_row);
        list->BtOkClick();
        return Vcl::mrOk;
    }

private:
    int m_row;
    ModalForms* m_old;
};

struct Recorder {
    QStringList lines;
    int calls = 0;
};

} // namespace

using EntryPointsTest = StartFixture;

TEST_F(EntryPointsTest, MenuLookupEntryReturnsTheChosenValue) {
    ChooseRow choose(2);
    auto* f = Start<TFormLookupTest>(QStringLiteral("TFormLookupTest"),
                                     {QStringLiteral("MakeF2"), QStringLiteral("EdWert")});
    ASSERT_TRUE(f);
    // The lookup of a last "MakeF2" pair is not modal: it stays open for the user.
    auto* list = qobject_cast<TFormF2List*>(FindModule(QStringLiteral("TFormF2List")));
    ASSERT_TRUE(list);
    EXPECT_FALSE(list->IsModal());
    // It searched from the field's value; an empty search shows every row.
    EXPECT_EQ(list->EdSearch->text(), f->EdWert->text());
    list->EdSearch->clear();
    list->StartSearch();
    list->ListResult->setCurrentRow(0);
    list->BtOkClick();
    QApplication::processEvents();
    EXPECT_EQ(f->EdWert->text(), QStringLiteral("Adresse 01"));

    // The queued lookup of the menu start runs modally and writes the third name.
    QApplication::processEvents();
    f->EdWert->clear(); // an empty field lists every row
    f->F2BtClick(f->EdWert);
    EXPECT_EQ(f->EdWert->text(), QStringLiteral("Adresse 03"));
}

TEST_F(EntryPointsTest, LookupCallbackOutlivesTheCall) {
    auto* f = Start<TFormLookupTest>(QStringLiteral("TFormLookupTest"),
                                     {QStringLiteral("NoAutoLookup"), QStringLiteral("True")});
    ASSERT_TRUE(f);
    QApplication::processEvents();
    int before = 0;
    TF2Result r;
    {
        auto cb = std::make_shared<const TMakeF2Callback>([&](TKorvexF2Form*) { ++before; });
        r = MakeF2(f, f->EdWert, false, false, QString(), {}, QString(), cb);
    } // the caller's reference is gone; the lookup keeps its own
    auto* list = qobject_cast<TFormF2List*>(r.F2Form.data());
    ASSERT_TRUE(list);
    ASSERT_TRUE(r.GetEvent(1));
    list->ListResult->setCurrentRow(1);
    list->BtOkClick();
    QApplication::processEvents();
    EXPECT_EQ(before, 1);
    EXPECT_EQ(f->EdWert->text(), QStringLiteral("Adresse 02"));
    EXPECT_FALSE(r.F2Form); // freed on close
}

TEST_F(EntryPointsTest, LookupStartListAndOneLoad) {
    Recorder rec;
    using Proc = void(TF2Result&, QWidget*, QObject*, std::unique_ptr<QStringList>, TMakeF2Event);
    Ukorvexinterface::RegisterProc<Proc>(
        QStringLiteral("F2.M"), QStringLiteral("MakeF2Proc"),
        [&](TF2Result&, QWidget*, QObject*, std::unique_ptr<QStringList> p, TMakeF2Event) {
            rec.lines = *p;
            ++rec.calls;
        });
    MakeF2Proc = nullptr;
    const int loads = Ukorvexinterface::LoadCount(QStringLiteral("F2.M"));
    MakeF2Text(nullptr, nullptr, true, false, QStringLiteral("3"), QStringLiteral("a=1\r\n\r\nF2Filter=x\rb=2\n"),
               QStringLiteral("std"), std::make_shared<const TMakeF2Callback>([](TKorvexF2Form*) {}));
    EXPECT_EQ(rec.lines, (QStringList{QStringLiteral("ShowModal=True"), QStringLiteral("AutoCallPos=3"),
                                      QStringLiteral("OnBeforeOK=True"), QStringLiteral("a=1"),
                                      QString(), QStringLiteral("F2Filter=x"),
                                      QStringLiteral("b=2")})); // the empty line stays
    MakeF2Array(nullptr, nullptr, false, true, QString(), {QStringLiteral("k"), QStringLiteral("v")}, QString());
    EXPECT_EQ(rec.lines, (QStringList{QStringLiteral("MultiSelect=True"), QStringLiteral("k=v")}));
    EXPECT_EQ(rec.calls, 2);
    EXPECT_EQ(Ukorvexinterface::LoadCount(QStringLiteral("F2.M")), loads + 1);
    UHostModules::Register();
    MakeF2Proc = nullptr;
}

TEST_F(EntryPointsTest, RuntimeFormAndGridPrintTakeTheListAndNullIt) {
    auto* params = new QStringList{QStringLiteral("x=1")};
    ExecuteRTF(42, params, true, nullptr, false);
    EXPECT_EQ(params, nullptr);
    ASSERT_EQ(UHostModules::RecordedCalls().size(), 1u);
    EXPECT_EQ(UHostModules::RecordedCalls()[0].params,
              (QStringList{QStringLiteral("x=1"), QStringLiteral("rtfnr=42"),
                           QStringLiteral("AutoParams=True"), QStringLiteral("PREFILL=False")}));
    ExecuteRTF(7, nullptr, true);
    EXPECT_TRUE(UHostModules::RecordedCalls()[1].params.contains(QStringLiteral("NoOkMsgBox=False")));

    auto* f = Open();
    auto* gridParams = new QStringList{QStringLiteral("a=b")};
    PrintGrid(f->GridAdressen, QStringLiteral("Liste"), gridParams);
    EXPECT_EQ(gridParams, nullptr);
    EXPECT_EQ(UHostModules::RecordedCalls()[2].procedure, QStringLiteral("PRINTGRID"));
    EXPECT_EQ(UHostModules::RecordedCalls()[2].params,
              (QStringList{QStringLiteral("a=b"), QStringLiteral("Report.Title=Liste")}));
}

TEST_F(EntryPointsTest, PrintEntryPointsReachTheReportProcedure) {
    auto& calls = UHostModules::RecordedCalls();
    QStringList mine{QStringLiteral("own=1")};
    EXPECT_TRUE(Print(nullptr, QStringLiteral("TFormAdress"), QStringLiteral("2"), false, false, &mine,
                      false, true));
    EXPECT_EQ(mine, (QStringList{QStringLiteral("own=1"), QStringLiteral("DoNotSaveLastPosition=True")}));
    EXPECT_EQ(calls.back().flags, QStringList{QStringLiteral("ShowPrinterSelection")});
    EXPECT_TRUE(Print(nullptr, QStringLiteral("TFormAdress"), QStringLiteral("1"), true));
    EXPECT_TRUE(calls.back().params.isEmpty());
    EXPECT_EQ(calls.back().r_pos, QStringLiteral("1"));

    PrintToImage(nullptr, QStringLiteral("TFormAdress"), QString(), {QStringLiteral("a"), QStringLiteral("1")});
    EXPECT_EQ(calls.back().params, (QStringList{QStringLiteral("a=1"), QStringLiteral("ExportToBMP=True")}));
    EXPECT_EQ(calls.back().flags, (QStringList{QStringLiteral("AutoPrint"), QStringLiteral("NoAfterRTF"),
                                               QStringLiteral("NoPrintPreview")}));
    PrintToEvent(nullptr, QStringLiteral("TFormAdress"), QStringLiteral("1"), false, {},
                 [](QWidget*, const QStringList&, int, int, const QImage&, const QStringList&) {});
    EXPECT_TRUE(calls.back().withEvent);

    s_dm->SetBoolSetting(QStringLiteral("Zdok.Active"), true);
    PrintZDok(nullptr, QStringLiteral("TFormAdress"), QStringLiteral("77"), false, false, {}, false, false);
    EXPECT_EQ(calls.back().r_pos, QStringLiteral("77"));
    EXPECT_EQ(calls.back().params, (QStringList{QStringLiteral("RPos_is_RepID=True"),
                                                QStringLiteral("DoNotSaveLastPosition=True")}));
    s_dm->SetBoolSetting(QStringLiteral("Zdok.Active"), false);
    PrintZDok(nullptr, QStringLiteral("TFormAdress"), QStringLiteral("77"), false, false, {}, false, false);
    EXPECT_EQ(calls.back().r_pos, QString());

    // Silent printing reports a failure once and returns false; with a dialog it raises.
    m_answers.Expect(QStringLiteral("Drucker nicht bereit"), Vcl::mrOk);
    EXPECT_FALSE(PrintToImage(nullptr, QStringLiteral("TFormDruckFehler"), QString(), {}));
    EXPECT_THROW(Print(nullptr, QStringLiteral("TFormDruckFehler"), QString(), false), EVoskException);
}

TEST_F(EntryPointsTest, ShortcutsHandTheirParametersToTheLibraries) {
    QList<QStringList> got;
    const auto record = [&](const char* lib, const char* proc) {
        Ukorvexinterface::RegisterStartProc(QString::fromLatin1(lib), QString::fromLatin1(proc),
                                            [&](const QStringList& p) -> QObject* {
                                                got << p;
                                                return nullptr;
                                            });
    };
    record("Einkauf.M", "EINKAUFNEU");
    record("Auftrag.M", "AUFTRAGV");
    record("ARTIKEL.M", "LOOKSTUECKL");
    LoadBest(5);
    LoadBest(QStringLiteral("C"), QStringLiteral("A1"), QStringLiteral("3"));
    LoadAuftg(9);
    // The user's decimal separator and no thousands separator, whatever the locale groups.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    LOOKSTUECKL(QStringLiteral("R"), true, false, 1234.5, QStringLiteral("B"), false, 1, true);
    QLocale::setDefault(before);
    ASSERT_EQ(got.size(), 4);
    EXPECT_EQ(got[0], QStringList{QStringLiteral("ld_id=5")});
    EXPECT_EQ(got[1], (QStringList{QStringLiteral("ld_code=C"), QStringLiteral("ld_auftg=A1"),
                                   QStringLiteral("ld_pos=3")}));
    EXPECT_EQ(got[2], QStringList{QStringLiteral("ag_id=9")});
    EXPECT_EQ(got[3].mid(0, 3), (QStringList{QStringLiteral("resid=R"), QStringLiteral("rm=-1"),
                                             QStringLiteral("optart=0")}));
    EXPECT_EQ(got[3].value(3), QStringLiteral("menge=1234,5"));
    EXPECT_EQ(got[3].value(6), QStringLiteral("op7fakt=1"));
    EXPECT_EQ(got[3].value(7), QStringLiteral("mitKalku=-1"));
    for (const char* lib : {"Einkauf.M", "Auftrag.M"})
        Ukorvexinterface::UnregisterProc(QString::fromLatin1(lib),
                                         QString::fromLatin1(lib[0] == 'E' ? "EINKAUFNEU" : "AUFTRAGV"));
    Ukorvexinterface::UnregisterProc(QStringLiteral("ARTIKEL.M"), QStringLiteral("LOOKSTUECKL"));

    try {
        LoadBest(1);
        ADD_FAILURE();
    } catch (const EVoskException& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("EINKAUFNEU")) &&
                    e.Message().contains(QStringLiteral("Einkauf.M")))
            << e.Message().toStdString();
    }

    // Asking first: an empty key asks nothing; "No" opens nothing.
    RaiseNewAdk(QString());
    m_answers.Expect(QStringLiteral("Adresse nicht gefunden"), Vcl::mrNo);
    RaiseNewAdk(QStringLiteral("MEIER"));
    EXPECT_TRUE(FindModules(QStringLiteral("TFormAdress")).isEmpty());
    m_answers.Expect(QStringLiteral("Adresse nicht gefunden"), Vcl::mrYes);
    RaiseNewAdk(QStringLiteral("MEIER"));
    EXPECT_EQ(FindModules(QStringLiteral("TFormAdress")).size(), 1);
}
