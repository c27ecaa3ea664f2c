#include "UFrameProduktSerNr.h"

#include "UnitTable.h"
#include "Vcl.Classes.h"

#include "FrameDBNavigate.h"
#include "UModulForm.Start.h"

#include <TVoskBandedHeader.h>
#include <TVoskDBEdit.h>
#include <TVoskDBGrid2.h>
#include <TVoskPopupMenu.h>
#include <UDM1.h>
#include <Vcl.Components.h>
#include <Vcl.Forms.h>
#include <Vcl.Services.h>
#include <VoskDatabase.h>
#include <VoskExceptionHelper.h>
#include <VoskF2Controls.h>
#include <VoskPreviewText.h>

#include <EventGuard.h>
#include <VoskExceptions.h>

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPushButton>
#include <QSet>
#include <QSplitter>
#include <QStringDecoder>
#include <QTabBar>
#include <QTabWidget>
#include <QTextCursor>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kSplitterKey = QStringLiteral("TFrameProduktSerNr.splSerNr");

QString text(int nr, const QString& def) {
    TDM1* dm = DM1();
    return dm && dm->Connected() ? dm->makeText(nr, def) : def;
}

TVoskMenuItem* addItem(TVoskPopupMenu* menu, const char* name, const QString& caption, int nr,
                       qint64 tag = 0) {
    TVoskMenuItem* item = menu->AddItem(caption, nr, tag);
    item->setObjectName(QString::fromLatin1(name));
    return item;
}

QPushButton* makeButton(QObject* owner, QWidget* parent, const char* name, const QString& caption,
                        const QString& hint) {
    auto* b = Vcl::Owned(owner, new QPushButton(caption, parent), QString::fromLatin1(name));
    b->setToolTip(hint);
    b->setAccessibleName(caption);
    b->setAccessibleDescription(hint);
    return b;
}

TVoskDatabase& database() {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        throw EVoskException(QStringLiteral("Keine Verbindung zur Datenbank"));
    return dm->Database();
}

// Runs body inside one transaction of the data module's connection (or the one already open).
template <class F> void inTransaction(F&& body) {
    TVoskDatabase& db = database();
    const bool own = !db.InTransaction();
    if (own)
        db.StartTransaction();
    try {
        body();
        if (own)
            db.Commit();
    } catch (...) {
        if (own && db.InTransaction()) {
            try {
                db.Rollback();
            } catch (...) {
                // A broken connection has dropped the transaction itself.
            }
        }
        throw;
    }
}

// Unused presets of the document lose their link; a serial number left without any other link
// goes too. One statement: the second delete sees the links as they were before the first.
const char* const kDeleteUnusedPresets =
    "WITH gone AS (DELETE FROM mapsernr m USING lagsernr s "
    "WHERE m.ms_table = 'ldsdok'::REGCLASS AND m.ms_pkey = :ldid AND s.lgs_id = m.ms_lgs_id "
    "AND s.w_wen IS NULL AND s.lg_id IS NULL AND s.l_nr IS NULL RETURNING m.ms_lgs_id) "
    "DELETE FROM lagsernr s USING gone g WHERE s.lgs_id = g.ms_lgs_id "
    "AND NOT EXISTS (SELECT 1 FROM mapsernr o WHERE o.ms_lgs_id = s.lgs_id "
    "AND NOT (o.ms_table = 'ldsdok'::REGCLASS AND o.ms_pkey = :ldid))";
const char* const kDeleteOrphans =
    "DELETE FROM lagsernr s WHERE s.lgs_id = ANY (CAST(:ids AS integer[])) "
    "AND s.w_wen IS NULL AND s.lg_id IS NULL AND s.l_nr IS NULL "
    "AND NOT EXISTS (SELECT 1 FROM mapsernr m WHERE m.ms_lgs_id = s.lgs_id)";
const char* const kAddPresets =
    "SELECT tlager.lagsernr__mapsernr__vorgabesernr__extract_from_text(:vorgabeSN::TEXT, :ldid)";

QString idArray(const QList<qint64>& ids) {
    QStringList parts;
    parts.reserve(ids.size());
    for (qint64 id : ids)
        parts << QString::number(id);
    return QLatin1Char('{') + parts.join(QLatin1Char(',')) + QLatin1Char('}');
}

// The frame's rows: a new row is a new serial number of the document's article, preset for the
// document, both written by the server's preset routine in one statement, which also checks the
// number; the class's own insert would know no article.
class TSerNrData final : public TServSQL2 {
public:
    TSerNrData(QObject* parent, std::function<int()> document)
        : TServSQL2(parent), m_document(std::move(document)) {}

    void Post(bool askBefore) override {
        if (!IsNewRecord())
            return TServSQL2::Post(askBefore);
        const QString nr = FieldByName(QStringLiteral("lgs_sernr")).AsString().trimmed();
        if (nr.isEmpty())
            throw EVoskException(QStringLiteral("Bitte eine Seriennummer eingeben."));
        if (nr.contains(u'\n') || nr.contains(u'\r'))
            throw EVoskException(QStringLiteral("Eine Seriennummer steht auf einer Zeile."));
        DM1()->LoadVar(QStringLiteral("SELECT tlager.lagsernr__mapsernr__vorgabesernr__"
                                      "extract_from_text(:vorgabeSN::TEXT, :ldid)"),
                       {{QStringLiteral("vorgabeSN"), nr}, {QStringLiteral("ldid"), m_document()}});
        Cancel();
        Refresh(false, true);
        Locate(QStringLiteral("lgs_sernr"), nr);
    }

private:
    std::function<int()> m_document;
};

} // namespace

TFrameProduktSerNr::TFrameProduktSerNr(QObject* owner, QWidget* parent) : QFrame(parent) {
    Vcl::SetOwner(this, owner);
    if (!owner || !Vcl::FindComponent(owner, QStringLiteral("FrameProduktSerNr")))
        setObjectName(QStringLiteral("FrameProduktSerNr"));

    ServSQL2ProduktSN = Vcl::Owned(this, new TSerNrData(this, [this] { return m_ldId; }),
                                   QStringLiteral("ServSQL2ProduktSN"));
    ServSQL2ProduktSN->SetSqlName(QStringLiteral("TFrameProduktSerNr.Seriennummern"));
    ServSQL2ProduktSN->SetSqlTable(QStringLiteral("lagsernr"));
    ServSQL2ProduktSN->SetKeyFieldName(QStringLiteral("lgs_id"));
    ServSQL2ProduktSN->SetDescription(text(26550, QStringLiteral("Seriennummern")));
    ServSQL2ProduktSN->SetParam(QStringLiteral("ld_id"), 0);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    gbSerNr = Vcl::Owned(this, new QGroupBox(text(4932, QStringLiteral("Seriennummer")), this),
                         QStringLiteral("gbSerNr"));
    gbSerNr->setAccessibleName(gbSerNr->title());
    gbSerNr->setToolTip(QStringLiteral("Seriennummern des Lagerzugangs"));
    outer->addWidget(gbSerNr);
    auto* gbLayout = new QHBoxLayout(gbSerNr);
    gbLayout->setContentsMargins(4, 4, 4, 4);

    splSerNr = Vcl::Owned(this, new QSplitter(Qt::Horizontal, gbSerNr), QStringLiteral("splSerNr"));
    splSerNr->setChildrenCollapsible(false);
    splSerNr->setAccessibleName(QStringLiteral("Trenner Seriennummern / Vorgabe"));
    splSerNr->setToolTip(QStringLiteral("Breite der Vorgabe ziehen"));
    gbLayout->addWidget(splSerNr);

    pnlGridSerNr = Vcl::Owned(this, new QWidget(splSerNr), QStringLiteral("pnlGridSerNr"));
    pnlGridSerNr->setMinimumWidth(112);
    auto* gridLayout = new QVBoxLayout(pnlGridSerNr);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    gridLayout->setSpacing(0);
    FrameDBNavSerNr = Vcl::Owned(this, new TFrameDBNav(this, pnlGridSerNr),
                                 QStringLiteral("FrameDBNavSerNr"));
    VoskDBEdit1 = Vcl::Owned(this, new TVoskDBEdit(pnlGridSerNr), QStringLiteral("VoskDBEdit1"));
    VoskDBEdit1->hide();
    GridProduktSerNrCX =
        Vcl::Owned(this, new TVoskDBGrid2(pnlGridSerNr), QStringLiteral("GridProduktSerNrCX"));
    GridProduktSerNrCX->setToolTip(
        text(28796, QStringLiteral("Seriennummern des Lagerzugangs; Rechtsklick: Bezüge entfernen")));
    GridProduktSerNrCX->setAccessibleName(QStringLiteral("Seriennummern"));
    GridProduktSerNrCX->setSelectionMode(QAbstractItemView::ExtendedSelection);
    GridProduktSerNr = new TVoskBandedHeader(GridProduktSerNrCX);
    GridProduktSerNr->setObjectName(QStringLiteral("GridProduktSerNr"));
    GridProduktSerNr->SetBands(
        {{text(26550, QStringLiteral("Seriennummern")),
          {QStringLiteral("lgs_sernr"), QStringLiteral("isVorgabeSN"), QStringLiteral("lgs_id"),
           QStringLiteral("lg_id"), QStringLiteral("lg_aknr"), QStringLiteral("lg_ort"),
           QStringLiteral("lg_chnr")}},
         {text(508, QStringLiteral("Lagerzugang")),
          {QStringLiteral("w_wen"), QStringLiteral("w_aknr"), QStringLiteral("w_ab_ix_sn")}},
         {text(503, QStringLiteral("Lagerabgang")),
          {QStringLiteral("l_nr"), QStringLiteral("l_aknr"), QStringLiteral("l_ab_ix_sn"),
           QStringLiteral("ag_nr")}}});
    GridProduktSerNrCX->SetDataClass(ServSQL2ProduktSN);
    GridProduktSerNrCX->SetHiddenFields(
        {QStringLiteral("lgs_id"), QStringLiteral("lg_id"), QStringLiteral("lg_aknr"),
         QStringLiteral("w_aknr"), QStringLiteral("w_ab_ix_sn"), QStringLiteral("l_aknr"),
         QStringLiteral("l_ab_ix_sn"), QStringLiteral("ag_nr"), QStringLiteral("lg_ort"),
         QStringLiteral("lg_chnr")});
    VoskDBEdit1->SetDataClass(ServSQL2ProduktSN);
    VoskDBEdit1->SetDataField(QStringLiteral("lgs_sernr"));
    VoskDBEdit1->setAccessibleName(QStringLiteral("Seriennummer"));
    VoskDBEdit1->setToolTip(QStringLiteral("Seriennummer"));
    gridLayout->addWidget(FrameDBNavSerNr);
    gridLayout->addWidget(VoskDBEdit1);
    gridLayout->addWidget(GridProduktSerNrCX, 1);

    FrameDBNavSerNr->SetCaption(text(26550, QStringLiteral("Seriennummern")));
    FrameDBNavSerNr->FSetDataSource(ServSQL2ProduktSN);
    FrameDBNavSerNr->FSetVoskDBGrid(GridProduktSerNrCX);
    FrameDBNavSerNr->SetBtSkip(false);
    FrameDBNavSerNr->SetBtInsert(false);
    FrameDBNavSerNr->SetBtDelete(false);
    FrameDBNavSerNr->SetBtRefresh(true);
    FrameDBNavSerNr->SetOptimal(true);
    FrameDBNavSerNr->SetCustomFunc(true);

    pnlManuellSN = Vcl::Owned(this, new QWidget(splSerNr), QStringLiteral("pnlManuellSN"));
    pnlManuellSN->setMinimumWidth(270);
    auto* manLayout = new QVBoxLayout(pnlManuellSN);
    manLayout->setContentsMargins(0, 0, 0, 0);
    mVorgabeSN = Vcl::Owned(this, new TVoskMemo(pnlManuellSN), QStringLiteral("mVorgabeSN"));
    mVorgabeSN->setToolTip(text(
        26316, QStringLiteral("Vorgabe-Seriennummern, eine je Zeile; F2: laden oder erzeugen")));
    mVorgabeSN->setAccessibleName(QStringLiteral("Vorgabe-Seriennummern"));
    mVorgabeSN->setPlaceholderText(QStringLiteral("Eine Seriennummer je Zeile (F2: Vorgabe laden)"));
    // On the application: a module form previews every key and would open a field lookup on F2;
    // a filter installed later runs first.
    qApp->installEventFilter(this);
    manLayout->addWidget(mVorgabeSN, 1);
    auto* buttons = new QHBoxLayout;
    btnSNUndertake = makeButton(
        this, pnlManuellSN, "btnSNUndertake", text(26312, QStringLiteral("Übernehmen")),
        text(26314, QStringLiteral("Die unbenutzten Vorgaben durch die Liste ersetzen")));
    btnSNAdd = makeButton(
        this, pnlManuellSN, "btnSNAdd", text(12819, QStringLiteral("Hinzufügen")),
        text(26315, QStringLiteral("Die Liste zu den Vorgaben hinzufügen")));
    btnSNUndertake->setEnabled(false);
    btnSNAdd->setEnabled(false);
    buttons->addStretch(1);
    buttons->addWidget(btnSNUndertake);
    buttons->addWidget(btnSNAdd);
    manLayout->addLayout(buttons);
    splSerNr->addWidget(pnlGridSerNr);
    splSerNr->addWidget(pnlManuellSN);
    splSerNr->setStretchFactor(0, 1);
    splSerNr->setStretchFactor(1, 0);

    pmVorgabeSN = Vcl::Owned(this, new TVoskPopupMenu(this), QStringLiteral("pmVorgabeSN"));
    miLoad = addItem(pmVorgabeSN, "miLoad", QStringLiteral("aus Datei laden"), 26313);
    miSNAusAuftg = addItem(pmVorgabeSN, "miSNAusAuftg",
                           QStringLiteral("aus zugehörigem Auftrag laden"), 26323, 10);
    miSNAusLZ = addItem(pmVorgabeSN, "miSNAusLZ", QStringLiteral("aus anderem Lagerzugang laden"),
                        26324, 20);
    miSNAusLZ->setVisible(false);
    pmVorgabeSN->addSeparator();
    miAutoGenerierung = addItem(pmVorgabeSN, "miAutoGenerierung",
                                QStringLiteral("Seriennummern-Generator verwenden"), 26326);
    for (TVoskMenuItem* item : {miLoad, miSNAusAuftg, miAutoGenerierung})
        connect(item, &QAction::triggered, this, [this, item] {
            guarded("pmSNItemClick", [&] { pmSNItemClick(item); });
        });

    pmGridSerNr = Vcl::Owned(this, new TVoskPopupMenu(this), QStringLiteral("pmGridSerNr"));
    miDelWendat = addItem(pmGridSerNr, "miDelWendat",
                          QStringLiteral("Bezug zum Lagerzugang entfernen"), 30209);
    miDelLag = addItem(pmGridSerNr, "miDelLag", QStringLiteral("Lagerbezug entfernen"), 30210);
    miDelLifsch = addItem(pmGridSerNr, "miDelLifsch",
                          QStringLiteral("Bezug zum Lagerabgang entfernen"), 30211);
    miDelMapsernr =
        addItem(pmGridSerNr, "miDelMapsernr", QStringLiteral("als Vorgabe entfernen"), 30212);
    for (TVoskMenuItem* item : {miDelWendat, miDelLag, miDelLifsch, miDelMapsernr})
        connect(item, &QAction::triggered, this, [this, item] {
            guarded("miDelBezugClick", [&] { miDelBezugClick(item); });
        });
    GridProduktSerNrCX->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(GridProduktSerNrCX, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) {
                guarded("GridSerNrPopup", [&] {
                    pmGridSerNrPopup();
                    const bool any = std::any_of(
                        pmGridSerNr->actions().cbegin(), pmGridSerNr->actions().cend(),
                        [](const QAction* a) { return a->isVisible(); });
                    if (any)
                        pmGridSerNr->popup(GridProduktSerNrCX->viewport()->mapToGlobal(pos));
                });
            });

    connect(mVorgabeSN, &QPlainTextEdit::textChanged, this, [this] { memoChanged(); });
    connect(btnSNAdd, &QPushButton::clicked, this,
            [this] { guarded("btnSNAddClick", [&] { btnSNAddClick(); }); });
    connect(btnSNUndertake, &QPushButton::clicked, this,
            [this] { guarded("btnSNUndertakeClick", [&] { btnSNUndertakeClick(); }); });
    connect(ServSQL2ProduktSN, &TVoskClass::CurrentChanged, this, [this] { afterScroll(); });
    connect(ServSQL2ProduktSN, &TVoskClass::RowsReset, this, [this] { afterScroll(); });
    ServSQL2ProduktSN->AfterPost = [this](TVoskClass*) { afterPost(); };
    // A new row belongs to the open document's article; without one, or with a done one, there
    // is nothing to add to.
    ServSQL2ProduktSN->BeforeInsert = [this](TVoskClass*) {
        if (m_ldId <= 0 || ld_done)
            throw EVoskException(QStringLiteral("Der Lagerzugang ist erledigt oder nicht "
                                                "gewählt: keine neuen Seriennummern"));
    };
    connect(splSerNr, &QSplitter::splitterMoved, this, [this] {
        if (!m_splitterLoaded)
            return;
        if (TDM1* dm = DM1(); dm && dm->Connected())
            Rtl::Guarded([&] {
                dm->SaveLastValInt(kSplitterKey, splSerNr->sizes().value(1));
            });
    });
    // Leaving the frame hands a pending row to the database.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        if (old && isAncestorOf(old) && !(now && isAncestorOf(now)))
            guarded("GridSerNrCXExit", [&] { postPending(); });
    });
    afterScroll();
}

TFrameProduktSerNr::~TFrameProduktSerNr() {
    // The data class goes with the frame; its events must not reach the half-destroyed frame.
    ServSQL2ProduktSN->AfterPost = nullptr;
    ServSQL2ProduktSN->BeforeInsert = nullptr;
    disconnect(ServSQL2ProduktSN, nullptr, this, nullptr);
}

void TFrameProduktSerNr::guarded(const char* handler, const std::function<void()>& body) {
    Rtl::Guarded(
        [&] {
            try {
                body();
            } catch (const EAbort&) {
                throw;
            } catch (...) {
                TVoskExceptionHelper::InsertStackInfo(
                    std::current_exception(),
                    QStringLiteral("TFrameProduktSerNr.%1").arg(QLatin1String(handler)));
                throw;
            }
        },
        this);
}

QVariant TFrameProduktSerNr::rowValue(int row, const QString& field) const {
    const int col = ServSQL2ProduktSN->FieldIndex(field);
    return col < 0 ? QVariant() : ServSQL2ProduktSN->Value(row, col);
}

void TFrameProduktSerNr::loadSplitter() {
    if (m_splitterLoaded)
        return;
    m_splitterLoaded = true;
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        return;
    const int right = dm->LoadLastValInt(kSplitterKey, 0);
    if (right >= pnlManuellSN->minimumWidth()) {
        const int total = std::max(splSerNr->width(), right + 112);
        splSerNr->setSizes({total - right, right});
    }
}

void TFrameProduktSerNr::VorgabeSeriennummern_Activate(int aldid) {
    if (ServSQL2ProduktSN->Active() &&
        ServSQL2ProduktSN->Param(QStringLiteral("ld_id")).toInt() == aldid)
        return;
    postPending();
    loadSplitter();
    m_ldId = aldid;
    Fak_sernrreq_calculated = false;
    if (aldid > 0) {
        // A document that is gone counts as done: nothing may be added to it.
        const QVariant done =
            DM1()->LoadVar(QStringLiteral("SELECT ld_done FROM ldsdok WHERE ld_id = :ld_id"),
                           {{QStringLiteral("ld_id"), aldid}});
        ld_done = done.isNull() || done.toBool();
    } else {
        ld_done = true;
    }
    ServSQL2ProduktSN->SetParam(QStringLiteral("ld_id"), aldid);
    if (ServSQL2ProduktSN->Active())
        ServSQL2ProduktSN->Refresh(false, true);
    else
        ServSQL2ProduktSN->Open();
    SetVisibilityVorgabePanel(aldid >= 1);
    mVorgabeSN->clear();
    afterScroll();
}

void TFrameProduktSerNr::RefreshAfterPost() {
    if (ServSQL2ProduktSN->Active())
        ServSQL2ProduktSN->Refresh(true, true);
}

void TFrameProduktSerNr::SetVisibilityVorgabePanel(bool aJn) {
    const bool visible = aJn && !ld_done;
    pnlManuellSN->setVisible(visible);
    FrameDBNavSerNr->SetBtInsert(!visible);
}

bool TFrameProduktSerNr::HasFocus() const {
    QWidget* form = window();
    if (!form || !form->isVisible())
        return false;
    const QWidget* active = form->focusWidget();
    return active && (active == GridProduktSerNrCX ||
                      active->parentWidget() == GridProduktSerNrCX ||
                      active->parentWidget() == GridProduktSerNrCX->viewport());
}

bool TFrameProduktSerNr::ak_sernrreq() {
    const QVariant lgId = ServSQL2ProduktSN->HasRecord()
                              ? rowValue(ServSQL2ProduktSN->CurrentRow(), QStringLiteral("lg_id"))
                              : QVariant();
    // The flag belongs to the stock record of the row: another row may have another article.
    if (!Fak_sernrreq_calculated || lgId != m_sernrreqLgId) {
        Fak_sernrreq =
            !lgId.isNull() &&
            DM1()->LoadBool(QStringLiteral("SELECT ak_sernrreq FROM lag LEFT JOIN art ON "
                                           "lg_aknr = ak_nr WHERE lg_id = :lg_id"),
                            {{QStringLiteral("lg_id"), lgId}});
        m_sernrreqLgId = lgId;
        Fak_sernrreq_calculated = true;
    }
    return Fak_sernrreq;
}

void TFrameProduktSerNr::moEtikettdruckenClick() {
    guarded("moEtikettdruckenClick",
            [&] { Print(window(), QStringLiteral("LagZuEtikett"), QString(), false); });
}

void TFrameProduktSerNr::afterScroll() {
    const TServSQL2* d = ServSQL2ProduktSN;
    bool editable = !ld_done && d->HasRecord();
    if (editable) {
        const int row = d->CurrentRow();
        editable = rowValue(row, QStringLiteral("w_wen")).isNull() &&
                   rowValue(row, QStringLiteral("lg_id")).isNull() &&
                   rowValue(row, QStringLiteral("l_nr")).isNull();
    }
    GridProduktSerNrCX->setEditTriggers(editable ? QAbstractItemView::DoubleClicked |
                                                       QAbstractItemView::EditKeyPressed |
                                                       QAbstractItemView::AnyKeyPressed
                                                 : QAbstractItemView::NoEditTriggers);
    VoskDBEdit1->setReadOnly(!editable);
    SetPageColor();
}

void TFrameProduktSerNr::SetPageColor() {
    QWidget* page = parentWidget();
    if (!page || !page->parentWidget())
        return;
    auto* pages = qobject_cast<QTabWidget*>(page->parentWidget()->parentWidget());
    if (!pages || !pages->inherits("TVoskPageControl2"))
        return;
    const int index = pages->indexOf(page);
    if (index < 0)
        return;
    // A tab whose document has serial numbers stands out; an empty one looks like the others.
    pages->tabBar()->setTabTextColor(index, ServSQL2ProduktSN->HasRecord()
                                                ? QColor(0, 70, 170)
                                                : pages->palette().color(QPalette::WindowText));
}

void TFrameProduktSerNr::afterPost() {
    if (m_ldId <= 0 || !ServSQL2ProduktSN->HasRecord())
        return;
    const QVariant lgsId = rowValue(ServSQL2ProduktSN->CurrentRow(), QStringLiteral("lgs_id"));
    if (lgsId.isNull())
        return;
    DM1()->ExecSQL(QStringLiteral("INSERT INTO mapsernr ( ms_lgs_id, ms_table, ms_pkey ) VALUES "
                                  "( :lgs_id, 'ldsdok'::REGCLASS, :ld_id ) ON CONFLICT DO NOTHING"),
                   {{QStringLiteral("lgs_id"), lgsId}, {QStringLiteral("ld_id"), m_ldId}});
}

void TFrameProduktSerNr::postPending() {
    if (ServSQL2ProduktSN->InEdit()) {
        GridProduktSerNrCX->EndEdit(true);
        ServSQL2ProduktSN->Post();
    }
}

void TFrameProduktSerNr::memoChanged() {
    const bool any = !mVorgabeSN->toPlainText().trimmed().isEmpty();
    btnSNAdd->setEnabled(any);
    btnSNUndertake->setEnabled(any);
}

bool TFrameProduktSerNr::eventFilter(QObject* watched, QEvent* e) {
    if (watched == mVorgabeSN &&
        (e->type() == QEvent::KeyPress || e->type() == QEvent::ShortcutOverride) &&
        static_cast<QKeyEvent*>(e)->key() == Qt::Key_F2 &&
        static_cast<QKeyEvent*>(e)->modifiers() == Qt::NoModifier) {
        e->accept();
        if (e->type() == QEvent::KeyPress)
            PopupVorgabeMenu();
        return true;
    }
    return QFrame::eventFilter(watched, e);
}

bool TFrameProduktSerNr::PopupVorgabeMenu() {
    // The presets need an open document whose list is not being edited.
    if (m_ldId <= 0 || ld_done || !ServSQL2ProduktSN->Active() || ServSQL2ProduktSN->InEdit())
        return false;
    miAutoGenerierung->setEnabled(true);
    pmVorgabeSN->popup(mVorgabeSN->viewport()->mapToGlobal(QPoint(10, 10)));
    return true;
}

void TFrameProduktSerNr::btnSNAddClick() {
    if (m_ldId <= 0)
        return;
    postPending();
    DM1()->LoadVar(QString::fromLatin1(kAddPresets),
                   {{QStringLiteral("vorgabeSN"), mVorgabeSN->toPlainText()},
                    {QStringLiteral("ldid"), m_ldId}});
    ServSQL2ProduktSN->Refresh(true, true);
    mVorgabeSN->clear();
}

void TFrameProduktSerNr::btnSNUndertakeClick() {
    if (m_ldId <= 0)
        return;
    if (ServSQL2ProduktSN->HasRecord() &&
        Vcl::Ask(Vcl::mtConfirmation, QStringLiteral("Übernehmen"),
                 text(26327, QStringLiteral("Die unbenutzten Vorgabe-Seriennummern dieses "
                                            "Lagerzugangs durch die Liste ersetzen?")),
                 Vcl::mbYes | Vcl::mbNo, Vcl::mbNo, {}, window()) != Vcl::mrYes)
        return;
    postPending();
    // Old presets go and new ones come together: a refused number keeps the old ones.
    inTransaction([&] {
        TDM1* dm = DM1();
        dm->ExecSQL(QString::fromLatin1(kDeleteUnusedPresets), {{QStringLiteral("ldid"), m_ldId}});
        dm->LoadVar(QString::fromLatin1(kAddPresets),
                    {{QStringLiteral("vorgabeSN"), mVorgabeSN->toPlainText()},
                     {QStringLiteral("ldid"), m_ldId}});
    });
    ServSQL2ProduktSN->Refresh(true, true);
    mVorgabeSN->clear();
}

QString TFrameProduktSerNr::DecodeSerialFile(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString asUtf8 = utf8.decode(bytes);
    if (!utf8.hasError())
        return asUtf8.startsWith(QChar(0xFEFF)) ? asUtf8.mid(1) : asUtf8;
    return VoskPreview::DecodeCp1252(bytes);
}

void TFrameProduktSerNr::pmSNItemClick(QObject* sender) {
    if (sender == miLoad) {
        Vcl::TFileRequest request;
        request.caption = QStringLiteral("CSV-Datei mit SN-Liste auswählen");
        request.filter = QStringLiteral("CSV|*.csv|TXT|*.txt|Alles (*.*)|*.*");
        request.defaultSuffix = QStringLiteral("csv");
        request.parent = window();
        const QString path = Vcl::FileDialogs::Instance().OpenFile(request);
        if (path.isEmpty())
            return;
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            throw EVoskException(QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden: %2")
                                     .arg(path, f.errorString()));
        mVorgabeSN_StringsMerge(DecodeSerialFile(f.readAll()).split(QLatin1Char('\n')));
    } else if (sender == miSNAusAuftg) {
        const TF2Result r = MakeF2(this, mVorgabeSN, true, false, QStringLiteral("10"), {}, {});
        if (r.F2Form && r.F2Form->ModalResult() == Vcl::mrOk && r.F2Query)
            mVorgabeSN_StringsMerge(
                r.F2Query->property("agmi_sernr").toString().split(QLatin1Char('\n')));
    } else if (sender == miAutoGenerierung) {
        if (m_ldId <= 0)
            return;
        QStringList list =
            DM1()
                ->LoadVar(QStringLiteral("SELECT string_agg(lagsernr__presetting__create, "
                                         "E'\\n') FROM TLager.lagsernr__presetting__create(:ldid, "
                                         "null);"),
                          {{QStringLiteral("ldid"), m_ldId}})
                .toString()
                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        list.sort();
        mVorgabeSN_StringsMerge(list);
    }
}

void TFrameProduktSerNr::mVorgabeSN_StringsMerge(const QStringList& list) {
    const QString current = mVorgabeSN->toPlainText();
    const QList<QStringView> lines = QStringView(current).split(u'\n');
    QSet<QString> known;
    known.reserve(lines.size() + list.size());
    for (QStringView l : lines)
        known.insert(l.trimmed().toString());
    QStringList added;
    for (const QString& raw : list) {
        const QString l = raw.trimmed();
        if (l.isEmpty() || known.contains(l))
            continue;
        known.insert(l);
        added << l;
    }
    if (added.isEmpty())
        return;
    // Appended in one edit at the end: the lines already there are not laid out again.
    QTextCursor cursor(mVorgabeSN->document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    const bool newLine = !current.isEmpty() && !current.endsWith(u'\n');
    cursor.insertText((newLine ? QStringLiteral("\n") : QString()) + added.join(u'\n'));
    cursor.endEditBlock();
}

QList<int> TFrameProduktSerNr::SelectedRows() const {
    QList<int> rows;
    if (!ServSQL2ProduktSN->HasRecord())
        return rows;
    for (const QModelIndex& i : GridProduktSerNrCX->selectionModel()->selectedRows())
        rows << i.row();
    if (rows.isEmpty())
        rows << ServSQL2ProduktSN->CurrentRow();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TFrameProduktSerNr::pmGridSerNrPopup() {
    bool wen = false, lag = false, lifsch = false, vorgabe = false;
    for (int row : SelectedRows()) {
        wen = wen || !rowValue(row, QStringLiteral("w_wen")).toString().isEmpty();
        lag = lag || !rowValue(row, QStringLiteral("lg_id")).toString().isEmpty();
        lifsch = lifsch || !rowValue(row, QStringLiteral("l_nr")).toString().isEmpty();
        vorgabe = vorgabe || rowValue(row, QStringLiteral("isVorgabeSN")).toBool();
    }
    miDelWendat->setVisible(wen);
    miDelLag->setVisible(lag);
    miDelLifsch->setVisible(lifsch);
    miDelMapsernr->setVisible(vorgabe);
}

void TFrameProduktSerNr::miDelBezugClick(QObject* sender) {
    QString field;
    if (sender == miDelWendat)
        field = QStringLiteral("w_wen");
    else if (sender == miDelLag)
        field = QStringLiteral("lg_id");
    else if (sender == miDelLifsch)
        field = QStringLiteral("l_nr");
    else if (sender != miDelMapsernr)
        return;
    QList<qint64> ids;
    for (int row : SelectedRows())
        ids << rowValue(row, QStringLiteral("lgs_id")).toLongLong();
    if (ids.isEmpty())
        return;
    postPending();
    struct RefreshAtEnd {
        TServSQL2* data;
        ~RefreshAtEnd() {
            Rtl::Guarded([this] { data->Refresh(true, true); });
        }
    } refresh{ServSQL2ProduktSN};
    inTransaction([&] {
        if (field.isEmpty()) {
            // Only this document's link: another document's preset of the number stays.
            TDM1* dm = DM1();
            dm->ExecSQL(QStringLiteral("DELETE FROM mapsernr WHERE ms_table = 'ldsdok'::REGCLASS "
                                       "AND ms_lgs_id = ANY (CAST(:ids AS integer[])) AND "
                                       "ms_pkey = :ld_id"),
                        {{QStringLiteral("ids"), idArray(ids)}, {QStringLiteral("ld_id"), m_ldId}});
            dm->ExecSQL(QString::fromLatin1(kDeleteOrphans),
                        {{QStringLiteral("ids"), idArray(ids)}});
            return;
        }
        for (qint64 id : std::as_const(ids)) {
            if (!ServSQL2ProduktSN->LocateInt(id, QStringLiteral("lgs_id")))
                throw EVoskException(QStringLiteral(
                    "Internal Error: GridSerNr.DataController.DataSet.Locate('lgs_id') = false"));
            ServSQL2ProduktSN->FieldByName(field).Clear();
            ServSQL2ProduktSN->Post();
        }
    });
}

namespace UFrameProduktSerNr {

void Register() {
    Vcl::RegisterComponents(QStringLiteral("Korvex-Controls"), {Vcl::ComponentClass<TFrameProduktSerNr>()});
}

} // namespace UFrameProduktSerNr

KORVEX_UNIT("hadrel", "UFrameProduktSerNr", nullptr, nullptr, &UFrameProduktSerNr::Register);
