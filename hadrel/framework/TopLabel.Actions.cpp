// What the header's buttons do: printing, the info lookup, docking and undocking the window, one
// more window of the module, the search in the grid, copying and pasting field values, the
// developers' caption double-click and the hand-over of stored documents.

#include "TopLabel.h"

#include "DMSys.h"
#include "IDokumentLink.h"
#include "Korvexcommonvcl.h"
#include "Korvexutils.h"
#include "TQ32Control.h"
#include "TUserRights.h"
#include "TVoskBalloonHint.h"
#include "TVoskClass.h"
#include "TVoskDBEdit.h"
#include "UDM1.h"
#include "UGrundModulForm.h"
#include "UModulForm.Start.h"
#include "UModulForm.h"
#include "Ukorvexinterface.h"
#include "Umigration.h"
#include "Vcl.Components.h"
#include "Vcl.Hourglass.h"
#include "Vcl.Services.h"
#include "VoskExceptionHelper.h"
#include "VoskGridSearch.h"
#include "VoskGridValues.h"

#include <EventGuard.h>
#include <VoskExceptions.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QToolButton>
#include <QWindow>

namespace {

// Where undocked windows start: right of the main window's side panel, below its ribbon.
QPoint MainFormOffsets(const QWidget* main) {
    if (!main)
        return {};
    QPoint offset;
    if (auto* left = main->findChild<QWidget*>(QStringLiteral("PanelLeft"));
        left && left->isVisible())
        offset.setX(left->width());
    if (auto* ribbon = main->findChild<QWidget*>(QStringLiteral("RibbonMain"));
        ribbon && ribbon->isVisible())
        offset.setY(ribbon->height());
    return offset;
}

QMdiArea* MainMdiArea() {
    QWidget* main = Vcl::Screen::MainForm();
    return main ? main->findChild<QMdiArea*>() : nullptr;
}

QString UnitNameOf(const QObject* form) {
    const QMetaObject* m = form->metaObject();
    // Only the class's own entry counts: a base's unit is not where this form lives.
    const int i = m->indexOfClassInfo("UnitName");
    if (i >= m->classInfoOffset())
        return QString::fromLatin1(m->classInfo(i).value());
    return Vcl::ClassName(form);
}

} // namespace

void TTopLabelFrame::WireActions() {
    SqlCheckCond = std::make_unique<TVoskQuery2>();
    const auto guard = [this](auto f) { return [this, f] { Rtl::Guarded([&] { f(); }, this); }; };
    connect(PopupTools, &QMenu::aboutToShow, this, guard([this] { PopupToolsPopup(); }));
    connect(moBearbeitenSondfunc, &QAction::triggered, this,
            guard([this] { moBearbeitenSondfuncClick(); }));
    connect(BtTools, &QToolButton::clicked, this, guard([this] { BtToolsClick(BtTools); }));
    for (QToolButton* b : {PrintBt, PrintBtFullAuto})
        connect(b, &QToolButton::clicked, this, guard([this, b] {
                    PrintBtMouseUp(b, Qt::LeftButton, QApplication::keyboardModifiers());
                }));
    connect(InfoBt, &QToolButton::clicked, this, guard([this] { InfoBtMouseUp(InfoBt); }));
    connect(btDockUndock, &QToolButton::clicked, this, guard([this] { btDockUndockClick(); }));
    connect(btNewOpen, &QToolButton::clicked, this, guard([this] { btNewOpenClick(); }));
    connect(btSearchData, &QToolButton::clicked, this,
            guard([this] { btSearchDataClick(QApplication::keyboardModifiers()); }));
    connect(moCopyEdits, &QAction::triggered, this, guard([this] { moCopyEditsClick(); }));
    connect(moPasteEdits, &QAction::triggered, this, guard([this] { moPasteEditsClick(); }));
    // Right clicks and the caption's double click have no signal of their own.
    for (QWidget* w : {static_cast<QWidget*>(PrintBt), static_cast<QWidget*>(PrintBtFullAuto),
                       static_cast<QWidget*>(BtTools), static_cast<QWidget*>(Toplabel)})
        w->installEventFilter(this);
    UpdateDockUndockHint();
}

bool TTopLabelFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick && watched == Toplabel) {
        Rtl::Guarded([this] { ToplabelDblClick(); }, this);
        return true;
    }
    if (event->type() != QEvent::MouseButtonRelease)
        return QFrame::eventFilter(watched, event);
    auto* me = static_cast<QMouseEvent*>(event);
    auto* button = qobject_cast<QToolButton*>(watched);
    if (me->button() != Qt::RightButton || !button || !button->isEnabled() ||
        !button->rect().contains(me->position().toPoint()))
        return QFrame::eventFilter(watched, event);
    if (button == BtTools)
        Rtl::Guarded([this] { BtToolsMouseUp(Qt::RightButton); }, this);
    else
        Rtl::Guarded([&] { PrintBtMouseUp(button, Qt::RightButton, me->modifiers()); }, this);
    return true;
}

// ---- print -------------------------------------------------------------------------------

void TTopLabelFrame::PrintBtMouseUp(QObject* sender, Qt::MouseButton button,
                                    Qt::KeyboardModifiers shift) {
    PrintBt->setEnabled(false);
    PrintBtFullAuto->setEnabled(false);
    // Both buttons come back whatever the print does.
    struct Enable {
        TTopLabelFrame* f;
        ~Enable() {
            f->PrintBt->setEnabled(true);
            f->PrintBtFullAuto->setEnabled(true);
        }
    } enable{this};
    Vcl::THourglass hourglass;
    if (OnBeforePrintBtClick)
        OnBeforePrintBtClick(this);
    if (FDataSource()) {
        for (TVoskClass* c : {FDataSourceH(), FDataSource(), FDataSourceF()})
            if (c && c->InEdit())
                c->Post();
    }
    const bool right = button == Qt::RightButton;
    const bool Auto =
        (!sender || right || sender == PrintBtFullAuto) && !(shift & Qt::ShiftModifier);
    const bool AutoPrintToPaper = right && sender;
    const bool ShowPrinterSelection = sender == PrintBt && right;
    QWidget* form = GetParentForm();
    const QString modulName = Korvexutils::FindModulName(form);
    if (OnPrintBtClick)
        OnPrintBtClick(this, Auto, AutoPrintToPaper, ShowPrinterSelection);
    else
        ::Print(form, modulName, QString(), Auto, false, nullptr, AutoPrintToPaper,
                ShowPrinterSelection);
}

// ---- info --------------------------------------------------------------------------------

void TTopLabelFrame::InfoBtClick(QObject* sender) {
    // The button's own click runs through its mouse-up; a null sender is the F4 key.
    if (!sender)
        InfoBtMouseUp(nullptr);
}

void TTopLabelFrame::InfoBtMouseUp(QObject*) {
    InfoBt->setEnabled(false);
    struct Enable {
        QToolButton* b;
        ~Enable() { b->setEnabled(true); }
    } enable{InfoBt};
    if (OnInfoBtClick)
        OnInfoBtClick(InfoBt);
    else
        MakeF2(GetParentForm(), DBN1, false, false, QString(),
               {QStringLiteral("ShowOkAbortBt=False")}, QString());
}

// ---- dock / undock -----------------------------------------------------------------------

void TTopLabelFrame::btDockUndockClick() {
    auto* form = qobject_cast<TModulForm*>(Vcl::Owner(this));
    if (!form) {
        Korvexutils::RaiseInformation(makeText(
            26177, QStringLiteral("Schließen Sie das Fenster um die Änderungen zu aktivieren")));
        return;
    }
    FormAusgedockt = !FormAusgedockt;
    UpdateDockUndockHint();
    TDM1* dm = DM1();
    if (!UGrundModulForm::IsTestComplete() && dm && dm->Connected())
        dm->SaveLastValBool(QStringLiteral("Modules_Docking"), FormAusgedockt);

    const QString key = UGrundModulForm::SessionRegistryBase() + QStringLiteral("Module\\") +
                        form->FPositionLoadName;
    const auto prefix = [form] {
        return form->IsMdiChild() ? QString() : QStringLiteral("ausgedockt_");
    };
    const bool keepsPositions = form->FPositionLoaded && !form->FPositionLoadName.isEmpty() &&
                                !form->GetParameterBool(QStringLiteral("ModulPositionNoSave")) &&
                                !UGrundModulForm::IsTestComplete();
    if (keepsPositions) {
        if (dm)
            dm->LogEvent(QStringLiteral("TFormKorvexGundForm.SavePosition: %1")
                             .arg(form->FPositionLoadName));
        QWidget* frame = form->Frame();
        UGrundModulForm::WriteStoredPosition(key, prefix(), form->WindowState() == Vcl::wsMaximized,
                                             QRect(frame->pos(), frame->size()));
    }

    // Whatever fails while the window moves, the button and the flag tell where it ended up.
    struct Consistent {
        TTopLabelFrame* frame;
        TModulForm* form;
        ~Consistent() {
            if (frame->FormAusgedockt == form->IsMdiChild()) {
                frame->FormAusgedockt = !form->IsMdiChild();
                frame->UpdateDockUndockHint();
            }
        }
    } consistent{this, form};
    QWidget* main = Vcl::Screen::MainForm();
    QMdiArea* mdi = MainMdiArea();
    const QPoint offset = MainFormOffsets(main);
    const QSize size = form->Frame()->size();
    if (FormAusgedockt) {
        QMdiSubWindow* sub = qobject_cast<QMdiSubWindow*>(form->parentWidget());
        form->SetFormStyle(Vcl::fsNormal);
        if (sub) {
            sub->setWidget(nullptr);
            // The empty frame leaves the MDI area now, not when the event loop next runs.
            sub->hide();
            if (QMdiArea* area = sub->mdiArea())
                area->removeSubWindow(sub);
            sub->deleteLater();
        }
        form->setParent(nullptr, Qt::Window);
        form->setWindowState(Qt::WindowNoState);
        form->resize(size);
        QPoint origin = offset;
        if (main) {
            const QWidget* client = mdi ? static_cast<QWidget*>(mdi) : main;
            origin += client->mapToGlobal(QPoint(0, 0));
        }
        form->move(origin);
        form->show();
        if (form->ToolForm) {
            form->ToolForm->winId();
            form->winId();
            if (form->ToolForm->windowHandle())
                form->ToolForm->windowHandle()->setTransientParent(form->windowHandle());
        }
    } else {
        const QPoint global = form->frameGeometry().topLeft();
        const bool inside = main && main->frameGeometry().contains(form->frameGeometry().center());
        form->SetFormStyle(Vcl::fsMDIChild);
        UModulForm::ShowModulForm(form);
        QWidget* frame = form->Frame();
        if (inside && mdi && frame != form)
            frame->move(mdi->viewport()->mapFromGlobal(global) - offset);
        if (form->ToolForm && main) {
            form->ToolForm->winId();
            main->winId();
            if (form->ToolForm->windowHandle())
                form->ToolForm->windowHandle()->setTransientParent(main->windowHandle());
        }
    }

    if (!form->FPositionLoadName.isEmpty()) {
        const UGrundModulForm::TStoredPosition p =
            UGrundModulForm::ReadStoredPosition(key, prefix());
        QWidget* frame = form->Frame();
        QRect g(frame->pos(), frame->size());
        if (p.left)
            g.moveLeft(*p.left);
        if (p.top)
            g.moveTop(*p.top);
        if (p.width)
            g.setWidth(*p.width);
        if (p.height)
            g.setHeight(*p.height);
        form->SetWindowState(Vcl::wsNormal);
        frame->resize(g.size());
        frame->move(g.topLeft());
        if (p.maximized)
            form->SetWindowState(Vcl::wsMaximized);
    }
    Korvexcommonvcl::CorrectWindowPosition(form);
    form->Frame()->raise();
    if (form->OnDockChanged)
        form->OnDockChanged(this);
}

// ---- one more window ---------------------------------------------------------------------

void TTopLabelFrame::btNewOpenClick() {
    Vcl::TForm* form = GetParentForm();
    if (!form)
        return;
    const QString cls = Vcl::ClassName(form);
    const QString modul = Umigration::TranslateInto_mm_formclassname(cls);
    const QString key = QStringLiteral("OpenNewModule_") + modul;
    TDM1* dm = DM1();
    const bool old = dm && dm->LoadLastValBool(key, false);
    if (dm)
        dm->SaveLastValBool(key, true);
    // The preference goes back also when the start fails, or every later start would open
    // a new window.
    struct Restore {
        TDM1* dm;
        const QString& key;
        bool old;
        ~Restore() {
            if (dm)
                dm->SaveLastValBool(key, old);
        }
    } restore{dm, key, old};
    if (cls.compare(QLatin1String("TDashboardModul"), Qt::CaseInsensitive) == 0) {
        auto* q32 = qobject_cast<TQ32GrundForm*>(form);
        Ukorvexinterface::StartLibraryProc(QStringLiteral("Dashboard.M"),
                                           QStringLiteral("DASHBOARDMODUL"),
                                           q32 ? q32->Parameters() : QStringList());
    } else {
        StartModuleByClass(modul, {}, false, form);
    }
}

// ---- search ------------------------------------------------------------------------------

void TTopLabelFrame::btSearchDataClick(Qt::KeyboardModifiers shift) {
    QWidget* grid = m_grid.data();
    if (auto* panel = dynamic_cast<IVoskGridSearchPanel*>(grid);
        panel && !(shift & Qt::ShiftModifier)) {
        if (panel->SearchPanelVisible())
            panel->HideSearchPanel();
        else
            panel->ShowSearchPanel(true);
        return;
    }
    auto* find = dynamic_cast<IVoskGridFind*>(grid);
    if (!find)
        throw EVoskException(QStringLiteral("TTopLabelFrame.btSearchDataClick"));
    find->ShowFind(btSearchData);
}

// ---- copy / paste of field values --------------------------------------------------------

QList<QWidget*> TTopLabelFrame::CopyPasteEdits() const {
    QList<QWidget*> edits;
    const auto take = [&edits](QObject* c) {
        auto* w = qobject_cast<QWidget*>(c);
        if (!w || !dynamic_cast<IKorvexControl*>(w) || !w->isEnabled())
            return;
        if (auto* e = qobject_cast<QLineEdit*>(w); e && e->isReadOnly())
            return;
        if (qobject_cast<TVoskDBEdit*>(w) ||
            Vcl::InheritsFromName(w, QStringLiteral("TVoskDBDateEdit")))
            edits << w;
    };
    Vcl::TForm* form = GetParentForm();
    if (!form)
        return edits;
    for (QObject* c : Vcl::Components(form)) {
        take(c);
        // One frame deep: the edits a frame of the form owns.
        if (c != this && qobject_cast<QFrame*>(c))
            for (QObject* inner : Vcl::Components(c))
                take(inner);
    }
    return edits;
}

void TTopLabelFrame::moCopyEditsClick() {
    for (QWidget* w : CopyPasteEdits())
        dynamic_cast<IKorvexControl*>(w)->SaveLastValue();
    if (Vcl::InheritsFromName(GetParentForm(), QStringLiteral("TModulForm")))
        TVoskBalloonHint::ShowHintBottomRight(
            btCopyEdits, makeText(6218, QStringLiteral("Kopieren")),
            makeText(17303, QStringLiteral("Der Zustand wird gespeichert.")), 5);
}

void TTopLabelFrame::moPasteEditsClick() {
    for (QWidget* w : CopyPasteEdits())
        dynamic_cast<IKorvexControl*>(w)->LoadLastValue();
}

// ---- caption double click ----------------------------------------------------------------

void TTopLabelFrame::ToplabelDblClick() {
    if (!Dunmere::IsDevelopSystem() && !TUserRights::GetAdmin_User())
        return;
    Vcl::TForm* form = GetParentForm();
    if (!form)
        return;
    Vcl::Clipboard::Instance().SetText(UnitNameOf(form));
    TModulForm::AllertWindowWVOD(
        QStringLiteral("Developer Funktion"),
        makeText(26706, QStringLiteral("Unitname wurde in die Zwischenablage kopiert")), 29);
}

// ---- stored documents --------------------------------------------------------------------

void TTopLabelFrame::DoDokumentAfterPost(TDokument*& Dokument, const QString& DokuType,
                                         const QString& Filename) {
    try {
        TVoskClass* doc = m_dokumentClass;
        if (!doc || doc->GetSqlTableName().isEmpty() || DokuType.isEmpty())
            return;
        const QString table = doc->GetSqlTableName();
        TVoskClass* master = doc->MasterClass();
        // A link that cannot be written leaves the record as it was.
        const auto writeLink = [doc](const QVariant& value) {
            try {
                doc->Edit();
                doc->FieldByName(doc->LinkFieldName()).SetValue(value);
                doc->Post();
            } catch (...) {
                if (doc->InEdit())
                    doc->Cancel();
                throw;
            }
        };
        const bool positions = table.compare(QLatin1String("auftgtxt"), Qt::CaseInsensitive) == 0 ||
                               table.compare(QLatin1String("ldsdoktxt"), Qt::CaseInsensitive) == 0;
        if (positions && master && master->RecordCount() > 1) {
            QStringList params{QStringLiteral("DoNotShow=True"),
                               QStringLiteral("doku_typ=") + DokuType};
            if (table.compare(QLatin1String("ldsdoktxt"), Qt::CaseInsensitive) == 0)
                params << QStringLiteral("ModulName=TFormEinkauf_PosDokument");
            // The choice arrives when the user confirms the lookup, which stays open meanwhile.
            QPointer<TVoskClass> target = doc;
            auto onOk =
                std::make_shared<const TMakeF2Callback>([target, writeLink](TKorvexF2Form* f2) {
                    auto* values =
                        f2 ? dynamic_cast<IVoskSelectedRecordValues*>(f2->F2Result.F2Grid.data())
                           : nullptr;
                    if (!target || !values)
                        return;
                    for (const QString& v :
                         values->GetSelectedRecordValuesStr(QStringLiteral("p_id"), rvoNoGroupRows))
                        writeLink(v);
                });
            MakeF2(GetParentForm(), doc, false, true, QStringLiteral("30"), params, QString(),
                   onOk);
        } else {
            IDokumentLink* link = dynamic_cast<IDokumentLink*>(master);
            if (!link)
                link = dynamic_cast<IDokumentLink*>(doc);
            if (link)
                writeLink(link->DokumentLinkValue());
        }
        if (OnDokumentAfterPost)
            OnDokumentAfterPost(Dokument, DokuType, Filename);
    } catch (const EAbort&) {
        throw;
    } catch (...) {
        throw EVoskException(Vcl::FullName(this) + QStringLiteral(".DoDokumentAfterPost: ") +
                             Rtl::ExceptionMessage(std::current_exception()));
    }
}
