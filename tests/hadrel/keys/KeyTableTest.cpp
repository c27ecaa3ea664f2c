// The key table of the base form, driven by key clicks on offscreen module windows.
#include "KeysFixture.h"

#include <QDate>

#include "TVoskDBMemo.h"
#include "UVoskCalc.h"
#include "UVoskSQLMemo.h"
#include "Vcl.Accessible.h"
#include "VoskExceptions.h"

#include "FrameDBNavigate.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QDialog>
#include <QMenu>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

using KeyTableTest = KeysFixture;

TEST_F(KeyTableTest, EnterAndArrowsMoveBetweenInputsButNotInsideTextsAndPopups) {
    TFormAdress* f = Open();
    Focus(f->EdName);
    QTest::keyClick(f->EdName, Qt::Key_Return);
    EXPECT_EQ(f->ActiveControl(), f->EdStrasse);
    QTest::keyClick(f->EdStrasse, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(f->ActiveControl(), f->EdPlz);
    QTest::keyClick(f->EdPlz, Qt::Key_Up);
    EXPECT_EQ(f->ActiveControl(), f->EdStrasse);
    QTest::keyClick(f->EdStrasse, Qt::Key_Down);
    EXPECT_EQ(f->ActiveControl(), f->EdPlz);
    EXPECT_FALSE(f->DataAdressen->InEdit()) << "moving alone changes nothing";

    TFormKeys* k = OpenKeys();
    // Multi-line texts keep Enter for the line break, the SQL editor by its class name too.
    auto* sql = new TVoskSQLMemo(k->ClientArea());
    k->ModulLayout()->addWidget(sql);
    sql->show();
    struct Case {
        QWidget* control;
        int key;
    } stays[] = {{k->Memo, Qt::Key_Return}, {k->Memo, Qt::Key_Down}, {sql, Qt::Key_Return}};
    for (const Case& c : stays) {
        Focus(c.control);
        KeyProbe probe(c.control);
        QTest::keyClick(c.control, Qt::Key(c.key));
        EXPECT_EQ(k->ActiveControl(), c.control) << Vcl::ClassName(c.control).toStdString();
        EXPECT_EQ(probe.presses, 1) << "the control itself got the key";
    }
    EXPECT_EQ(k->Memo->toPlainText(), QStringLiteral("\n"));

    // An edit whose completion popup shows leaves the arrows to the popup.
    Focus(k->EdSuche);
    k->EdSuche->completer()->setCompletionPrefix(QStringLiteral("A"));
    k->EdSuche->completer()->complete();
    ASSERT_TRUE(Corvale::EditPopupShowing(k->EdSuche));
    QTest::keyClick(k->EdSuche, Qt::Key_Down);
    EXPECT_EQ(k->ActiveControl(), k->EdSuche);
    k->EdSuche->completer()->popup()->hide();
    QTest::keyClick(k->EdSuche, Qt::Key_Down);
    EXPECT_EQ(k->ActiveControl(), k->Memo);
}

TEST_F(KeyTableTest, EnterAndArrowsInAGridCellStayWithTheGrid) {
    TFormAdress* f = Open();
    TVoskDBGrid2* grid = f->GridAdressen;
    const int row = grid->currentIndex().row();
    const QModelIndex cell =
        grid->model()->index(row, f->DataAdressen->FieldIndex(QStringLiteral("ort")));
    for (const int key : {Qt::Key_Return, Qt::Key_Down}) {
        QPointer<QLineEdit> editor = OpenCell(grid, cell);
        ASSERT_TRUE(editor);
        KeyProbe probe(editor);
        probe.setParent(nullptr); // the editor closes and is freed; the probe is this scope's
        QTest::keyClick(editor, Qt::Key(key));
        QApplication::processEvents();
        EXPECT_EQ(probe.presses, 1) << "the cell got the key " << key;
        QWidget* active = f->ActiveControl();
        EXPECT_TRUE(active == grid || (active && grid->isAncestorOf(active)))
            << "the focus left the grid on key " << key;
        grid->setCurrentIndex(cell);
    }
    f->DataAdressen->Cancel();
}

TEST_F(KeyTableTest, EscAndCtrlQCancelTheEditShiftedCtrlQPasses) {
    TFormAdress* f = Open();
    const QString before = f->EdName->text();
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        bool cancels;
    } cases[] = {{Qt::Key_Escape, Qt::NoModifier, true},
                 {Qt::Key_Escape, Qt::ShiftModifier, true},
                 {Qt::Key_Escape, Qt::ControlModifier | Qt::AltModifier, true},
                 {Qt::Key_Q, Qt::ControlModifier, true},
                 {Qt::Key_Q, Qt::ControlModifier | Qt::ShiftModifier, false}};
    for (const Case& c : cases) {
        Focus(f->EdName);
        Type(f->EdName, QStringLiteral("Geaendert"));
        ASSERT_TRUE(f->DataAdressen->InEdit());
        QTest::keyClick(f->EdName, c.key, c.mods);
        EXPECT_EQ(!f->DataAdressen->InEdit(), c.cancels) << int(c.key) << " " << int(c.mods);
        if (f->DataAdressen->InEdit())
            f->DataAdressen->Cancel();
        EXPECT_EQ(f->EdName->text(), before);
    }
    // A control the table does not know is only logged.
    TFormKeys* k = OpenKeys();
    Focus(k->Memo);
    KeyProbe probe(k->Memo);
    QTest::keyClick(k->Memo, Qt::Key_Escape);
    EXPECT_EQ(probe.presses, 1);
    const QString log = TLogSink::Lines().join(u'\n');
    EXPECT_TRUE(log.contains(QStringLiteral("TFormKorvexGundForm.FormKeyDown: FormKeys.")) &&
                log.contains(QStringLiteral("Memo is not implemented")));
}

TEST_F(KeyTableTest, EscInAGridClosesItsSearchFieldThenUndoesTheTypingThenCancelsTheRecord) {
    TFormAdress* f = Open();
    TVoskDBGrid2* grid = f->GridAdressen;
    const int ortCol = f->DataAdressen->FieldIndex(QStringLiteral("ort"));
    const int nameCol = f->DataAdressen->FieldIndex(QStringLiteral("name"));
    const QString ort = f->DataAdressen->FieldByName(QStringLiteral("ort")).AsString();
    const QString name = f->DataAdressen->FieldByName(QStringLiteral("name")).AsString();
    // The record is in edit from an earlier cell; the user types into the next one.
    f->DataAdressen->FieldByName(QStringLiteral("ort")).SetAsString(QStringLiteral("Neuort"));
    ASSERT_TRUE(f->DataAdressen->InEdit());
    // The search field keeps its Esc: it closes, the rows have the focus, the record its edit.
    grid->ShowSearchPanel(true);
    Focus(grid->SearchPanel());
    ASSERT_EQ(QApplication::focusWidget(), grid->SearchPanel());
    QTest::keyClick(grid->SearchPanel(), Qt::Key_Escape);
    EXPECT_FALSE(grid->SearchPanelVisible());
    EXPECT_EQ(QApplication::focusWidget(), grid);
    EXPECT_TRUE(f->DataAdressen->InEdit());
    // Shown without the focus, the rows' Esc closes it first.
    grid->ShowSearchPanel(false);
    QTest::keyClick(grid, Qt::Key_Escape);
    EXPECT_FALSE(grid->SearchPanelVisible());
    EXPECT_TRUE(f->DataAdressen->InEdit());
    const QModelIndex cell = grid->model()->index(grid->currentIndex().row(), nameCol);
    QLineEdit* editor = OpenCell(grid, cell);
    ASSERT_TRUE(editor);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("xyz"));
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_EQ(editor->text(), name);
    EXPECT_TRUE(f->DataAdressen->InEdit());
    QTest::keyClick(editor, Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_FALSE(f->DataAdressen->InEdit());
    EXPECT_EQ(f->DataAdressen->FieldByName(QStringLiteral("ort")).AsString(), ort);
    EXPECT_EQ(f->DataAdressen->FieldByName(QStringLiteral("name")).AsString(), name);
    Q_UNUSED(ortCol);
}

TEST_F(KeyTableTest, AltDigitsAndArrowsSwitchVisibleTabs) {
    TFormKeys* k = OpenKeys();
    Focus(k->PageEdits[0]);
    KeyProbe probe(k->PageEdits[0]);
    // Alt+5 on three tabs: nothing changes, the key is used up all the same.
    QTest::keyClick(k->PageEdits[0], Qt::Key_5, Qt::AltModifier);
    EXPECT_EQ(k->Pages->currentIndex(), 0);
    EXPECT_EQ(probe.presses, 0);
    // Keypad digits count as digits.
    QTest::keyClick(k->PageEdits[0], Qt::Key_3, Qt::AltModifier | Qt::KeypadModifier);
    EXPECT_EQ(k->Pages->currentIndex(), 2);
    Focus(k->PageEdits[2]);
    QTest::keyClick(k->PageEdits[2], Qt::Key_1, Qt::AltModifier);
    EXPECT_EQ(k->Pages->currentIndex(), 0);
    // Alt+Right skips a hidden tab; Alt+2 on it does nothing.
    k->Pages->setTabVisible(1, false);
    Focus(k->PageEdits[0]);
    QTest::keyClick(k->PageEdits[0], Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(k->Pages->currentIndex(), 2);
    Focus(k->PageEdits[2]);
    QTest::keyClick(k->PageEdits[2], Qt::Key_2, Qt::AltModifier);
    EXPECT_EQ(k->Pages->currentIndex(), 2);
    QTest::keyClick(k->PageEdits[2], Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(k->Pages->currentIndex(), 0);
    // Beyond the last tab the key is still used up.
    Focus(k->PageEdits[0]);
    QTest::keyClick(k->PageEdits[0], Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(k->Pages->currentIndex(), 0);
    EXPECT_EQ(probe.presses, 0);
}

TEST_F(KeyTableTest, CtrlDAsksOnlyForARecordAndDeletesOnYes) {
    TFormAdress* f = Open();
    const QString count0 =
        testsupport::TestDatabase::Scalar(QStringLiteral("SELECT count(*) FROM adressen"));
    const qint64 id = CurrentId(f);
    Focus(f->EdName);
    m_answers.Expect(QStringLiteral("Datensatz löschen?"), Vcl::mrNo);
    QTest::keyClick(f->EdName, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(DbValue(QStringLiteral("dbrid"), id), QString::number(id));
    m_answers.Expect(QStringLiteral("Datensatz löschen?"), Vcl::mrYes);
    QTest::keyClick(f->EdName, Qt::Key_D, Qt::ControlModifier);
    EXPECT_TRUE(DbValue(QStringLiteral("dbrid"), id).isEmpty());
    EXPECT_EQ(
        testsupport::TestDatabase::Scalar(QStringLiteral("SELECT count(*) FROM adressen")).toInt(),
        count0.toInt() - 1);
    // A grid that allows no deleting asks nothing, though the data could be deleted.
    f->GridAdressen->SetOptionsDataDeleting(false);
    const qint64 next = CurrentId(f);
    Focus(f->GridAdressen);
    QTest::keyClick(f->GridAdressen, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(DbValue(QStringLiteral("dbrid"), next), QString::number(next));
    EXPECT_EQ(m_answers.Questions().size(), 2u);
    f->GridAdressen->SetOptionsDataDeleting(true);
    // On an empty result nothing is asked: the answerer fails on any question.
    f->DataAdressen->SetQuerySql(QStringLiteral("SELECT * FROM adressen WHERE false"));
    f->DataAdressen->Refresh();
    ASSERT_TRUE(f->DataAdressen->IsEmpty());
    Focus(f->GridAdressen);
    QTest::keyClick(f->GridAdressen, Qt::Key_D, Qt::ControlModifier);
    Focus(f->EdName);
    QTest::keyClick(f->EdName, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(m_answers.Questions().size(), 2u);
}

TEST_F(KeyTableTest, TheDateEditsCalendarOpensOnAltDownTakesTheDayOnEnterAndClosesOnEsc) {
    TFormKeys* k = OpenKeys();
    TVoskDateEdit* d = k->EdDatum;
    Focus(d);
    d->SetDate(QDate(2026, 3, 10));
    QTest::keyClick(d, Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(d->DroppedDown());
    // While it is open the arrows move the day, not the focus, and nothing is taken yet.
    QTest::keyClick(d, Qt::Key_Down);
    QTest::keyClick(d, Qt::Key_Right);
    EXPECT_EQ(QApplication::focusWidget(), d);
    EXPECT_EQ(d->text(), QStringLiteral("10.03.2026"));
    QTest::keyClick(d, Qt::Key_Return);
    EXPECT_FALSE(d->DroppedDown());
    EXPECT_EQ(d->Date(), QDate(2026, 3, 18));
    EXPECT_EQ(QApplication::focusWidget(), d) << "Enter took the day and stayed";

    // Esc closes it and keeps what the edit shows, marked as changed; the window stays.
    d->setModified(false);
    QTest::keyClick(d, Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(d->DroppedDown());
    QTest::keyClick(d, Qt::Key_Up);
    QTest::keyClick(d, Qt::Key_Escape);
    EXPECT_FALSE(d->DroppedDown());
    EXPECT_EQ(d->Date(), QDate(2026, 3, 18));
    EXPECT_TRUE(d->isModified());
    EXPECT_TRUE(k->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), d);

    // Closed, Enter moves on as in any edit.
    QTest::keyClick(d, Qt::Key_Return);
    EXPECT_NE(QApplication::focusWidget(), d);
}

namespace {

// What a screen reader is told about one widget while the test runs: each event with the value
// and description its interface gives at that moment.
class AccessibleSpy final : public Vcl::AccessibleEvents {
public:
    explicit AccessibleSpy(QObject* watched)
        : m_watched(watched), m_previous(Vcl::AccessibleEvents::SetInstance(this)) {}
    ~AccessibleSpy() override { Vcl::AccessibleEvents::SetInstance(m_previous); }
    struct Seen {
        QAccessible::Event Type;
        QString Value, Description;
    };
    std::vector<Seen> Take() { return std::exchange(m_seen, {}); }
    static bool Has(const std::vector<Seen>& seen, QAccessible::Event type, const QString& text) {
        return std::any_of(seen.begin(), seen.end(), [&](const Seen& s) {
            return s.Type == type &&
                   (type == QAccessible::DescriptionChanged ? s.Description : s.Value) == text;
        });
    }
    bool Listening() const override { return true; }
    void Update(QAccessibleEvent* event) override {
        if (event->object() != m_watched)
            return;
        QAccessibleInterface* iface = event->accessibleInterface();
        m_seen.push_back({event->type(), iface ? iface->text(QAccessible::Value) : QString(),
                          iface ? iface->text(QAccessible::Description) : QString()});
    }

private:
    QObject* m_watched;
    Vcl::AccessibleEvents* m_previous;
    std::vector<Seen> m_seen;
};

} // namespace

// With the calendar open the focused edit speaks for it: each day the keys move to is announced
// written out, the edit's value is the day Enter would take, and both go back when it closes.
TEST_F(KeyTableTest, TheDateCalendarTellsAScreenReaderTheDayEnterWouldTake) {
    TFormKeys* k = OpenKeys();
    TVoskDateEdit* d = k->EdDatum;
    Focus(d);
    d->SetDate(QDate(2025, 3, 17));
    AccessibleSpy spy(d);
    QAccessibleInterface* edit = QAccessible::queryAccessibleInterface(d);
    ASSERT_TRUE(edit);
    const QString name = edit->text(QAccessible::Name),
                  closedDescription = edit->text(QAccessible::Description);
    EXPECT_EQ(edit->role(), QAccessible::EditableText);
    ASSERT_TRUE(edit->textInterface());
    EXPECT_EQ(edit->textInterface()->text(0, edit->textInterface()->characterCount()),
              QStringLiteral("17.03.2025"));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(d->DroppedDown());
    EXPECT_TRUE(AccessibleSpy::Has(spy.Take(), QAccessible::DescriptionChanged,
                                   QStringLiteral("Montag, 17. März 2025")));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    std::vector<AccessibleSpy::Seen> seen = spy.Take();
    EXPECT_TRUE(AccessibleSpy::Has(seen, QAccessible::DescriptionChanged,
                                   QStringLiteral("Dienstag, 18. März 2025")));
    EXPECT_TRUE(AccessibleSpy::Has(seen, QAccessible::ValueChanged, QStringLiteral("18.03.2025")));
    EXPECT_EQ(edit->text(QAccessible::Value), QStringLiteral("18.03.2025"));
    EXPECT_EQ(edit->text(QAccessible::Name), name) << "the name stays the edit's";
    EXPECT_EQ(d->text(), QStringLiteral("17.03.2025")) << "nothing taken yet";
    EXPECT_TRUE(edit->state().expanded);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
    EXPECT_TRUE(AccessibleSpy::Has(spy.Take(), QAccessible::DescriptionChanged,
                                   QStringLiteral("Freitag, 18. April 2025")));

    // Esc: the value is what the edit shows again, and that is said.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    ASSERT_FALSE(d->DroppedDown());
    seen = spy.Take();
    EXPECT_TRUE(AccessibleSpy::Has(seen, QAccessible::ValueChanged, QStringLiteral("17.03.2025")));
    EXPECT_TRUE(AccessibleSpy::Has(seen, QAccessible::DescriptionChanged, closedDescription));
    EXPECT_EQ(edit->text(QAccessible::Value), QStringLiteral("17.03.2025"));
    EXPECT_FALSE(edit->state().expanded);

    // Enter takes the day that was announced.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down, Qt::AltModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    EXPECT_TRUE(AccessibleSpy::Has(spy.Take(), QAccessible::DescriptionChanged,
                                   QStringLiteral("Montag, 10. März 2025")));
    const QString announced = edit->text(QAccessible::Value);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(d->text(), announced);
    EXPECT_EQ(edit->text(QAccessible::Value), QStringLiteral("10.03.2025"));
}

TEST_F(KeyTableTest, CtrlSPostsOnceFromAnEditAGridCellAndTheGridsNavigator) {
    TFormAdress* f = Open();
    int posts = 0;
    f->DataAdressen->AfterPost = [&posts](TVoskClass*) { ++posts; };
    const qint64 id = CurrentId(f);
    Focus(f->EdTelefon);
    Type(f->EdTelefon, QStringLiteral("0711 1234"));
    m_answers.Expect(QStringLiteral("Änderungen speichern?"), Vcl::mrYes);
    QTest::keyClick(f->EdTelefon, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(DbValue(QStringLiteral("telefon"), id), QStringLiteral("0711 1234"));

    TVoskDBGrid2* grid = f->GridAdressen;
    const QModelIndex cell = grid->model()->index(
        grid->currentIndex().row(), f->DataAdressen->FieldIndex(QStringLiteral("ort")));
    QLineEdit* editor = OpenCell(grid, cell);
    ASSERT_TRUE(editor);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Gridort"));
    KeyProbe probe(grid);
    m_answers.Expect(QStringLiteral("Änderungen speichern?"), Vcl::mrYes);
    QTest::keyClick(editor, Qt::Key_W, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(posts, 2) << "the grid posts no second time";
    EXPECT_EQ(probe.presses, 0);
    EXPECT_EQ(DbValue(QStringLiteral("ort"), id), QStringLiteral("Gridort"));
    EXPECT_FALSE(f->DataAdressen->InEdit());

    // Nothing typed: the navigator of the grid posts, with the steps its frame hangs on it.
    TVoskClass* contacts = f->DataAnsprechpartner;
    testsupport::TestDatabase::Exec(
        QStringLiteral("INSERT INTO ansprechpartner (adressen_id, nachname) VALUES (%1, 'Tasten')")
            .arg(id));
    contacts->Refresh();
    ASSERT_FALSE(contacts->IsEmpty());
    auto* nav = f->FrameAnsprechpartner->findChild<TVoskDBNavigator*>();
    ASSERT_TRUE(nav);
    QList<NavBtn> clicked;
    const auto frameOnClick = nav->OnClick;
    nav->OnClick = [&](NavBtn b) {
        clicked << b;
        if (frameOnClick)
            frameOnClick(b);
    };
    contacts->Edit();
    Focus(f->GridAnsprechpartner);
    m_answers.Expect(QStringLiteral("Änderungen speichern?"), Vcl::mrYes);
    QTest::keyClick(f->GridAnsprechpartner, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(clicked, QList<NavBtn>{nbPost});
    EXPECT_FALSE(contacts->InEdit());
    nav->OnClick = frameOnClick;
    testsupport::TestDatabase::Exec(
        QStringLiteral("DELETE FROM ansprechpartner WHERE nachname = 'Tasten'"));
}

TEST_F(KeyTableTest, LeavingTheEditedAreaPostsARefusedPostKeepsFocusAndValues) {
    TFormKeys* k = OpenKeys();
    auto* data = Vcl::Owned(k, new TVoskClass2(k), QStringLiteral("DataAdr"));
    data->SetSqlTable(QStringLiteral("adressen"));
    data->SetQuerySql(QStringLiteral("SELECT * FROM adressen ORDER BY dbrid"));
    data->Open();
    new TQ32Control(data);
    auto* name = Vcl::Owned(k, new TVoskDBEdit(k->ClientArea()), QStringLiteral("EdName"));
    auto* mail = Vcl::Owned(k, new TVoskDBEdit(k->ClientArea()), QStringLiteral("EdMail"));
    name->SetDataClass(data);
    name->SetDataField(QStringLiteral("name"));
    mail->SetDataClass(data);
    mail->SetDataField(QStringLiteral("email"));
    k->ModulLayout()->addWidget(name);
    k->ModulLayout()->addWidget(mail);
    name->show();
    mail->show();
    QWidget::setTabOrder(name, mail);
    QWidget::setTabOrder(mail, k->EdNach);
    const qint64 id = data->FieldByName(QStringLiteral("dbrid")).AsLargeInt();

    // Within the record's controls nothing is posted.
    Focus(name);
    Type(name, QStringLiteral("Neuer Name"));
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(k->ActiveControl(), mail);
    EXPECT_TRUE(data->InEdit());

    Type(mail, QStringLiteral("a@b.de"));
    data->BeforePost = [](TVoskClass*) {
        throw EVoskException(QStringLiteral("E-Mail wird geprüft"));
    };
    m_answers.Expect(QStringLiteral("E-Mail wird geprüft"), Vcl::mrOk);
    QTest::keyClick(mail, Qt::Key_Return);
    EXPECT_EQ(k->ActiveControl(), mail);
    EXPECT_TRUE(data->InEdit());
    EXPECT_EQ(mail->text(), QStringLiteral("a@b.de"));
    EXPECT_EQ(name->text(), QStringLiteral("Neuer Name"));

    data->BeforePost = nullptr;
    QTest::keyClick(mail, Qt::Key_Return);
    EXPECT_EQ(k->ActiveControl(), k->EdNach);
    EXPECT_FALSE(data->InEdit());
    EXPECT_EQ(DbValue(QStringLiteral("email"), id), QStringLiteral("a@b.de"));
    EXPECT_EQ(DbValue(QStringLiteral("name"), id), QStringLiteral("Neuer Name"));
}

TEST_F(KeyTableTest, CtrlLClicksThePreviewItemOfTheFramesServingTheGrid) {
    TFormAdress* f = Open();
    // The preview item is offered for a grid with a preview field only.
    f->GridAdressen->SetPreviewField(QStringLiteral("ort"));
    int clicks = 0;
    bool built = false;
    QMenu* menu = f->TopLabel->PopupGridSettings;
    auto* item = f->TopLabel->findChild<QAction*>(QStringLiteral("moTxtVorschau"));
    if (!item) {
        item = new QAction(QStringLiteral("Textvorschau"), menu);
        item->setObjectName(QStringLiteral("moTxtVorschau"));
        menu->addAction(item);
    }
    QObject::connect(menu, &QMenu::aboutToShow, item, [&built] { built = true; });
    QObject::connect(item, &QAction::triggered, item, [&clicks] { ++clicks; });
    Focus(f->GridAdressen);
    QTest::keyClick(f->GridAdressen, Qt::Key_L, Qt::ControlModifier);
    EXPECT_TRUE(built);
    EXPECT_EQ(clicks, 1);
    // From an edit the header's grid is meant.
    Focus(f->EdName);
    QTest::keyClick(f->EdName, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(clicks, 2);
    // A disabled item is not clicked.
    item->setEnabled(false);
    QTest::keyClick(f->EdName, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(clicks, 2);
}

TEST_F(KeyTableTest, CtrlTTogglesTheCalculatorOfTheFocusedEdit) {
    TFormKeys* k = OpenKeys();
    Focus(k->EdNach);
    k->EdNach->setText(QStringLiteral("12"));
    QTest::keyClick(k->EdNach, Qt::Key_T, Qt::ControlModifier);
    ASSERT_TRUE(TVoskCalc::IsVisible());
    EXPECT_EQ(TVoskCalc::FEditControl, k->EdNach);
    TVoskCalc::FCalculator->Engine().Digit(4);
    TVoskCalc::FCalculator->Engine().Digit(2);
    Focus(k->EdNach);
    QTest::keyClick(k->EdNach, Qt::Key_T, Qt::ControlModifier);
    EXPECT_FALSE(TVoskCalc::IsVisible());
    EXPECT_EQ(k->EdNach->text(), QStringLiteral("42"));
}

namespace {
// A control that loads its own rows: F5 asks it again.
class TRefreshingEdit final : public TVoskEdit, public IControlF5, public IRefreshControl {
public:
    using TVoskEdit::TVoskEdit;
    int second = 0;
    bool handles = true;
    void RefreshControl() override {}
    void RefreshFirst() override {}
    bool RefreshSecond() override {
        ++second;
        return handles;
    }
    bool RefreshState() const override { return true; }
};
} // namespace

TEST_F(KeyTableTest, F5RefreshesThroughTheInterfaceElseSelectsTheText) {
    TFormKeys* k = OpenKeys();
    auto* edit = new TRefreshingEdit(k->ClientArea());
    k->ModulLayout()->addWidget(edit);
    edit->show();
    Focus(edit);
    KeyProbe probe(edit);
    QTest::keyClick(edit, Qt::Key_F5);
    EXPECT_EQ(edit->second, 1);
    EXPECT_EQ(probe.presses, 0);
    edit->handles = false;
    QTest::keyClick(edit, Qt::Key_F5);
    EXPECT_EQ(edit->second, 2);
    EXPECT_EQ(probe.presses, 1) << "an unhandled refresh leaves the key to the control";

    Focus(k->EdNach);
    k->EdNach->setText(QStringLiteral("Wert"));
    k->EdNach->setCursorPosition(0);
    QTest::keyClick(k->EdNach, Qt::Key_F5);
    EXPECT_EQ(k->EdNach->selectedText(), QStringLiteral("Wert"));
}

TEST_F(KeyTableTest, KeysWithoutActiveControlDoNothing) {
    TFormKeys* k = OpenKeys();
    if (QWidget* w = k->ActiveControl())
        w->clearFocus();
    int key = Qt::Key_Escape;
    k->FormKeyDown(k, key, Qt::NoModifier);
    EXPECT_EQ(key, int(Qt::Key_Escape));
}

TEST_F(KeyTableTest, MenusAndDialogsInsideTheFormKeepTheirKeys) {
    TFormAdress* f = Open();
    Focus(f->EdName);
    Type(f->EdName, QStringLiteral("Getippt"));
    ASSERT_TRUE(f->DataAdressen->InEdit());

    // The edit's context menu: Down moves in the menu, Esc closes only the menu.
    QMenu* menu = f->EdName->createStandardContextMenu();
    menu->setParent(f->EdName, menu->windowFlags());
    menu->popup(f->EdName->mapToGlobal(QPoint(5, 5)));
    QApplication::processEvents();
    ASSERT_TRUE(menu->isVisible());
    QTest::keyClick(menu, Qt::Key_Down);
    EXPECT_EQ(f->ActiveControl(), f->EdName) << "the focus stays in the edit";
    QTest::keyClick(menu, Qt::Key_Escape);
    EXPECT_FALSE(menu->isVisible());
    EXPECT_TRUE(f->DataAdressen->InEdit());
    EXPECT_EQ(f->EdName->text(), QStringLiteral("Getippt"));
    delete menu;

    // The contacts frame's search dialog: Enter confirms it (the search finds nothing among
    // no contacts), Esc cancels it; the address stays in edit with what was typed.
    TFrameDBNav* nav = f->FrameAnsprechpartner;
    auto answerDialog = [&](const QString& typed, Qt::Key key) {
        bool sawDialog = false;
        QTimer::singleShot(0, f, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog)
                return;
            sawDialog = dialog->parentWidget() == nav;
            QWidget* input = dialog->focusWidget() ? dialog->focusWidget() : dialog;
            QTest::keyClicks(input, typed);
            QTest::keyClick(input, key);
            // A dialog the key did not end must not hang the test.
            QTimer::singleShot(0, dialog, [dialog] {
                if (auto* d = qobject_cast<QDialog*>(dialog); d && d->isVisible())
                    d->reject();
            });
        });
        nav->btSearchDataClick();
        return sawDialog;
    };
    m_answers.Expect(QStringLiteral("\"Zander\" wurde nicht gefunden."), Vcl::mrOk);
    EXPECT_TRUE(answerDialog(QStringLiteral("Zander"), Qt::Key_Return));
    EXPECT_EQ(m_answers.Pending(), 0) << "Enter confirmed the search";
    EXPECT_TRUE(answerDialog(QStringLiteral("Schulz"), Qt::Key_Escape));
    EXPECT_TRUE(f->DataAdressen->InEdit());
    EXPECT_EQ(f->EdName->text(), QStringLiteral("Getippt"));

    // The grid's find box is a popup: Enter searches on and leaves the focus in the box.
    f->DataAdressen->Cancel();
    f->GridAdressen->ShowFind(f->TopLabel->btSearchData);
    QLineEdit* box = f->GridAdressen->FindBox();
    QApplication::processEvents();
    QTest::keyClicks(box, QStringLiteral("Adresse 1"));
    const int first = f->GridAdressen->currentIndex().row();
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_NE(f->GridAdressen->currentIndex().row(), first) << "Enter found the next row";
    EXPECT_TRUE(box->isVisible());
    box->hide();
}

TEST_F(KeyTableTest, CtrlPPrintsThroughTheBuiltInPrintToo) {
    TFormKeys* k = OpenKeys();
    QStringList printed;
    const TPrintProc old = PrintProc;
    PrintProc = [&](QWidget* form, const QString& modul, const QString&, bool, bool, bool, bool,
                    QStringList&, QWidget*, const TPrintEvent&) {
        printed << Vcl::ClassName(form) + u':' + modul;
        return true;
    };
    Focus(k->EdNach);
    // Without a print button to click the key stays the edit's.
    k->TopLabel->PrintBar->hide();
    KeyProbe probe(k->EdNach);
    QTest::keyClick(k->EdNach, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(probe.presses, 1);
    EXPECT_TRUE(printed.isEmpty());
    // The module has no print of its own: Ctrl+P runs the built-in one.
    ASSERT_FALSE(k->TopLabel->OnPrintBtClick);
    k->TopLabel->PrintBar->show();
    k->TopLabel->PrintBt->show();
    QTest::keyClick(k->EdNach, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(probe.presses, 1);
    ASSERT_EQ(printed.size(), 1);
    EXPECT_TRUE(printed[0].startsWith(QStringLiteral("TFormKeys:")));
    PrintProc = old;
}
