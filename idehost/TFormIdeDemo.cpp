#include "TFormIdeDemo.h"

#include "FrameDBNavigate.h"
#include "TLayoutFrameGrid.h"
#include "TVoskTabSheet.h"
#include "TopLabel.h"

#include "TVoskAction.h"
#include "TVoskClass.h"
#include "TVoskGridView.h"
#include "TVoskPopupMenu.h"
#include "Vcl.Components.h"
#include "cxPC.h"
#include "cxSplitter.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFormIdeDemo::TFormIdeDemo(QObject* owner) : TVoskBaseForm(owner) {
    setObjectName(QStringLiteral("FormIdeDemo"));
    setWindowTitle(QStringLiteral("Entwurfsbeispiel"));
    resize(560, 440);
    auto* layout = new QFormLayout(this);
    // The header as module windows have it, titled by a text number, without auto refresh.
    TopLabel = Vcl::Owned(this, new TTopLabelFrame(this, this), QStringLiteral("TopLabel"));
    TopLabel->FSetTextNr(40001);
    layout->addRow(TopLabel);
    LabelName = Vcl::Owned(this, new QLabel(QStringLiteral("&Name:"), this), QStringLiteral("LabelName"));
    EditName = Vcl::Owned(this, new QLineEdit(this), QStringLiteral("EditName"));
    EditName->setToolTip(QStringLiteral("Name"));
    LabelName->setBuddy(EditName);
    CheckAktiv = Vcl::Owned(this, new QCheckBox(QStringLiteral("&Aktiv"), this), QStringLiteral("CheckAktiv"));
    CheckAktiv->setToolTip(QStringLiteral("Aktiv"));
    ButtonSpeichern = Vcl::Owned(this, new QPushButton(QStringLiteral("&Speichern"), this),
                                 QStringLiteral("ButtonSpeichern"));
    ButtonSpeichern->setToolTip(QStringLiteral("Speichern"));
    ButtonSpeichern->setAccessibleName(QStringLiteral("Speichern"));
    layout->addRow(LabelName, EditName);
    layout->addRow(QString(), CheckAktiv);
    layout->addRow(QString(), ButtonSpeichern);

    PageControlSeiten = Vcl::Owned(this, new TcxPageControl(this), QStringLiteral("PageControlSeiten"));
    PageControlSeiten->setToolTip(QStringLiteral("Seiten"));
    PageControlSeiten->setAccessibleName(QStringLiteral("Seiten"));
    TabSheetKopf = Vcl::Owned(this, new TcxTabSheet, QStringLiteral("TabSheetKopf"));
    TabSheetKopf->SetCaption(QStringLiteral("Kopf"));
    TabSheetKopf->SetPageControl(PageControlSeiten);
    TabSheetPositionen = Vcl::Owned(this, new TcxTabSheet, QStringLiteral("TabSheetPositionen"));
    TabSheetPositionen->SetCaption(QStringLiteral("Positionen"));
    TabSheetPositionen->SetPageControl(PageControlSeiten);
    layout->addRow(PageControlSeiten);

    // A page of the components' own class, and the two other frames with auto-refresh intervals.
    TabSheetNotizen = Vcl::Owned(this, new TVoskTabSheet, QStringLiteral("TabSheetNotizen"));
    TabSheetNotizen->SetCaption(QStringLiteral("Notizen"));
    TabSheetNotizen->SetPageControl(PageControlSeiten);
    auto* notes = new QVBoxLayout(TabSheetNotizen);
    LayoutFrameNotizen = Vcl::Owned(this, new TLayoutFrameGrid(TabSheetNotizen),
                                    QStringLiteral("LayoutFrameNotizen"));
    LayoutFrameNotizen->setToolTip(QStringLiteral("Layout der Notizen"));
    LayoutFrameNotizen->setAccessibleName(QStringLiteral("Layout der Notizen"));
    LayoutFrameNotizen->SetBtAutoRefresh(true);
    notes->addWidget(LayoutFrameNotizen);
    notes->addStretch(1);
    auto* positions = new QVBoxLayout(TabSheetPositionen);
    FrameDBNavPositionen = Vcl::Owned(this, new TFrameDBNav(this, TabSheetPositionen),
                                      QStringLiteral("FrameDBNavPositionen"));
    FrameDBNavPositionen->FSetAutoRefreshButton(true);
    positions->addWidget(FrameDBNavPositionen);
    positions->addStretch(1);

    auto* split = new QHBoxLayout(TabSheetKopf);
    PanelListe = Vcl::Owned(this, new QWidget(TabSheetKopf), QStringLiteral("PanelListe"));
    PanelListe->setToolTip(QStringLiteral("Liste"));
    PanelListe->setAccessibleName(QStringLiteral("Liste"));
    SplitterListe = Vcl::Owned(this, new TcxSplitter(TabSheetKopf), QStringLiteral("SplitterListe"));
    SplitterListe->setToolTip(QStringLiteral("Breite der Liste ziehen"));
    SplitterListe->setAccessibleName(QStringLiteral("Trenner"));
    PanelDetail = Vcl::Owned(this, new QWidget(TabSheetKopf), QStringLiteral("PanelDetail"));
    PanelDetail->setToolTip(QStringLiteral("Details"));
    PanelDetail->setAccessibleName(QStringLiteral("Details"));
    SplitterListe->SetControl(PanelListe);
    split->addWidget(PanelListe);
    split->addWidget(SplitterListe);
    split->addWidget(PanelDetail, 1);

    // Components without a place on the form: an action, a menu, a data class and a grid
    // column's handler, each with properties the ERP's editors take.
    ActionSpeichern = Vcl::Owned(this, new TVoskAction(this), QStringLiteral("ActionSpeichern"));
    ActionSpeichern->setText(QStringLiteral("Speichern"));
    PopupListe = Vcl::Owned(this, new TVoskPopupMenu(this), QStringLiteral("PopupListe"));
    MenuItemNeu = Vcl::Owned(this, PopupListe->AddItem(QStringLiteral("Neu")),
                             QStringLiteral("MenuItemNeu"));
    MenuItemLoeschen = Vcl::Owned(this, PopupListe->AddItem(QStringLiteral("Löschen")),
                                  QStringLiteral("MenuItemLoeschen"));
    DataAdressen = Vcl::Owned(this, new TVoskClass2(this), QStringLiteral("DataAdressen"));
    DataAdressen->SetSqlTable(QStringLiteral("adressen"));
    ColumnHandlerName = Vcl::Owned(this, new TVoskGridViewColumnHandler(this),
                                   QStringLiteral("ColumnHandlerName"));
}
