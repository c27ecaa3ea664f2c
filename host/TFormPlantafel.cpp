#include "TFormPlantafel.h"

#include "BandedHeaderView.h"
#include "EventGuard.h"
#include "TVoskStatusBar.h"
#include "TopLabel.h"
#include "UPlantafel.ContainerDataSource.h"
#include "Vcl.Components.h"
#include "Vcl.Services.h"
#include "VoskExceptions.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString kGroup = QStringLiteral("Plan");

struct TColumnDef {
    const char* name;
    const char* field;
    const char* caption;
    int band;
    int width;
    const char* format = "";
};

// Bands "Woche", "Auftrag" and "Start"; order, position and text come from the information rows.
const TColumnDef kColumns[] = {
    {"ColYWeek", "_yweek", "Jahr/KW", 0, 56},
    {"ColEntity", "_entityidsortyw", "Nr.", 0, 32},
    {"ColAuftrag", "a2_ab_ix", "Auftrag", 1, 50},
    {"ColPosition", "a2_n", "Pos.", 1, 34},
    {"ColText", "a2_bezeichnung", "Text", 1, 130},
    {"ColStart", "ti_date_start", "Beginn", 2, 100, "dd.mm.yyyy hh:nn"},
};

QLabel* Label(QWidget* parent, const QString& text, QWidget* buddy) {
    auto* l = new QLabel(text, parent);
    l->setBuddy(buddy);
    buddy->setAccessibleName(QString(text).remove(u'&').remove(u':'));
    return l;
}

} // namespace

TFormPlantafel::TFormPlantafel(QObject* owner, QWidget* parent) : TModulForm(owner, parent) {
    setWindowTitle(QStringLiteral("Plantafel"));
    TopLabel->Toplabel->setText(QStringLiteral("Plantafel"));
    resize(1270, 600);
    auto* box = ModulLayout();

    auto* bar = new QHBoxLayout;
    EdVon = Vcl::Owned(this, new QDateEdit(QDate(2025, 12, 1), this), QStringLiteral("EdVon"));
    EdBis = Vcl::Owned(this, new QDateEdit(QDate(2026, 1, 31), this), QStringLiteral("EdBis"));
    for (QDateEdit* e : {EdVon, EdBis}) {
        e->setCalendarPopup(true);
        e->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    }
    EdVon->setToolTip(QStringLiteral("Erster Tag des Zeitraums"));
    EdBis->setToolTip(QStringLiteral("Letzter Tag des Zeitraums"));
    CbModus = Vcl::Owned(this, new QComboBox(this), QStringLiteral("CbModus"));
    CbModus->addItem(QStringLiteral("Erste Woche nach Tagen"),
                     int(ptsvmCalendarWeekGroupedFirstWeekDays));
    CbModus->addItem(QStringLiteral("Nach Wochen"), int(ptsvmCalendarWeekGroupedByWeek));
    CbModus->setToolTip(
        QStringLiteral("Die erste Woche nach Tagen oder alle Wochen nach Wochen zeigen"));
    EdFilter = Vcl::Owned(this, new QLineEdit(this), QStringLiteral("EdFilter"));
    EdFilter->setToolTip(QStringLiteral("Filter auf die Zeilen, z. B. a2_n = 1"));
    EdFilter->setPlaceholderText(QStringLiteral("z. B. a2_n = 1"));
    BtFilter = Vcl::Owned(this, new QPushButton(QStringLiteral("Filtern"), this),
                          QStringLiteral("BtFilter"));
    BtFilter->setToolTip(QStringLiteral("Den Filter auf die Plantafel anwenden"));
    BtFilter->setAccessibleName(QStringLiteral("Filtern"));
    bar->addWidget(Label(this, QStringLiteral("&Von:"), EdVon));
    bar->addWidget(EdVon);
    bar->addWidget(Label(this, QStringLiteral("&Bis:"), EdBis));
    bar->addWidget(EdBis);
    bar->addWidget(Label(this, QStringLiteral("&Ansicht:"), CbModus));
    bar->addWidget(CbModus);
    bar->addWidget(Label(this, QStringLiteral("&Filter:"), EdFilter));
    bar->addWidget(EdFilter, 1);
    bar->addWidget(BtFilter);
    box->addLayout(bar);

    PanelViews = Vcl::Owned(this, new QWidget(this), QStringLiteral("PanelViews"));
    PanelViews->setAccessibleName(QStringLiteral("Maschinen"));
    PanelViews->setToolTip(QStringLiteral("Eine Tabelle je Maschine"));
    auto* views = new QHBoxLayout(PanelViews);
    views->setContentsMargins(0, 0, 0, 0);
    box->addWidget(PanelViews, 1);

    m_container = std::make_unique<TPlantafelContainerDataSource>(this);
    m_container->setObjectName(QStringLiteral("PlantafelDS"));
    QStringList ids;
    for (int r : DemoResources())
        ids << QString::number(r);
    m_container->SetResIDSelectSQL({ids.join(QStringLiteral(", "))});
    m_group = m_container->AddGroup(kGroup);
    for (int r : DemoResources()) {
        m_container->AddSubViewDataSource(kGroup, r);
        auto* column = new QVBoxLayout;
        auto* caption = new QLabel(QStringLiteral("Maschine %1").arg(r), PanelViews);
        caption->setAlignment(Qt::AlignCenter);
        column->addWidget(caption);
        TVoskGridViewCustomDS* view = CreateView(r);
        column->addWidget(view->Control(), 1);
        views->addLayout(column, 1);
    }
    // The machines scroll in step, so that a row means the same week everywhere.
    for (TVoskGridViewCustomDS* v : m_views)
        connect(v->TableView()->verticalScrollBar(), &QScrollBar::valueChanged, this,
                [this](int value) {
                    if (m_scrolling)
                        return;
                    m_scrolling = true;
                    for (TVoskGridViewCustomDS* other : m_views)
                        other->TableView()->verticalScrollBar()->setValue(value);
                    m_scrolling = false;
                });

    m_statusPanel = StatusBar1->AddPanel(QString(), 260);

    connect(BtFilter, &QPushButton::clicked, this,
            [this] { Rtl::Guarded([this] { FilterAnwenden(); }); });
    connect(EdFilter, &QLineEdit::returnPressed, this,
            [this] { Rtl::Guarded([this] { FilterAnwenden(); }); });
    connect(CbModus, &QComboBox::currentIndexChanged, this,
            [this](int index) { Rtl::Guarded([this, index] { ModusWechseln(index); }); });
    connect(EdVon, &QDateEdit::dateChanged, this,
            [this] { Rtl::Guarded([this] { Aktualisieren(); }); });
    connect(EdBis, &QDateEdit::dateChanged, this,
            [this] { Rtl::Guarded([this] { Aktualisieren(); }); });

    Aktualisieren();
    for (TVoskGridViewCustomDS* v : m_views)
        v->LoadLayout(false, false);
    UpdateLayoutStatus();
}

TFormPlantafel::~TFormPlantafel() {
    // The views outlive this part of the form; the base form hides them once the members are
    // gone, so nothing of theirs may call back here. Their sources go before them.
    for (TVoskGridViewCustomDS* v : m_views) {
        v->disconnect(this);
        v->TableView()->verticalScrollBar()->disconnect(this);
        v->DataController().SetCustomDataSource(nullptr);
    }
    m_container.reset();
}

TVoskGridViewCustomDS* TFormPlantafel::CreateView(int resourceId) {
    auto* view = Vcl::Owned(this, new TVoskGridViewCustomDS(this),
                            QStringLiteral("ViewMaschine%1").arg(resourceId));
    // One stored layout for every machine's view.
    view->SetLayoutSaveName(QStringLiteral("Plantafel"));
    view->BeginUpdate();
    for (const QString& band :
         {QStringLiteral("Woche"), QStringLiteral("Auftrag"), QStringLiteral("Start")})
        view->AddBand(band);
    for (const TColumnDef& def : kColumns) {
        Grid::GridBandedColumn& c = view->CreateColumn(QString::fromLatin1(def.name));
        TVoskGridItemCustomDSDataBinding& b = view->Binding(c);
        b.SetFieldName(QString::fromLatin1(def.field));
        b.DisplayFormat = QString::fromLatin1(def.format);
        c.SetCaption(QString::fromLatin1(def.caption));
        c.Width = def.width;
        view->MoveColumn(c, def.band, view->ColumnCount());
    }
    Grid::GridBandedColumn& count = view->CreateColumn(QStringLiteral("ColAnzahl"));
    TVoskGridItemCustomDSDataBinding& b = view->Binding(count);
    b.SetFieldKind(fkAggregate);
    b.AggExpression = QStringLiteral("Count(ti_id)");
    b.AggGroupingLevel = ptfldWeek;
    count.SetCaption(QStringLiteral("Anz."));
    count.Width = 44;
    view->MoveColumn(count, 0, view->ColumnCount());
    view->EndUpdate();
    view->Control()->setAccessibleName(QStringLiteral("Maschine %1").arg(resourceId));
    view->TableView()->setAccessibleName(QStringLiteral("Plantafel Maschine %1").arg(resourceId));
    view->DataController().SetCustomDataSource(m_container->SubViewDataSources(kGroup, resourceId));
    connect(view, &Grid::GridBandedTableView::LayoutChanged, this,
            [this] { UpdateLayoutStatus(); });
    connect(view, &Grid::GridBandedTableView::HeaderContextMenu, this,
            [this, view](const QPoint& pos) {
                const int logical = view->Header()->logicalIndexAt(view->Header()->mapFromGlobal(pos));
                QMenu* menu = CreateHeaderMenu(view, view->ColumnOfItem(logical));
                menu->setAttribute(Qt::WA_DeleteOnClose);
                menu->popup(pos);
            });
    m_views.push_back(view);
    return view;
}

void TFormPlantafel::Aktualisieren() {
    m_container->SetActive(false);
    m_container->SetStartDate(EdVon->date().startOfDay());
    m_container->SetEndDate(EdBis->date().startOfDay());
    m_container->SetActive(true);
}

void TFormPlantafel::ModusWechseln(int index) {
    const auto mode = TPlantafelSubViewMode(CbModus->itemData(index).toInt());
    m_group->SetMode(mode);
    if (m_container->Active())
        m_group->SetActive(true);
}

void TFormPlantafel::FilterAnwenden() {
    const QString previous = m_group->Filter();
    const QString filter = EdFilter->text().trimmed();
    try {
        m_group->ApplyClientSideFilter(filter);
    } catch (const EAbort&) {
        throw;
    } catch (...) {
        const QString message = Rtl::ExceptionMessage(std::current_exception());
        // The refused filter left the group closed: it opens again as it was.
        m_group->ApplyClientSideFilter(previous);
        if (m_container->Active() && !m_group->Active())
            m_group->SetActive(true);
        Vcl::Ask(Vcl::mtError, QStringLiteral("Filter"), message, Vcl::mbOK);
        EdFilter->setText(previous);
    }
}

// ---- stored layouts -----------------------------------------------------------------------------

void TFormPlantafel::Gruppieren(const QString& columnName) {
    for (TVoskGridViewCustomDS* v : m_views) {
        v->BeginUpdate();
        for (Grid::GridBandedColumn* c : v->GroupedColumns())
            v->SetGroupIndex(*c, -1);
        if (Grid::GridBandedColumn* c = v->ColumnByName(columnName))
            v->SetGroupIndex(*c, 0);
        v->EndUpdate();
    }
    UpdateLayoutStatus();
}

void TFormPlantafel::FormShow(QObject* sender) {
    TModulForm::FormShow(sender);
    if (const QString column = GetParameterStr(QStringLiteral("Gruppieren")); !column.isEmpty())
        Gruppieren(column);
}

QMenu* TFormPlantafel::CreateHeaderMenu(TVoskGridViewCustomDS* view,
                                        Grid::GridBandedColumn* column) {
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("MenuLayout"));
    menu->setAccessibleName(QStringLiteral("Layout"));
    menu->setToolTipsVisible(true);
    auto add = [&](const QString& text, const QString& tip, auto&& handler) {
        QAction* a = menu->addAction(text);
        a->setToolTip(tip);
        connect(a, &QAction::triggered, this, [handler] { Rtl::Guarded(handler); });
    };
    if (column)
        add(QStringLiteral("Nach „%1“ gruppieren").arg(column->Caption()),
            QStringLiteral("Die Zeilen aller Maschinen nach dieser Spalte gruppieren"),
            [this, name = column->Name] { Gruppieren(name); });
    if (!view->GroupedColumns().empty())
        add(QStringLiteral("Gruppierung aufheben"),
            QStringLiteral("Alle Zeilen wieder ohne Gruppen zeigen"), [this] { Gruppieren({}); });
    menu->addSeparator();
    add(QStringLiteral("Layout speichern"), QStringLiteral("Die Anordnung für Sie speichern"),
        [this, view] { LayoutSpeichern(view, false); });
    add(QStringLiteral("Layout global speichern"),
        QStringLiteral("Die Anordnung für alle Benutzer speichern"),
        [this, view] { LayoutSpeichern(view, true); });
    add(QStringLiteral("Layout laden"), QStringLiteral("Die gespeicherte Anordnung laden"),
        [this] { LayoutLaden(); });
    menu->addSeparator();
    add(QStringLiteral("Layout löschen"), QStringLiteral("Ihre gespeicherte Anordnung löschen"),
        [this, view] { LayoutLoeschen(view, false); });
    add(QStringLiteral("Globales Layout löschen"),
        QStringLiteral("Die Anordnung für alle Benutzer löschen"),
        [this, view] { LayoutLoeschen(view, true); });
    add(QStringLiteral("Layout zurücksetzen"), QStringLiteral("Alle Spalten wieder anzeigen"),
        [this] { LayoutZuruecksetzen(); });
    return menu;
}

void TFormPlantafel::LayoutSpeichern(TVoskGridViewCustomDS* view, bool global) {
    if (view->SaveLayout(global, true)) {
        // The machines share one stored layout: the others take it too.
        for (TVoskGridViewCustomDS* v : m_views)
            if (v != view)
                v->LoadLayout(global, false);
    }
    UpdateLayoutStatus();
}

void TFormPlantafel::LayoutLaden() {
    for (TVoskGridViewCustomDS* v : m_views)
        v->LoadLayout(false, false);
    UpdateLayoutStatus();
}

void TFormPlantafel::LayoutLoeschen(TVoskGridViewCustomDS* view, bool global) {
    // The machines share the key: once its row is gone, none of them has it loaded.
    if (view->DeleteLayout(global, true))
        for (TVoskGridViewCustomDS* v : m_views)
            if (v != view)
                v->DeleteLayout(global, true);
    UpdateLayoutStatus();
}

void TFormPlantafel::LayoutZuruecksetzen() {
    // Back to the order the columns were made in, every column shown.
    for (TVoskGridViewCustomDS* v : m_views) {
        v->BeginUpdate();
        v->ResetFields();
        for (int i = 0; i < v->ColumnCount(); ++i)
            v->Column(i).Visible = true;
        v->Changed();
        v->EndUpdate();
    }
    UpdateLayoutStatus();
}

QString TFormPlantafel::LayoutStatusText(TVoskGridViewCustomDS* view) {
    const TLayoutState state = view->GetLayoutState();
    QString text = view->LoadetGridLayout() == QLatin1String("Global")
                       ? QStringLiteral("Layout: Global")
                   : view->LoadetGridLayout() == QLatin1String("Local")
                       ? QStringLiteral("Layout: Eigenes")
                       : QStringLiteral("Layout: keines geladen");
    if ((state & glsModifiedLayout) &&
        (state & (glsUserLayout | glsGlobalLayout | glsNoLayoutLoaded)))
        text += QStringLiteral(" (geändert)");
    if (state & glsError)
        text += QStringLiteral(" (Fehler)");
    return text;
}

void TFormPlantafel::UpdateLayoutStatus() {
    if (m_views.empty() || m_statusPanel < 0)
        return;
    StatusBar1->SetPanelText(m_statusPanel, LayoutStatusText(m_views.front()));
}
