#include "UModulForm.Start.h"

#include "Korvexcommonvcl.h"
#include "Korvexutils.h"
#include "TQ32Control.h"
#include "TVoskClass.h"
#include "TVoskDBEdit.h"
#include "TVoskDBGrid2.h"
#include "UDM1.h"
#include "Ukorvexinterface.h"
#include "UnitTable.h"
#include "Vcl.Components.h"
#include "Vcl.Forms.h"
#include "Vcl.Services.h"
#include "Voskdbcontrols.h"
#include "VoskExceptions.h"
#include "uExceptions.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTabWidget>

#include <optional>

TMainMenuSqlClassRef MainMenuSqlClass;
TDoABKProjStemp DoABKProjStemp;
TMakeF2Proc MakeF2Proc;
TExecRTFProc ExecRtfProc;
TPrintProc PrintProc;
TPrintGridProc PrintGridProc;
int last_agid = 0;
int last_ldid = 0;

namespace {

bool IsAdmin() { return CurrentRights().GetIsAdmin(); }

QString OpenNewModuleKey(const QString& translated) {
    return QStringLiteral("OpenNewModule_") + translated;
}
bool LoadOpenNewModule(const QString& translated) {
    return DM1() && DM1()->LoadLastValBool(OpenNewModuleKey(translated), false, true);
}
void SaveOpenNewModule(const QString& translated, bool value) {
    if (DM1())
        DM1()->SaveLastValBool(OpenNewModuleKey(translated), value, true);
}

void Log(const QString& text, const std::exception* e = nullptr) {
    if (DM1())
        DM1()->LogEvent(text, e, false);
}

// Shows the message and ends the action.
[[noreturn]] void RaiseCriticalError(const QString& message) {
    uExceptions::RaiseException(nullptr, message);
    throw EAbort(); // RaiseException aborts; this only tells the compiler
}
void RaiseInformation(const QString& message) {
    Vcl::TQuestion q;
    q.kind = Vcl::mtInformation;
    q.text = message;
    q.buttons = Vcl::mbOK;
    Vcl::Dialogs::Instance().Ask(q);
}

QString NameOf(const QString& line) { return line.section(QLatin1Char('='), 0, 0); }
QString ValueOf(const QString& line) { return line.section(QLatin1Char('='), 1); }

// Adds name=value, replacing a line of the same name (names compare case-insensitively).
void SetLine(QStringList& list, const QString& name, const QString& value) {
    const QString line = name + QLatin1Char('=') + value;
    for (QString& l : list)
        if (NameOf(l).compare(name, Qt::CaseInsensitive) == 0) {
            l = line;
            return;
        }
    list << line;
}
QString GetLine(const QStringList& list, const QString& name) {
    for (const QString& l : list)
        if (NameOf(l).compare(name, Qt::CaseInsensitive) == 0)
            return ValueOf(l);
    return {};
}
void AddLines(QStringList& list, const QStringList& lines) {
    for (const QString& l : lines)
        SetLine(list, NameOf(l), ValueOf(l));
}
QString Bool(bool b) { return b ? QStringLiteral("True") : QStringLiteral("False"); }

bool IsMdiChild(const QWidget* w) {
    auto* f = qobject_cast<const TFormKorvexGundForm*>(w);
    return f && f->IsMdiChild() && qobject_cast<QMdiSubWindow*>(f->parentWidget());
}

void BringToFront(Vcl::TForm* form) {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(form->parentWidget())) {
        sub->show();
        if (QMdiArea* area = sub->mdiArea())
            area->setActiveSubWindow(sub);
        sub->raise();
    } else {
        form->raise();
        form->activateWindow();
    }
    if (form->isVisible() && form->isEnabled())
        form->setFocus();
}

void Statistics(Vcl::TForm* form, const QString& text) {
    try {
        QString caption;
        if (form)
            caption = form->windowTitle();
        TKorvexLog::Statistics(QStringLiteral("ModulForm"), form,
                               form ? Vcl::ClassName(form) : QString(), text, caption, QString());
    } catch (...) {
        // Usage statistics never stop a start.
    }
}

} // namespace

// ---- enumerator ------------------------------------------------------------------------------

TModulesEnumerator::TModulesEnumerator(const QList<const QMetaObject*>& classTypes,
                                       bool IgnoreModal)
    : FIgnoreModal(IgnoreModal), FClassMask(QStringLiteral("ClassType")), FClassTypes(classTypes) {}

TModulesEnumerator::TModulesEnumerator(const QStringList& classNames, bool IgnoreModal)
    : FIgnoreModal(IgnoreModal), FClassMask(QStringLiteral("ClassName")), FClassNames(classNames) {}

TModulesEnumerator TModulesEnumerator::CreateMask(const QString& ClassMask, bool IgnoreModal,
                                                  const QStringList& IgnoreClassNames) {
    TModulesEnumerator e;
    e.FIgnoreModal = IgnoreModal;
    e.FClassMask = ClassMask;
    e.FClassNames = IgnoreClassNames;
    return e;
}

bool TModulesEnumerator::MoveNext() {
    for (Vcl::TForm* form : Vcl::Screen::Forms()) {
        if (Vcl::IsDestroying(form) || (FIgnoreModal && form->IsModal()))
            continue;
        const QString cls = Vcl::ClassName(form);
        bool accept = false;
        if (FClassMask.compare(QLatin1String("All"), Qt::CaseInsensitive) == 0 ||
            FClassMask.compare(QLatin1String("Undocked"), Qt::CaseInsensitive) == 0) {
            if (FClassNames.contains(cls, Qt::CaseInsensitive))
                continue;
            if (FClassMask.compare(QLatin1String("All"), Qt::CaseInsensitive) == 0)
                accept = true;
            else
                accept = qobject_cast<TModulForm*>(form) && !IsMdiChild(form);
        } else if (FClassMask == QLatin1String("ClassName")) {
            const QString modul = Korvexutils::FindModulName(form);
            accept = FClassNames.contains(cls, Qt::CaseInsensitive) ||
                     (!modul.isEmpty() && FClassNames.contains(modul, Qt::CaseInsensitive));
        } else if (FClassMask == QLatin1String("ClassType")) {
            accept = FClassTypes.contains(form->metaObject());
        }
        if (!accept || FEnumerated.contains(form->Serial()))
            continue;
        FEnumerated.insert(form->Serial());
        m_current = form;
        return true;
    }
    m_current = nullptr;
    return false;
}

TLinkComponent::TLinkComponent(QObject* link, QObject* owner) : QObject(owner), m_link(link) {
    if (link)
        connect(link, &QObject::destroyed, this, [this, link] {
            Log(Vcl::FullName(this) + QLatin1Char(' ') + Vcl::ClassName(link));
            m_link = nullptr;
        });
}

// ---- start -----------------------------------------------------------------------------------

Vcl::TForm* StartModule(const QString& DLLName, const QString& ProcedureName,
                        const QString& FormClassName, const QStringList& Params) {
    const TFormClassTranslate t = Umigration::TranslateInto_mm_formclassnameEx(FormClassName);
    Vcl::TForm* result = nullptr;
    struct StatisticsOnExit {
        Vcl::TForm*& form;
        QString text;
        ~StatisticsOnExit() { Statistics(form, text); }
    } stats{result, DLLName + QLatin1Char(' ') + ProcedureName};

    static const QStringList alwaysNew{QStringLiteral("TFormArtikel"),
                                       QStringLiteral("TFormStueckL"), QStringLiteral("TFormAvor")};
    if (!t.Original.isEmpty() && !LoadOpenNewModule(t.Translated) &&
        !alwaysNew.contains(t.Translated, Qt::CaseInsensitive)) {
        TModulesEnumerator e(QStringList{t.Original});
        if (e.MoveNext()) {
            Vcl::TForm* form = e.GetCurrent();
            if (auto* sp = dynamic_cast<IVoskModuleStartParams*>(form))
                sp->SetModuleStartParams(Params);
            if (auto* sub = qobject_cast<QMdiSubWindow*>(form->parentWidget()))
                sub->show();
            form->show();
            TDM1::CursorHook(false);
            if (form->WindowState() == Vcl::wsMinimized &&
                Vcl::ClassName(form).compare(QLatin1String("TFormMyMaschines"),
                                             Qt::CaseInsensitive) == 0)
                form->SetWindowState(Vcl::wsNormal);
            else if (_MaxWindows && IsMdiChild(form))
                form->SetWindowState(Vcl::wsMaximized);
            else
                form->SetWindowState(Vcl::wsNormal);
            BringToFront(form);
            result = form;
            return result;
        }
    }
    QObject* made = Ukorvexinterface::StartLibraryProc(DLLName, ProcedureName, Params);
    if (made && !qobject_cast<Vcl::TForm*>(made)) {
        const QString cls = Vcl::ClassName(made);
        // Nobody else holds the object the procedure made: it goes before the error.
        if (!made->parent() && !Vcl::Owner(made))
            delete made;
        throw EVoskException(QStringLiteral("Ungültige Typumwandlung: %1 ist kein Formular (%2 %3)")
                                 .arg(cls, DLLName, ProcedureName));
    }
    result = qobject_cast<Vcl::TForm*>(made);
    return result;
}

namespace {

// Applies the start parameters by component name (see StartModuleByClass).
void ApplyParameters(Vcl::TForm* form, const QStringList& pairs) {
    const QString cls = Vcl::ClassName(form);
    const auto notFound = [&](const QString& name) {
        Log(QStringLiteral("Cannot Find Component in StartModuleByClass: ") + cls +
            QLatin1Char('.') + name);
    };
    const auto is = [](const QString& a, const char* b) {
        return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
    };
    bool NotToNext = false;
    QString lastName;
    const qsizetype n = pairs.size() / 2;
    for (qsizetype i = 0; i < n; ++i) {
        const QString name = pairs[2 * i];
        const QString value = pairs[2 * i + 1];
        if (i > 0 && !is(lastName, "SetFocus") && !is(lastName, "DisableControls"))
            UModulForm::SetFocusToNextControl(form);
        NotToNext = false;
        lastName = name;
        QObject* C = Vcl::FindComponent(form, name);
        if (is(name, "MakeF2")) {
            const QStringList parts = value.split(QLatin1Char(':'));
            auto* w = qobject_cast<QWidget*>(Vcl::FindComponent(form, parts.value(0)));
            if (w) {
                UModulForm::SetFocusAndMakeVisible(w);
                MakeF2Text(form, w, i + 1 < n, false, parts.value(1), QString(), QString(), {});
            } else {
                notFound(parts.value(0));
            }
        } else if (is(name, "DisableControls")) {
            for (const QString& entry : value.split(QLatin1Char(','))) {
                const QString e = entry.trimmed();
                if (e.isEmpty())
                    continue;
                if (auto* w = qobject_cast<QWidget*>(Vcl::FindComponent(form, e)))
                    w->setEnabled(false);
                else if (QObject* o = Vcl::FindComponent(form, e))
                    o->setProperty("Enabled", false);
                else
                    RaiseInformation(QStringLiteral("Komponente ") + e + QStringLiteral(" ist nicht in ") +
                                     cls + QStringLiteral(" vorhanden. (StartModuleByClass-DisableControls)"));
            }
        } else if (is(name, "SetFocus")) {
            if (auto* w = qobject_cast<QWidget*>(Vcl::FindComponent(form, value)))
                UModulForm::SetFocusAndMakeVisible(w);
            else
                notFound(value);
        } else if (C) {
            if (auto* db = qobject_cast<TVoskDBEdit*>(C)) {
                UModulForm::SetFocusAndMakeVisible(db);
                if (TVoskClass* data = db->DataClass()) {
                    if (!data->InEdit())
                        data->Edit();
                    data->FieldByName(db->DataField()).SetValue(value);
                }
                db->setText(value);
                db->setCursorPosition(int(value.size()));
                db->PostEditValue();
            } else if (auto* le = qobject_cast<QLineEdit*>(C)) {
                UModulForm::SetFocusAndMakeVisible(le);
                le->setText(value);
                le->setCursorPosition(int(value.size()));
                emit le->editingFinished();
            } else if (auto* cb = qobject_cast<QComboBox*>(C)) {
                UModulForm::SetFocusAndMakeVisible(cb);
                cb->setCurrentText(value);
            } else if (auto* de = qobject_cast<QDateEdit*>(C)) {
                UModulForm::SetFocusAndMakeVisible(de);
                de->setDate(QDate::fromString(value, QStringLiteral("dd.MM.yyyy")));
            } else {
                Log(QStringLiteral("unknown Class in StartModuleByClass: ") + Vcl::ClassName(C));
            }
        } else {
            bool served = false;
            for (auto* grid : Vcl::ComponentsOf<TVoskDBGrid2>(form)) {
                TVoskClass* data = grid->DataClass();
                if (!data || data->FieldIndex(name) < 0)
                    continue;
                UModulForm::SetFocusAndMakeVisible(grid);
                if (!data->Active())
                    continue;
                served = true;
                if (data->Locate(name, QVariant(value), true) && data->CurrentRow() >= 0) {
                    grid->selectRow(data->CurrentRow());
                    NotToNext = true;
                }
            }
            if (!served)
                notFound(name);
        }
    }
    if (n > 0 && !is(lastName, "SetFocus") && !is(lastName, "MakeF2") &&
        !is(lastName, "DisableControls") && !NotToNext)
        UModulForm::SetFocusToNextControl(form);
}

QString RightsText() { return makeText(6338, QStringLiteral("keine Berechtigung")); }

} // namespace

Vcl::TForm* StartModuleByClass(const QString& FormClassName, const QStringList& _FieldValues,
                               bool OpenNewModule, QWidget* vorigesModul) {
    if (!vorigesModul)
        vorigesModul = qobject_cast<TFormKorvexGundForm*>(Vcl::Screen::ActiveForm());
    QPointer<QWidget> previous = vorigesModul;
    // The cursor comes back on every way out, the project stamp included.
    struct CursorGuard {
        CursorGuard() { TDM1::CursorHook(true); }
        ~CursorGuard() { TDM1::CursorHook(false); }
    } cursor;
    const TFormClassTranslate t = Umigration::TranslateInto_mm_formclassnameEx(FormClassName);

    if (t.Original.compare(QLatin1String("TFormBDE__bdea__stemp__project"), Qt::CaseInsensitive) ==
        0) {
        if (_FieldValues.size() != 4)
            RaiseCriticalError(QStringLiteral(
                "StartModuleByClass: Parameter 'a2_ab_ix' or/and 'a2_n' not found"));
        if (DoABKProjStemp)
            DoABKProjStemp(vorigesModul, _FieldValues[1].toInt(), _FieldValues[3].toInt(), 0, 0);
        return nullptr;
    }

    const bool OldValue = LoadOpenNewModule(t.Translated);
    if (!MainMenuSqlClass)
        throw EVoskException(QStringLiteral("StartModule: MainMenuSqlClass not set"));
    std::unique_ptr<TVoskMainMenuSqlBase> menu(MainMenuSqlClass());
    const bool admin = IsAdmin();
    if (!menu->SearchMenu(QString(), t.Translated, false, admin, false, true, mmfAll) &&
        !menu->SearchMenu(QString(), t.Original, false, admin, false, true, mmfAll))
        throw EVoskException(QStringLiteral("StartModule: %1 does not exists").arg(t.ForErrorMessages));
    if (menu->AsBoolean(QStringLiteral("mm_hidden")) && !admin)
        throw EUserRights(QStringLiteral("StartModul %1 (mm_id=%2): %3")
                              .arg(t.ForErrorMessages)
                              .arg(menu->AsInteger(QStringLiteral("mm_id")))
                              .arg(RightsText()));

    Vcl::TForm* form = nullptr;
    const int action = menu->AsInteger(QStringLiteral("mm_action"));
    if (action == 4 || action == 7) {
        if (!_FieldValues.isEmpty())
            throw EVoskException(
                QStringLiteral("StartModuleByClass: %1 ist eine Bearbeitungstabelle und nimmt keine "
                               "Parameter an")
                    .arg(t.ForErrorMessages));
        TEditTableFlags flags;
        flags.ReadOnly = (menu->AsBoolean(QStringLiteral("mm_readonly")) || action == 7) && !admin;
        form = MakeEditTable(nullptr, QString::number(menu->AsInteger(QStringLiteral("mm_id"))),
                             menu->AsString(QStringLiteral("mm_text")),
                             menu->AsString(QStringLiteral("mm_proc")),
                             menu->AsString(QStringLiteral("mm_sql")),
                             {QStringLiteral("ShortHelpTxtNr=") + menu->AsString(QStringLiteral("mm_shorthlptxtnr")),
                              QStringLiteral("CONFIG=") + menu->AsString(QStringLiteral("mm_config")),
                              QStringLiteral("MACRO=") + menu->AsString(QStringLiteral("mm_macro"))},
                             {}, {}, &flags);
    } else {
        const QString library = menu->AsString(QStringLiteral("mm_library"));
        const QString proc = menu->AsString(QStringLiteral("mm_proc"));
        if (menu->IsEmpty() || action != 0 || library.isEmpty() || proc.isEmpty())
            RaiseCriticalError(QStringLiteral("StartModul: ") + t.ForErrorMessages +
                               QStringLiteral(" not found (mm_formclassname)"));
        const bool readOnlyRow = menu->AsBoolean(QStringLiteral("mm_readonly"));
        const bool setNew = OpenNewModule && !OldValue;
        QPointer<TFormKorvexGundForm> base;
        // Puts back the preference and FLoading whatever happens from here on.
        struct Closing {
            bool setNew;
            const TFormClassTranslate& t;
            bool old;
            QPointer<TFormKorvexGundForm>& base;
            ~Closing() {
                if (base)
                    base->FLoading = false;
                if (setNew)
                    SaveOpenNewModule(t.Translated, old);
            }
        } closing{setNew, t, OldValue, base};
        if (setNew)
            SaveOpenNewModule(t.Translated, true);
        form = StartModule(library, proc, t.Original,
                           Ukorvexinterface::ParameterArrayToStringList(_FieldValues));
        base = qobject_cast<TFormKorvexGundForm*>(form);
        if (base)
            base->FLoading = true;
        if (!form)
            RaiseCriticalError(QStringLiteral("Modul ") + t.ForErrorMessages +
                               QStringLiteral(" konnte nicht geöffnet werden"));
        QPointer<Vcl::TForm> made = form;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        // The pumped events may have closed and freed the new window.
        if (!made)
            return nullptr;
        auto* modul = qobject_cast<TModulForm*>(form);
        if (readOnlyRow && modul && !admin)
            modul->SetFormReadOnly();
        if (modul && modul->TopLabel)
            if (TQ32Control* q32 = TQ32Control::Of(modul->TopLabel->FDataSource())) {
                try {
                    q32->MainCtrlFocus();
                } catch (const std::exception& e) {
                    if (TDM1* dm = DM1())
                        dm->LogEvent(QStringLiteral("StartModuleByClass>Q32Control.MainCtrlFocus"),
                                     &e);
                }
            }
        ApplyParameters(form, _FieldValues);
    }
    menu.reset();

    if (form && previous && qobject_cast<TFormKorvexGundForm*>(previous.data()) &&
        !IsMdiChild(previous) && IsMdiChild(form) &&
        UModulForm::PreviousModuleCovered(UModulForm::GlobalFrameRect(previous),
                                          UModulForm::GlobalFrameRect(form)))
        static_cast<TFormKorvexGundForm*>(previous.data())->SetWindowState(Vcl::wsMinimized);
    return form;
}

Vcl::TForm* StartModuleByClassList(const QString& FormClassName, const QStringList& nameValueLines,
                                   bool OpenNewModule, QWidget* vorigesModul) {
    QStringList pairs;
    for (const QString& l : nameValueLines)
        pairs << NameOf(l) << ValueOf(l);
    return StartModuleByClass(FormClassName, pairs, OpenNewModule, vorigesModul);
}

Vcl::TForm* CreateOrGetModule(const QMetaObject* formClass, const TFormFactory& create,
                              const QString& ParamName, const QString& ParamValue,
                              const QString& OpenClassName, bool OnlyIfVisible,
                              bool IgnoreOpenNewModule) {
    Vcl::TForm* form = FindModule(formClass, ParamName, ParamValue, OnlyIfVisible);
    const QString key = Umigration::TranslateInto_mm_formclassname(
        OpenClassName.isEmpty() ? QString::fromLatin1(formClass->className()) : OpenClassName);
    if (form && LoadOpenNewModule(key) && !IgnoreOpenNewModule)
        form = nullptr;
    if (!form) {
        const TDM1::TLogBatch logBatch(DM1());
        form = create();
        // A new instance goes on screen the way every module does: docked into the MDI area
        // when its style says so.
        if (auto* modul = qobject_cast<TModulForm*>(form))
            UModulForm::ShowModulForm(modul);
        else if (form)
            form->show();
    }
    if (!form)
        return nullptr;
    Statistics(form, QString());
    auto* base = qobject_cast<TFormKorvexGundForm*>(form);
    if (base && base->IsMdiChild()) {
        QWidget* main = Vcl::Screen::MainForm();
        TModulesEnumerator e = TModulesEnumerator::CreateMask(QStringLiteral("Undocked"), true);
        while (main && e.MoveNext()) {
            Vcl::TForm* u = e.GetCurrent();
            if (u->isVisible() && u->frameGeometry().intersects(main->frameGeometry()))
                u->SetWindowState(Vcl::wsMinimized);
        }
    }
    if (form->WindowState() == Vcl::wsMinimized)
        form->SetWindowState(Vcl::wsNormal);
    BringToFront(form);
    return form;
}

void StartModuleCycleManagement(const QString& cyc_src_key, const QString& cyc_src_dbrid,
                                const QString& caption) {
    TKorvexLog::Statistics(QStringLiteral("ModulForm"), nullptr, QString(),
                           QStringLiteral("SSYSTEM.M ONECYCLE"), QStringLiteral("TFormOneCycle"),
                           QString());
    CloseModule(QStringLiteral("TFormOneCycle"), false);
    Ukorvexinterface::StartLibraryProc(QStringLiteral("SSYSTEM.M"), QStringLiteral("ONECYCLE"),
                                       {QStringLiteral("cyc_src_key"), cyc_src_key,
                                        QStringLiteral("cyc_src_dbrid"), cyc_src_dbrid,
                                        QStringLiteral("caption"), caption});
}

// ---- find, close -----------------------------------------------------------------------------

namespace {
Vcl::TForm* FindIn(TModulesEnumerator e, const QString& ParamName, const QString& ParamValue,
                   bool OnlyIfVisible) {
    while (e.MoveNext()) {
        Vcl::TForm* f = e.GetCurrent();
        if (!ParamName.isEmpty()) {
            auto* q = qobject_cast<TQ32GrundForm*>(f);
            if (!q || q->GetParameterStr(ParamName).compare(ParamValue, Qt::CaseInsensitive) != 0)
                continue;
        }
        if (!OnlyIfVisible || f->isVisible())
            return f;
    }
    return nullptr;
}
QList<Vcl::TForm*> All(TModulesEnumerator e) {
    QList<Vcl::TForm*> r;
    while (e.MoveNext())
        r << e.GetCurrent();
    return r;
}
} // namespace

Vcl::TForm* FindModule(const QMetaObject* formClass, const QString& ParamName,
                       const QString& ParamValue, bool OnlyIfVisible) {
    return FindIn(TModulesEnumerator(QList<const QMetaObject*>{formClass}), ParamName, ParamValue,
                  OnlyIfVisible);
}
Vcl::TForm* FindModule(const QString& formClassName, const QString& ParamName,
                       const QString& ParamValue, bool OnlyIfVisible) {
    return FindIn(TModulesEnumerator(QStringList{formClassName}), ParamName, ParamValue,
                  OnlyIfVisible);
}
Vcl::TForm* FindModule(const QMetaObject* formClass, bool OnlyIfVisible) {
    return FindModule(formClass, QString(), QString(), OnlyIfVisible);
}
Vcl::TForm* FindModule(const QString& formClassName, bool OnlyIfVisible) {
    return FindModule(formClassName, QString(), QString(), OnlyIfVisible);
}
Vcl::TForm* FindModuleByModulName(const QString& formClassName, const QString& modulName,
                                  bool /*OnlyIfVisible*/) {
    TModulesEnumerator e(QStringList{formClassName});
    while (e.MoveNext())
        if (e.GetCurrent()->objectName() == modulName)
            return e.GetCurrent();
    return nullptr;
}
QList<Vcl::TForm*> FindModules(const QMetaObject* formClass) {
    return All(TModulesEnumerator(QList<const QMetaObject*>{formClass}));
}
QList<Vcl::TForm*> FindModules(const QString& formClassName) {
    return All(TModulesEnumerator(QStringList{formClassName}));
}
QList<Vcl::TForm*> FindModules(const QStringList& formClassNames) {
    return All(TModulesEnumerator(formClassNames));
}

void CloseModule(const QMetaObject* formClass, bool Immediately) {
    TModulesEnumerator e(QList<const QMetaObject*>{formClass});
    while (e.MoveNext()) {
        QPointer<Vcl::TForm> form = e.GetCurrent();
        Log(QStringLiteral("CloseModule-Application.ProcessMessages: Start (Done follows next line if iO)"));
        if (Immediately || QCoreApplication::closingDown()) {
            TLinkComponent watcher(form);
            QPointer<QWidget> frame = form->Frame();
            form->Close();
            QApplication::processEvents();
            if (watcher.Link()) {
                delete form.data();
                if (frame && frame != form)
                    delete frame.data();
            }
        } else {
            form->Close();
        }
        QApplication::processEvents();
        Log(QStringLiteral("CloseModule-Application.ProcessMessages: Done"));
    }
}
void CloseModule(const QList<const QMetaObject*>& formClasses, bool Immediately) {
    for (const QMetaObject* m : formClasses)
        CloseModule(m, Immediately);
}
void CloseModule(const QString& formClassName, bool Immediately) {
    CloseModule(QStringList{formClassName}, Immediately);
}
void CloseModule(const QStringList& formClassNames, bool Immediately) {
    TModulesEnumerator e(formClassNames);
    while (e.MoveNext())
        CloseModule(e.GetCurrent()->metaObject(), Immediately);
}

// ---- lookup ----------------------------------------------------------------------------------

TMakeF2Event TF2Result::GetEvent(int index) const {
    if (!F2Form)
        return {};
    switch (index) {
    case 1: return F2Form->FOnBeforeOK;
    case 2: return F2Form->FOnOK;
    case 3: return F2Form->FOnCancel;
    default: return {};
    }
}
void TF2Result::SetEvent(int index, TMakeF2Event event) {
    if (!F2Form)
        return;
    switch (index) {
    case 1: F2Form->FOnBeforeOK = std::move(event); break;
    case 2: F2Form->FOnOK = std::move(event); break;
    case 3: F2Form->FOnCancel = std::move(event); break;
    default: break;
    }
}
TKorvexF2EditForm* TF2Result::GetF2EditForm() {
    return qobject_cast<TKorvexF2EditForm*>(FindModule(QStringLiteral("TF2EditForm"), true));
}

TKorvexF2Form::TKorvexF2Form(QObject* owner, QWidget* parent) : TVoskBaseForm(owner, parent) {
    OnClose = [this](QObject*, Vcl::TCloseAction& action) { action = CloseF2FormAction; };
}

void TKorvexF2Form::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_F2 && focusWidget()) {
        MakeF2(this, this, false, false, QString(), QStringList(), QString(), {});
        e->accept();
        return;
    }
    TVoskBaseForm::keyPressEvent(e);
}

TF2Result MakeF2(QWidget* module, QObject* field, bool ShowModal, bool MultiSelect,
                 const QString& AutoCallPos, const QStringList& AdditionalParams,
                 const QString& F2Filter, TMakeF2Event OnBeforeOK) {
    if (!MakeF2Proc)
        MakeF2Proc = Ukorvexinterface::LoadLibraryAndProc<void(
            TF2Result&, QWidget*, QObject*, std::unique_ptr<QStringList>, TMakeF2Event)>(
            QStringLiteral("F2.M"), QStringLiteral("MakeF2Proc"));
    auto list = std::make_unique<QStringList>();
    if (ShowModal)
        SetLine(*list, QStringLiteral("ShowModal"), Bool(true));
    if (MultiSelect)
        SetLine(*list, QStringLiteral("MultiSelect"), Bool(true));
    if (!AutoCallPos.isEmpty())
        SetLine(*list, QStringLiteral("AutoCallPos"), AutoCallPos);
    if (!F2Filter.isEmpty())
        SetLine(*list, QStringLiteral("F2Filter"), F2Filter);
    // The callback itself travels beside the list; the line only says that there is one.
    if (OnBeforeOK)
        SetLine(*list, QStringLiteral("OnBeforeOK"), Bool(true));
    for (const QString& l : AdditionalParams) {
        // A caller's line replaces the standard one and comes after the standard lines.
        list->erase(std::remove_if(list->begin(), list->end(),
                                   [&](const QString& x) {
                                       return NameOf(x).compare(NameOf(l), Qt::CaseInsensitive) == 0;
                                   }),
                    list->end());
        *list << l;
    }
    TF2Result result;
    TMakeF2Proc proc = MakeF2Proc;
    proc(result, module, field, std::move(list), std::move(OnBeforeOK));
    return result;
}
QObject* TF2Result::GetF2RckFields() const {
    if (auto* data = qobject_cast<TVoskClass*>(_F2RckFields.data()); data && !data->Active())
        data->Open();
    return _F2RckFields;
}

TF2Result MakeF2Text(QWidget* module, QObject* field, bool ShowModal, bool MultiSelect,
                     const QString& AutoCallPos, const QString& AdditionalParams,
                     const QString& F2Filter, TMakeF2Event OnBeforeOK) {
    QString text = AdditionalParams;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // Empty lines are lines too; only the break that ends the text starts none.
    QStringList lines = text.split(QRegularExpression(QStringLiteral("[\r\n]")));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return MakeF2(module, field, ShowModal, MultiSelect, AutoCallPos, lines, F2Filter,
                  std::move(OnBeforeOK));
}
TF2Result MakeF2Array(QWidget* module, QObject* field, bool ShowModal, bool MultiSelect,
                      const QString& AutoCallPos, const QStringList& AdditionalPairs,
                      const QString& F2Filter, TMakeF2Event OnBeforeOK) {
    return MakeF2(module, field, ShowModal, MultiSelect, AutoCallPos,
                  Ukorvexinterface::ParameterArrayToStringList(AdditionalPairs), F2Filter,
                  std::move(OnBeforeOK));
}

// ---- edit table ------------------------------------------------------------------------------

Vcl::TForm* MakeEditTable(QWidget* ownerForm, const QString& ModulID, const QString& Caption,
                          const QString& RTF, const QString& SQL, const QStringList& additional,
                          const TDataEvent& OnUpdateUI, const TNotifyEvent& AfterInsert,
                          const TEditTableFlags* flags, const TEditTablePosition* position) {
    QStringList list;
    if (flags) {
        SetLine(list, QStringLiteral("SmallMenu"), Bool(flags->SmallMenu));
        SetLine(list, QStringLiteral("HideAllStatus"), Bool(flags->NoStatus));
        SetLine(list, QStringLiteral("NoEdit"), Bool(flags->ReadOnly));
        SetLine(list, QStringLiteral("MultiSelect"), Bool(flags->MultiSelect));
    }
    if (position) {
        SetLine(list, QStringLiteral("ModulPositionNoSave"), Bool(true));
        SetLine(list, QStringLiteral("ModulPositionTop"), QString::number(position->Top));
        SetLine(list, QStringLiteral("ModulPositionLeft"), QString::number(position->Left));
        SetLine(list, QStringLiteral("ModulPositionWidth"), QString::number(position->Width));
        SetLine(list, QStringLiteral("ModulPositionHeight"), QString::number(position->Height));
    }
    AddLines(list, additional);
    if (auto* owner = qobject_cast<Vcl::TForm*>(ownerForm)) {
        // The owner by its screen serial, which resolves to nothing once the form is gone.
        SetLine(list, QStringLiteral("ModulOwner"), QString::number(owner->Serial()));
        SetLine(list, QStringLiteral("ModulPopupParent"), QString::number(owner->Serial()));
    }
    SetLine(list, QStringLiteral("MMID"), ModulID);
    SetLine(list, QStringLiteral("CAPTION"), makeText(Caption, QStringLiteral("*")));
    SetLine(list, QStringLiteral("RTF"), RTF);
    SetLine(list, QStringLiteral("SQL"), SQL);
    QObject* made = Ukorvexinterface::StartLibraryProc(QStringLiteral("SSystem.M"),
                                                       QStringLiteral("EditTable"), list);
    auto* form = qobject_cast<Vcl::TForm*>(made);
    if (made && !form) {
        const QString cls = Vcl::ClassName(made);
        if (!made->parent() && !Vcl::Owner(made))
            delete made;
        throw EVoskException(QStringLiteral("MakeEditTable: %1 ist kein Formular").arg(cls));
    }
    if (auto* et = dynamic_cast<IEditTableForm*>(form)) {
        et->SetOnUpdateUI(OnUpdateUI);
        et->SetAfterInsert(AfterInsert);
        if (QVariant(GetLine(list, QStringLiteral("MultiSelect"))).toBool())
            et->SetMultiSelect();
    }
    return form;
}

TEditTablePosition EditTablePositionBelow(const QWidget* CPos, int Width, int Height) {
    const QPoint p = CPos->mapToGlobal(QPoint(-10, CPos->height() + 2));
    return TEditTablePosition{p.x(), p.y(), Width, Height};
}

namespace {
enum class RowKind { ByClass, ById, FindByName };

Vcl::TForm* EditTableFromRow(RowKind kind, const QString& cls, int id,
                             const QStringList& additional, const TDataEvent& OnUpdateUI) {
    if (!MainMenuSqlClass)
        throw EVoskException(QStringLiteral("MakeEditTable: MainMenuSqlClass not set"));
    std::unique_ptr<TVoskMainMenuSqlBase> menu(MainMenuSqlClass());
    const bool admin = IsAdmin();
    bool found = false;
    if (kind == RowKind::ById) {
        found = menu->SearchMenu(QString::number(id), QString(), false, admin, false, true, mmfAll);
    } else {
        const TFormClassTranslate t = Umigration::TranslateInto_mm_formclassnameEx(cls);
        found = menu->SearchMenu(QString(), t.Translated, false, admin, false, true, mmfAll) ||
                menu->SearchMenu(QString(), t.Original, false, admin, false, true, mmfAll);
    }
    if (!found)
        throw EVoskException(kind == RowKind::ByClass
                                 ? QStringLiteral("MakeEditTable: Table %1 does not exists").arg(cls)
                             : kind == RowKind::ById
                                 ? QStringLiteral("MakeEditTable: Table mm_id=%1 does not exists").arg(id)
                                 : QStringLiteral("MakeEditTable: %1 does not exists").arg(cls));
    const int mmId = menu->AsInteger(QStringLiteral("mm_id"));
    if (menu->AsBoolean(QStringLiteral("mm_hidden")) && !admin)
        throw EUserRights(kind == RowKind::ById
                              ? QStringLiteral("MakeEditTable mm_id=%1: %2").arg(mmId).arg(RightsText())
                              : QStringLiteral("MakeEditTable %1 (mm_id=%2): %3")
                                    .arg(cls).arg(mmId).arg(RightsText()));
    const int action = menu->AsInteger(QStringLiteral("mm_action"));
    if (action != 4 && action != 7)
        throw EVoskException(
            kind == RowKind::ByClass
                ? QStringLiteral("MakeEditTable: Table %1 (mm_id=%2) is not an EditTable").arg(cls).arg(mmId)
            : kind == RowKind::ById
                ? QStringLiteral("MakeEditTable: mm_id=%1 is not an EditTable").arg(mmId)
                : QStringLiteral("MakeEditTable: %1 (mm_id=%2) is not an EditTable").arg(cls).arg(mmId));
    if (kind == RowKind::FindByName) {
        menu.reset();
        return FindOrLoadEditTable(mmId);
    }
    TEditTableFlags flags;
    flags.ReadOnly = (menu->AsBoolean(QStringLiteral("mm_readonly")) || action == 7) && !admin;
    QStringList lines{
        QStringLiteral("ShortHelpTxtNr=") + menu->AsString(QStringLiteral("mm_shorthlptxtnr")),
        QStringLiteral("CONFIG=") + menu->AsString(QStringLiteral("mm_config")),
        QStringLiteral("MACRO=") + menu->AsString(QStringLiteral("mm_macro"))};
    AddLines(lines, additional);
    return MakeEditTable(nullptr, QString::number(mmId), menu->AsString(QStringLiteral("mm_text")),
                         menu->AsString(QStringLiteral("mm_proc")),
                         menu->AsString(QStringLiteral("mm_sql")), lines, OnUpdateUI, {}, &flags);
}
} // namespace

Vcl::TForm* MakeEditTableByClass(const QString& mm_formclassname, const TDataEvent& OnUpdateUI) {
    return EditTableFromRow(RowKind::ByClass, mm_formclassname, 0, {}, OnUpdateUI);
}
Vcl::TForm* MakeEditTableById(int mm_id, const QStringList& additional,
                              const TDataEvent& OnUpdateUI) {
    return EditTableFromRow(RowKind::ById, QString(), mm_id, additional, OnUpdateUI);
}
Vcl::TForm* FindOrLoadEditTable(int mm_id) {
    TModulesEnumerator e(QStringList{QStringLiteral("TFormEditTable")});
    while (e.MoveNext()) {
        auto* f = qobject_cast<TQ32GrundForm*>(e.GetCurrent());
        if (!f || f->GetParameterStr(QStringLiteral("EditTable_MMID")) != QString::number(mm_id))
            continue;
        f->SetWindowState(Vcl::wsNormal);
        BringToFront(f);
        if (auto* et = dynamic_cast<IEditTableForm*>(f))
            if (TVoskClass* data = et->ServSqlEditTable(); data && data->Active())
                data->Refresh();
        return f;
    }
    // Started through the id form, rights check included: without it an id would open a hidden
    // row's table to a user whom its class name refuses.
    return MakeEditTableById(mm_id);
}
Vcl::TForm* FindOrLoadEditTable(const QString& mm_formclassname) {
    return EditTableFromRow(RowKind::FindByName, mm_formclassname, 0, {}, {});
}

// ---- runtime form ----------------------------------------------------------------------------

namespace {
TExecRTFResult RunExecRtf(QStringList& params, QWidget* ownerForm) {
    if (!ExecRtfProc)
        ExecRtfProc =
            Ukorvexinterface::LoadLibraryAndProc<void(TExecRTFResult&, QStringList&, QWidget*)>(
                QStringLiteral("FormDesigner.M"), QStringLiteral("ExecuteRTF"));
    TExecRTFResult result;
    TExecRTFProc proc = ExecRtfProc;
    proc(result, params, ownerForm);
    return result;
}
} // namespace

void ExecuteRTF(int RTFNr, QStringList*& Params, bool ExecResultInQuery, QWidget* OwnerForm,
                bool FillEditsWithParamValues) {
    std::unique_ptr<QStringList> list(Params ? Params : new QStringList);
    Params = nullptr;
    SetLine(*list, QStringLiteral("rtfnr"), QString::number(RTFNr));
    SetLine(*list, QStringLiteral("AutoParams"), Bool(ExecResultInQuery));
    SetLine(*list, QStringLiteral("PREFILL"), Bool(FillEditsWithParamValues));
    RunExecRtf(*list, OwnerForm);
}
TExecRTFResult ExecuteRTFEx(int RTFNr, const QStringList& params, QWidget* OwnerForm) {
    QStringList list = params;
    SetLine(list, QStringLiteral("rtfnr"), QString::number(RTFNr));
    SetLine(list, QStringLiteral("AutoParams"), Bool(false));
    SetLine(list, QStringLiteral("PREFILL"), Bool(false));
    return RunExecRtf(list, OwnerForm);
}
void ExecuteRTF(int RTFNr, const QStringList& pairs, bool ExecResultInQuery, QWidget* OwnerForm,
                bool FillEditsWithParamValues) {
    auto* list = new QStringList(Ukorvexinterface::ParameterArrayToStringList(pairs));
    ExecuteRTF(RTFNr, list, ExecResultInQuery, OwnerForm, FillEditsWithParamValues);
}
void ExecuteRTF(int RTFNr, QWidget* OwnerForm, bool OkMessageBox) {
    ExecuteRTF(RTFNr, QStringList{QStringLiteral("NoOkMsgBox"), Bool(!OkMessageBox)}, false,
               OwnerForm, false);
}

// ---- print -----------------------------------------------------------------------------------

namespace {
bool _PrintInt(QWidget* ownerForm, const QString& modulName, const QString& r_pos, bool AutoPrint,
               bool NoAfterRTF, QStringList* Params, bool NoPrintPreview,
               bool ShowPrinterSelection, QWidget* viewParent, const TPrintEvent& toEvent = {}) {
    const QString modul = modulName.isEmpty()
                              ? Korvexutils::FindModulName(ownerForm)
                              : Umigration::TranslateInto_mm_formclassname(modulName);
    const auto run = [&] {
        if (!PrintProc)
            PrintProc = Ukorvexinterface::LoadLibraryAndProc<bool(
                QWidget*, const QString&, const QString&, bool, bool, bool, bool, QStringList&,
                QWidget*, const TPrintEvent&)>(QStringLiteral("Report.M"),
                                                QStringLiteral("PrintReport"));
        std::optional<QStringList> own;
        QStringList& list = Params ? *Params : own.emplace();
        if (!r_pos.isEmpty() && r_pos != QLatin1String("1") &&
            !QVariant(GetLine(list, QStringLiteral("RPos_is_RepID"))).toBool())
            SetLine(list, QStringLiteral("DoNotSaveLastPosition"), Bool(true));
        TPrintProc proc = PrintProc;
        return proc(ownerForm, modul, r_pos, AutoPrint, NoAfterRTF, NoPrintPreview,
                    ShowPrinterSelection, list, viewParent, toEvent);
    };
    if (!(AutoPrint && NoPrintPreview))
        return run();
    try {
        return run();
    } catch (const EAbort&) {
        return false;
    } catch (const std::exception& e) {
        const QString title = makeText(3006, QStringLiteral("Fehler beim Drucken"));
        const QString message = Rtl::ExceptionMessage(std::current_exception());
        if (DM1())
            DM1()->LogEvent(title + QStringLiteral(": ") + message + QLatin1Char('\n'), &e, true);
        Vcl::TQuestion q;
        q.kind = Vcl::mtError;
        q.caption = title;
        q.text = message;
        q.buttons = Vcl::mbOK;
        Vcl::Dialogs::Instance().Ask(q);
        return false;
    }
}
} // namespace

bool Print(QWidget* ownerForm, const QString& ModulName_Empty_Is_Default, const QString& r_pos,
           bool AutoPrint, bool NoAfterRTF, QStringList* Params, bool NoPrintPreview,
           bool ShowPrinterSelection) {
    return _PrintInt(ownerForm, ModulName_Empty_Is_Default, r_pos, AutoPrint, NoAfterRTF, Params,
                     NoPrintPreview, ShowPrinterSelection, nullptr);
}
bool PrintArray(QWidget* ownerForm, const QString& ModulName_Empty_Is_Default,
                const QString& r_pos, bool AutoPrint, bool NoAfterRTF, const QStringList& pairs,
                bool NoPrintPreview, bool ShowPrinterSelection) {
    QStringList list;
    AddLines(list, Ukorvexinterface::ParameterArrayToStringList(pairs));
    return _PrintInt(ownerForm, ModulName_Empty_Is_Default, r_pos, AutoPrint, NoAfterRTF, &list,
                     NoPrintPreview, ShowPrinterSelection, nullptr);
}
bool Print(QWidget* ownerForm, const QString& modulName, const QString& r_pos, bool AutoPrint) {
    return _PrintInt(ownerForm, modulName, r_pos, AutoPrint, false, nullptr, false, false, nullptr);
}
bool PrintToView(QWidget* ownerForm, const QString& modulName, const QString& r_pos,
                 const QStringList& pairs, QWidget* ViewParent) {
    QStringList list;
    AddLines(list, Ukorvexinterface::ParameterArrayToStringList(pairs));
    return _PrintInt(ownerForm, modulName, r_pos, false, true, &list, false, false, ViewParent);
}
bool PrintToImage(QWidget* ownerForm, const QString& modulName, const QString& r_pos,
                  const QStringList& pairs) {
    QStringList list;
    AddLines(list, Ukorvexinterface::ParameterArrayToStringList(pairs));
    SetLine(list, QStringLiteral("ExportToBMP"), Bool(true));
    return _PrintInt(ownerForm, modulName, r_pos, true, true, &list, true, false, nullptr);
}
bool PrintToEvent(QWidget* ownerForm, const QString& modulName, const QString& r_pos,
                  bool AutoPrint, const QStringList& pairs, const TPrintEvent& Proc) {
    QStringList list;
    AddLines(list, Ukorvexinterface::ParameterArrayToStringList(pairs));
    return _PrintInt(ownerForm, modulName, r_pos, AutoPrint, true, &list, true, false, nullptr,
                     Proc);
}
bool PrintZDok(QWidget* ownerForm, const QString& modulName, const QString& rl_id, bool AutoPrint,
               bool NoAfterRTF, const QStringList& pairs, bool NoPrintPreview,
               bool ShowPrinterSelection) {
    const bool zdok = DM1() && DM1()->GetBoolSetting(QStringLiteral("Zdok.Active"), false);
    if (zdok && !rl_id.isEmpty())
        return PrintArray(ownerForm, modulName, rl_id, AutoPrint, NoAfterRTF,
                          pairs + QStringList{QStringLiteral("RPos_is_RepID"), Bool(true),
                                              QStringLiteral("DoNotSaveLastPosition"), Bool(true)},
                          NoPrintPreview, ShowPrinterSelection);
    return PrintArray(ownerForm, modulName, QString(), AutoPrint, NoAfterRTF, pairs, NoPrintPreview,
                      ShowPrinterSelection);
}
void PrintGrid(TVoskDBGrid2* grid, const QString& Caption) {
    QStringList* list = nullptr;
    PrintGrid(grid, Caption, list);
}
void PrintGrid(TVoskDBGrid2* grid, const QString& Caption, QStringList*& Params) {
    std::unique_ptr<QStringList> list(Params ? Params : new QStringList);
    Params = nullptr;
    if (!PrintGridProc)
        PrintGridProc = Ukorvexinterface::LoadLibraryAndProc<void(TVoskDBGrid2*, QStringList&)>(
            QStringLiteral("ReportGrids.M"), QStringLiteral("PRINTGRID"));
    SetLine(*list, QStringLiteral("Report.Title"), Caption);
    TPrintGridProc proc = PrintGridProc;
    proc(grid, *list);
}

// ---- shortcuts -------------------------------------------------------------------------------

void LoadArt(const QString& ak_nr) {
    StartModuleByClass(QStringLiteral("TFormArtikel"), {QStringLiteral("ak_nr"), ak_nr}, false, nullptr);
}
void LoadAdk(const QString& ad_krz) {
    StartModuleByClass(QStringLiteral("TFormAdress"), {QStringLiteral("ad_krz"), ad_krz}, false, nullptr);
}
void LoadKS(const QString& ks_abt) {
    StartModuleByClass(QStringLiteral("TFormKostenstellen"), {QStringLiteral("ks_abt"), ks_abt}, false,
                       nullptr);
}
void RaiseNewArt(const QString& ak_nr) {
    if (!ak_nr.isEmpty() &&
        Korvexcommonvcl::RaiseQuestion(makeText(3890, QStringLiteral("Artikel nicht gefunden - neu anlegen?"))))
        LoadArt(ak_nr);
}
void RaiseNewAdk(const QString& ad_krz) {
    if (!ad_krz.isEmpty() &&
        Korvexcommonvcl::RaiseQuestion(makeText(2933, QStringLiteral("Adresse nicht gefunden - neu anlegen ?"))))
        LoadAdk(ad_krz);
}
void RaiseNewKS(const QString& ks_abt) {
    if (!ks_abt.isEmpty() &&
        Korvexcommonvcl::RaiseQuestion(makeText(2944, QStringLiteral("Kostenstelle nicht gefunden - neu anlegen"))))
        LoadKS(ks_abt);
}
bool RaiseNewRecord(QWidget* FocusToIfNo) {
    const bool yes = Korvexcommonvcl::RaiseQuestion(
        makeText(11257, QStringLiteral("Nicht gefunden - Neu erstellen?")), true,
        QStringLiteral("DEFAULT"), QStringLiteral("DEFAULT"));
    if (!yes && FocusToIfNo)
        UModulForm::SetFocusAndMakeVisible(FocusToIfNo);
    return yes;
}
void LoadBest(int ld_id) {
    Ukorvexinterface::StartLibraryProc(QStringLiteral("Einkauf.M"), QStringLiteral("EINKAUFNEU"),
                                       {QStringLiteral("ld_id"), QString::number(ld_id)});
}
void LoadBest(const QString& ld_code, const QString& ld_auftg, const QString& ld_pos) {
    Ukorvexinterface::StartLibraryProc(QStringLiteral("Einkauf.M"), QStringLiteral("EINKAUFNEU"),
                                       {QStringLiteral("ld_code"), ld_code, QStringLiteral("ld_auftg"),
                                        ld_auftg, QStringLiteral("ld_pos"), ld_pos});
}
void LoadAuftg(int ag_id) {
    Ukorvexinterface::StartLibraryProc(QStringLiteral("Auftrag.M"), QStringLiteral("AUFTRAGV"),
                                       QStringList{QStringLiteral("ag_id=") + QString::number(ag_id)});
}
QString UModulFormStart::FloatToStr(double v) {
    QString text = QString::number(v, 'g', 15);
    return text.replace(u'.', QLocale().decimalPoint());
}

void LOOKSTUECKL(const QString& ResID, bool Rm, bool OptArt, double Menge, const QString& Revision,
                 bool FertFields, double o7korrfakt, bool mitKalku) {
    const auto b = [](bool v) { return v ? QStringLiteral("-1") : QStringLiteral("0"); };
    const auto f = [](double v) { return UModulFormStart::FloatToStr(v); };
    Ukorvexinterface::StartLibraryProc(
        QStringLiteral("ARTIKEL.M"), QStringLiteral("LOOKSTUECKL"),
        QStringList{QStringLiteral("resid=") + ResID, QStringLiteral("rm=") + b(Rm),
                    QStringLiteral("optart=") + b(OptArt), QStringLiteral("menge=") + f(Menge),
                    QStringLiteral("revision=") + Revision, QStringLiteral("fertfields=") + b(FertFields),
                    QStringLiteral("op7fakt=") + f(o7korrfakt), QStringLiteral("mitKalku=") + b(mitKalku)});
}
void ABK_AusTerm(int Ix) {
    DM1()->ExecSQL(QStringLiteral("SELECT tplanterm.abk_austerm(:ix)"), {{QStringLiteral("ix"), Ix}});
}

// ---- focus and geometry ----------------------------------------------------------------------

void UModulForm::SetFocusAndMakeVisible(QWidget* control) {
    if (!control)
        return;
    for (QWidget* child = control, *p = control->parentWidget(); p;
         child = p, p = p->parentWidget()) {
        if (auto* stack = qobject_cast<QStackedWidget*>(p))
            stack->setCurrentWidget(child);
        if (p->isWindow())
            break;
    }
    control->setFocus(Qt::OtherFocusReason);
}

void UModulForm::SetFocusToNextControl(QWidget* form) {
    if (!form)
        return;
    QWidget* start = form->focusWidget() ? form->focusWidget() : form;
    for (QWidget* w = start->nextInFocusChain(); w && w != start; w = w->nextInFocusChain()) {
        if (w->window() != form->window() || !form->isAncestorOf(w))
            continue;
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(form) &&
            !w->focusProxy()) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

bool UModulForm::PreviousModuleCovered(const QRect& previousGlobal, const QRect& newGlobal) {
    return previousGlobal.adjusted(15, 15, -15, -15).intersects(newGlobal);
}

QRect UModulForm::GlobalFrameRect(const QWidget* form) {
    const QWidget* frame = form;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(form->parentWidget()))
        frame = sub;
    if (frame->isWindow())
        return frame->frameGeometry();
    // A child's geometry is in its parent's coordinates (the MDI viewport for a subwindow).
    return QRect(frame->parentWidget()->mapToGlobal(frame->pos()), frame->size());
}

// ---- unit ------------------------------------------------------------------------------------

namespace {
void UnitInit() {
    last_agid = 0;
    last_ldid = 0;
    Voskdbcontrols::DoStartModuleByClass.Set(
        [](const QString& cls, const QStringList& pairs, bool openNew, QWidget* previous) -> QWidget* {
            return StartModuleByClass(cls, pairs, openNew, previous);
        });
}
void UnitFini() { Voskdbcontrols::DoStartModuleByClass.Reset(); }
} // namespace

KORVEX_UNIT("hadrel", "UModulForm.Start", UnitInit, UnitFini);
