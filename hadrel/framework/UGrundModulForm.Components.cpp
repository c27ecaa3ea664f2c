// The base form's component start-up, its component-settings walks and the admin state.

#include "UGrundModulForm.h"

#include "Korvexutils.h"
#include "TDBText.h"
#include "TQ32Control.h"
#include "TVoskDBGrid2.h"
#include "TVoskDBTreeView2.h"
#include "TVoskMainMenuSql.h"
#include "TVoskPageControl2.h"
#include "TopLabel.h"
#include "UDM1.h"
#include "UDunmereIDE.h"
#include "Uloghelper.h"
#include "Vcl.Components.h"
#include "Vcl.Forms.h"
#include "VoskControls.h"
#include "VoskExceptionHelper.h"
#include "VoskF2Controls.h"
#include "VoskTimer.h"

#include <Uvoskrtl.Collections.h>

#include <QHash>
#include <QToolButton>
#include <QPointer>

#include <algorithm>

namespace {

void Log(const QString& text, const std::exception* e = nullptr) {
    if (TDM1* dm = DM1())
        dm->LogEvent(text, e);
    else
        TLogSink::Add({QDateTime::currentDateTime(), QStringLiteral("EVENT"), 0, {},
                       e ? text + QStringLiteral(": ") + QString::fromUtf8(e->what()) : text});
}

bool IsAdmin() { return CurrentRights().GetIsAdmin(); }

QHash<QString, UGrundModulForm::TStartStep>& StartSteps() {
    static QHash<QString, UGrundModulForm::TStartStep> steps;
    return steps;
}

// A frame: a control, not a window of its own, that owns the components placed on it.
bool IsFrame(const QObject* c) {
    auto* w = qobject_cast<const QWidget*>(c);
    return w && !qobject_cast<const Vcl::TForm*>(w) && Vcl::ComponentCount(w) > 0;
}

using TDoneList = QList<QObject*>;

struct TStartWalk {
    QWidget* form;
    bool dashboard;
    TDoneList done;
};

// A grid whose query joins the record parameters (the server's TRecNoParam.pivot__by__
// functions) offers them as a pivot view in its row menu. A query without their key column gets
// them through the automatic record-parameter class. The order window never offers the view.
void StartRecNoParamPivot(QWidget* form, TVoskDBGrid2* grid) {
    auto* data = qobject_cast<TVoskClass2*>(grid->DataClass());
    if (!data)
        return;
    if (Vcl::ClassNameIs(form, QStringLiteral("TFormAuftragsbearbeitung"))) {
        if (TVoskPopupMenu* menu = grid->LinkColumns().Menu())
            menu->SetRecNoParamPivot(false);
        data->SetAutoRecNoParamClass(true);
        return;
    }
    const QString sql = data->QuerySql();
    if (!sql.contains(QLatin1String("TRecNoParam.pivot__by__"), Qt::CaseInsensitive))
        return;
    Log(Vcl::FullName(grid) + QStringLiteral(": TRecNoParam-PivotView is enabled"));
    TVoskPopupMenu* menu = grid->PopupMenu();
    const bool wasOn = menu->RecNoParamPivot();
    menu->SetRecNoParamPivot(true);
    if (!sql.contains(QLatin1String("RecNoParam_DBRID"), Qt::CaseInsensitive))
        data->SetAutoRecNoParamClass(true);
    if (!wasOn)
        TVoskColumnHandler::InitColumns(grid);
}

void StartOne(TStartWalk& walk, QObject* c, QList<QPointer<QWidget>>& grids);
void StartRoot(TStartWalk& walk, QObject* root);

// The F2 definitions of the module applied to the components of root.
void ApplyF2Definitions(TStartWalk& walk, QObject* root, const QString& modulName) {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        return;
    QString collected;
    auto* form = qobject_cast<TFormKorvexGundForm*>(walk.form);
    TVoskQuery2* q =
        dm->GetQueryBySQL(UGrundModulForm::F2DefinitionSql(), {{QStringLiteral("modul"), modulName}});
    // Component names by their folded spelling, as the server folds feldname; most modules have
    // no definitions at all.
    QHash<QString, QObject*> byName;
    if (!q->IsEmpty())
        for (QObject* c : Vcl::Components(root))
            if (!c->objectName().isEmpty())
                byName.insert(UGrundModulForm::AeoeueUpper(c->objectName()), c);
    const TVoskField fName = q->FieldByName(QStringLiteral("feldname"));
    const TVoskField fFast = q->FieldByName(QStringLiteral("fastf2"));
    const TVoskField fQuery = q->FieldByName(QStringLiteral("f2_query"));
    const TVoskField fFilter = q->FieldByName(QStringLiteral("f2_filter"));
    for (q->First(); !q->Eof(); q->Next()) {
        const QString feldname = fName.AsString();
        const bool fast = fFast.AsBoolean();
        collected += QStringLiteral("Searching F2-Component - Frame: %1\n FeldName: %2 IsFastF2=%3\n")
                         .arg(root->objectName(), feldname,
                              fast ? QStringLiteral("True") : QStringLiteral("False"));
        QObject* c = byName.value(feldname);
        if (!c)
            continue;
        if (IsAdmin())
            Log(QStringLiteral("F2-Component found: %1 Type: %2")
                    .arg(c->objectName(), Vcl::ClassName(c)));
        if (auto* edit = qobject_cast<TVoskEdit*>(c)) {
            if (fast) {
                edit->SetFastF2(fQuery.AsString(), fFilter.AsString());
                continue;
            }
            TVoskEditButtons& b = edit->Buttons();
            if (b.Count() == 0 || !b.Visible(0))
                b.Add(TVoskEditButtonKind::Ellipsis);
            if (!edit->OnButtonClick && form) {
                QPointer<TFormKorvexGundForm> f(form);
                edit->OnButtonClick = [f](QObject* sender, int index) {
                    if (f)
                        f->F2BtClick(sender, index);
                };
            }
        } else if (auto* column = qobject_cast<TVoskGridColumn*>(c)) {
            if (!column->Grid() && !column->Tree())
                continue;
            if (fast) {
                column->SetFastF2(fQuery.AsString(), fFilter.AsString());
                continue;
            }
            if (column->PropertiesKind() == TVoskColumnPropertiesKind::None)
                column->SetPropertiesKind(TVoskColumnPropertiesKind::ButtonEdit);
            auto& buttons = column->Buttons();
            if (column->PropertiesKind() == TVoskColumnPropertiesKind::ButtonEdit) {
                if (buttons.isEmpty() || !buttons.first().visible)
                    column->AddButton(TVoskEditButtonKind::Ellipsis);
            } else if (buttons.size() < 3) {
                // Long text: the text button stays reachable behind the lookup's two buttons.
                if (!buttons.isEmpty())
                    buttons.first().visible = false;
                column->AddButton(TVoskEditButtonKind::DropDown);
                column->AddButton(TVoskEditButtonKind::Ellipsis);
            }
        }
    }
    if (!collected.isEmpty())
        TKorvexLog::LogMessage(collected, TKorvexLogLevel::Debug);
}

void StartOne(TStartWalk& walk, QObject* c, QList<QPointer<QWidget>>& grids) {
    if (IsFrame(c))
        StartRoot(walk, c);
    if (auto* text = qobject_cast<TDBText*>(c))
        text->SetTransparent(true);
    if (auto* header = qobject_cast<TTopLabelFrame*>(c))
        header->LoadSondFuncs();
    if (auto* coordinator = qobject_cast<TQ32Control*>(c)) {
        coordinator->SetControlWindow(nullptr);
        if (TQ32Control::ControlWindowFactory.Assigned()) {
            QObject* owner = coordinator->VoskClass()
                                 ? static_cast<QObject*>(coordinator->VoskClass())
                                 : static_cast<QObject*>(coordinator);
            coordinator->SetControlWindow(TQ32Control::ControlWindowFactory(owner));
        }
    }
    if (auto* tree = qobject_cast<TVoskDBTreeView2*>(c)) {
        tree->BeginUpdate();
        grids << tree;
        tree->LoadF2();
        tree->InitLayout();
        tree->MarkHeaderForLinkModules();
    }
    if (auto* grid = qobject_cast<TVoskDBGrid2*>(c)) {
        grid->BeginUpdate();
        grids << grid;
        grid->LoadF2();
        grid->InitFilter();
        grid->InitLayout();
        grid->MarkHeaderForLinkModules();
        TGridViewMenu::LoadPreview(grid, Vcl::ClassName(walk.form));
        StartRecNoParamPivot(walk.form, grid);
    }
    if (auto* pages = qobject_cast<TVoskPageControl2*>(c)) {
        pages->RegisterDataChangeEvent();
        pages->LoadUserPage();
        if (Vcl::ClassNameIs(walk.form, QStringLiteral("TDashboardModul")))
            for (int i = 0; i < pages->count(); ++i)
                StartRoot(walk, pages->widget(i));
    }
    for (auto it = StartSteps().cbegin(); it != StartSteps().cend(); ++it)
        if (Vcl::InheritsFromName(c, it.key()))
            it.value()(c);
    if (auto* refresh = dynamic_cast<Korvexutils::IVoskRefresh*>(c); refresh &&
                                                                   !refresh->IsRefreshed())
        refresh->InitRefresh();
}

void StartRoot(TStartWalk& walk, QObject* root) {
    if (!root)
        return;
    if (Vcl::ClassNameIs(root, QStringLiteral("TDashboardModul")) && !walk.dashboard)
        return;
    const QString modulName = [&] {
        QString name = Korvexutils::FindModulName(walk.form);
        // A form opened without the module start is its own module.
        return name.isEmpty() ? Vcl::ClassName(walk.form) : name;
    }();
    QList<QPointer<QWidget>> grids;
    // By index, so that components made or freed by a start are neither skipped nor fatal.
    int i = 0;
    while (i < Vcl::ComponentCount(root)) {
        QPointer<QObject> c = Vcl::Component(root, i);
        if (!c || Uvoskrtl::Collections::ArrayHelper<QObject*>::Exists(walk.done, c.data())) {
            ++i;
            continue;
        }
        Uvoskrtl::Collections::ArrayHelper<QObject*>::Append(walk.done, c.data());
        try {
            StartOne(walk, c, grids);
        } catch (const std::exception& e) {
            Log(QStringLiteral("StartVoskComponent: ") + (c ? c->objectName() : QString()), &e);
        }
        if (c && Vcl::Owner(c) == root)
            i = Vcl::ComponentIndex(c) + 1;
        // A component freed meanwhile: the next one has moved to its place.
    }
    Log(QStringLiteral("StartVoskComponent: ") + modulName);
    try {
        ApplyF2Definitions(walk, root, modulName);
    } catch (...) {
        TVoskExceptionHelper::InsertStackInfo(std::current_exception(),
                                              QStringLiteral("StartVoskComponent: ") + modulName);
    }
    for (const auto& view : grids)
        if (auto* grid = qobject_cast<TVoskDBGrid2*>(view.data()))
            grid->EndUpdate();
        else if (auto* tree = qobject_cast<TVoskDBTreeView2*>(view.data()))
            tree->EndUpdate();
}

template <class Interface, class Call>
void CallIf(QObject* c, Call&& call) {
    if (auto* i = dynamic_cast<Interface*>(c))
        call(i);
}

} // namespace

namespace UGrundModulForm {

QString AeoeueUpper(const QString& text) {
    const bool umlauts = std::any_of(text.cbegin(), text.cend(), [](QChar c) {
        return c.unicode() == u'ä' || c.unicode() == u'ö' || c.unicode() == u'ü' ||
               c.unicode() == u'Ä' || c.unicode() == u'Ö' || c.unicode() == u'Ü' ||
               c.unicode() == u'ß';
    });
    if (!umlauts)
        return text.toUpper();
    QString t = text;
    t.replace(QStringLiteral("ä"), QStringLiteral("ae"));
    t.replace(QStringLiteral("ö"), QStringLiteral("oe"));
    t.replace(QStringLiteral("ü"), QStringLiteral("ue"));
    t.replace(QStringLiteral("Ä"), QStringLiteral("AE"));
    t.replace(QStringLiteral("Ö"), QStringLiteral("OE"));
    t.replace(QStringLiteral("Ü"), QStringLiteral("UE"));
    t.replace(QStringLiteral("ß"), QStringLiteral("ss"));
    return t.toUpper();
}

QString F2DefinitionSql() {
    return QStringLiteral(
        "SELECT DISTINCT aeoeue_upper(feldname) AS feldname, fastf2, "
        "IFTHEN(fastf2, COALESCE(f2s_query, f2_query), NULL) AS f2_query, "
        "IFTHEN(fastf2, f2_filter, NULL) AS f2_filter \n"
        "FROM f2poss LEFT JOIN f2standard ON f2_standard = f2s_name \n"
        "WHERE (aeoeue_upper(modulname) = aeoeue_upper(:modul) \n"
        "    OR (:modul ILIKE 'TFormEditTable-%' AND modulname ILIKE 'TFormEditTable') \n"
        "    OR (:modul ILIKE 'TFrameF2Register-%' AND modulname ILIKE 'TFrameF2Register')) \n"
        "  AND NOT f2_deleted");
}

void RegisterStartStep(const QString& className, TStartStep step) {
    StartSteps().insert(className, std::move(step));
}

void UnregisterStartStep(const QString& className) { StartSteps().remove(className); }

void StartVoskComponent(QWidget* form, QObject* startModulOrFrame, bool dashboard) {
    if (Dunmere::IsRunningInIDE() || !form)
        return;
    TStartWalk walk{form, dashboard, {}};
    StartRoot(walk, startModulOrFrame ? startModulOrFrame : form);
}

} // namespace UGrundModulForm

void TFormKorvexGundForm::StartVoskComponent(QWidget* form, QObject* component, bool dashboard) {
    UGrundModulForm::StartVoskComponent(form, component, dashboard);
}

// ---- component settings -----------------------------------------------------------------------

namespace {

enum class TSettingsCall { Load, Save, Reload };

void ComponentWalk(TFormKorvexGundForm* self, QWidget* p, QWidget* c, TSettingsCall call,
                   const QString& state);

void ControlWalk(TFormKorvexGundForm* self, QWidget* p, TSettingsCall call, const QString& state) {
    const QList<QWidget*> children = p->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (qsizetype i = children.size() - 1; i >= 0; --i) {
        QPointer<QWidget> child = children[i];
        if (!child || child->isWindow())
            continue;
        ControlWalk(self, child, call, state);
        if (!child)
            continue;
        if (call == TSettingsCall::Reload)
            CallIf<Korvexutils::IReloadCompSettings>(
                child, [&](auto* i) { i->ReloadCompSettings(state); });
        else
            CallIf<Korvexutils::ISaveCompSettings>(child, [&](auto* i) {
                call == TSettingsCall::Load ? i->LoadCompSettings(p) : i->SaveCompSettings(p);
            });
        if (child && IsFrame(child))
            ComponentWalk(self, child, child, call, state);
    }
}

void ComponentWalk(TFormKorvexGundForm* self, QWidget* p, QWidget* c, TSettingsCall call,
                   const QString& state) {
    if (!p || Vcl::IsDesigning(self))
        return;
    if (p == self)
        ControlWalk(self, p, call, state);
    const QList<QObject*> comps = Vcl::Components(c ? c : p);
    for (qsizetype i = comps.size() - 1; i >= 0; --i) {
        QObject* comp = comps[i];
        // Controls inside p were reached by the control walk already.
        if (Vcl::HasAsParent(p, comp))
            continue;
        if (call == TSettingsCall::Reload)
            CallIf<Korvexutils::IReloadCompSettings>(
                comp, [&](auto* i) { i->ReloadCompSettings(state); });
        else
            CallIf<Korvexutils::ISaveCompSettings>(comp, [&](auto* i) {
                call == TSettingsCall::Load ? i->LoadCompSettings(p) : i->SaveCompSettings(p);
            });
    }
    if (auto* f = qobject_cast<TFormKorvexGundForm*>(p)) {
        switch (call) {
        case TSettingsCall::Load:
            f->LoadCompSettings(c);
            break;
        case TSettingsCall::Save:
            f->SaveCompSettings(c);
            break;
        case TSettingsCall::Reload:
            f->ReloadCompSettings(c, state);
            break;
        }
    }
}

} // namespace

void TFormKorvexGundForm::LoadComponentSettings(QWidget* p, QWidget* c) {
    ComponentWalk(this, p, c, TSettingsCall::Load, {});
}
void TFormKorvexGundForm::SaveComponentSettings(QWidget* p, QWidget* c) {
    ComponentWalk(this, p, c, TSettingsCall::Save, {});
}
void TFormKorvexGundForm::ReloadComponentSettings(QWidget* p, QWidget* c, const QString& state) {
    ComponentWalk(this, p, c, TSettingsCall::Reload, state);
}
void TFormKorvexGundForm::LoadControlSettings(QWidget* p, QWidget*) {
    ControlWalk(this, p, TSettingsCall::Load, {});
}
void TFormKorvexGundForm::SaveControlSettings(QWidget* p, QWidget*) {
    ControlWalk(this, p, TSettingsCall::Save, {});
}
void TFormKorvexGundForm::ReloadControlSettings(QWidget* p, QWidget*, const QString& state) {
    ControlWalk(this, p, TSettingsCall::Reload, state);
}

void TFormKorvexGundForm::SaveCompSettings(QWidget*) {}
void TFormKorvexGundForm::LoadCompSettings(QWidget*) { DoAdminState(); }
void TFormKorvexGundForm::ReloadCompSettings(QWidget*, const QString& state) {
    if (state == QLatin1String("ADMIN"))
        DoAdminState();
}

void TFormKorvexGundForm::HandleIsAdminEvent(bool isAdmin) {
    Log(QStringLiteral("VoskDM_Dunmere.OnIsAdmin: call TFormKorvexGundForm.HandleIsAdminEvent %1")
            .arg(isAdmin ? 1 : 0, 8, 16, QLatin1Char('0')));
    DoReloadEvent(QStringLiteral("ADMIN"));
}

void TFormKorvexGundForm::DoReloadEvent(const QString& state) {
    const QList<Vcl::TForm*> forms = Vcl::Screen::Forms();
    for (qsizetype i = forms.size() - 1; i >= 0; --i) {
        auto* f = qobject_cast<TFormKorvexGundForm*>(forms[i]);
        if (!f || Vcl::IsDestroying(f))
            continue;
        Log(QStringLiteral("ReloadCompSettings(%1): %2").arg(state, Vcl::ClassName(f)));
        f->ReloadComponentSettings(f, f, state);
    }
}

// ---- admin state ------------------------------------------------------------------------------

namespace {

// The settings buttons of the headers and the later units' step (the navigation frames) for the
// components of owner, and again for the pages of each page control.
void ComponentsAdminState(QObject* owner) {
    const auto& step = UGrundModulForm::AdminStateStep();
    for (QObject* c : Vcl::Components(owner)) {
        if (auto* header = qobject_cast<TTopLabelFrame*>(c))
            header->SettingsModul()->UpdateButton();
        if (step)
            step(c);
        if (auto* pages = qobject_cast<TVoskPageControl2*>(c))
            for (int i = 0; i < pages->count(); ++i)
                ComponentsAdminState(pages->widget(i));
    }
}

TTopLabelFrame* HeaderOf(QWidget* form) {
    if (auto* named = qobject_cast<TTopLabelFrame*>(
            Vcl::FindComponent(form, QStringLiteral("TopLabel"))))
        return named;
    const auto all = Vcl::ComponentsOf<TTopLabelFrame>(form);
    return all.isEmpty() ? nullptr : all.first();
}

bool LocateCI(TVoskQuery2& q, const QString& keys, const QVariantList& values) {
    return q.Active() && q.Locate(keys, values, true);
}

} // namespace

namespace UGrundModulForm {
std::function<void(QObject* component)>& AdminStateStep() {
    static std::function<void(QObject*)> step;
    return step;
}
} // namespace UGrundModulForm

void TFormKorvexGundForm::DoAdminState() {
    ComponentsAdminState(this);
    TTopLabelFrame* header = HeaderOf(this);
    if (!header)
        return;
    TDM1* dm = DM1();
    try {
        if (dm)
            dm->OpenModulQueries();
    } catch (const std::exception& e) {
        Log(QStringLiteral("TFormKorvexGundForm.DoAdminState"), &e);
    }
    const bool admin = IsAdmin();
    header->BtTools->setVisible(admin || header->CheckCurrentClassSondFunc());
    header->bvBtTools->setVisible(!header->BtTools->isHidden());

    const QString modul = [this] {
        const QString name = Korvexutils::FindModulName(this);
        return name.isEmpty() ? Vcl::ClassName(this) : name;
    }();
    bool print = admin || bool(header->OnPrintBtClick);
    if (!print && dm && dm->Connected())
        print = LocateCI(dm->ReportQuery(), QStringLiteral("r_modulname"), {modul}) ||
                LocateCI(dm->ReportLinkQuery(), QStringLiteral("rl_modulname"), {modul});
    header->PrintBt->setVisible(print);
    header->PrintBtFullAuto->setVisible(print);
    header->PrintBar->setVisible(!header->PrintBt->isHidden() ||
                                 !header->PrintBtFullAuto->isHidden());
    header->bvPrintBar->setVisible(!header->PrintBar->isHidden());

    bool info = admin;
    if (!info && dm && dm->Connected())
        info = LocateCI(dm->ModulFieldQuery(), QStringLiteral("modulname;feldname"),
                        {modul, QStringLiteral("InfoBt")});
    header->InfoBt->setVisible(info);
}
