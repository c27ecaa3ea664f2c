// The header's special functions (caption-bar buttons and running one) and its module-settings
// button.

#include "TopLabel.h"

#include "DMSys.h"
#include "Korvexutils.h"
#include "TQ32Control.h"
#include "TSondFunc.h"
#include "TVoskMainMenuSql.h"
#include "UDM1.h"
#include "UModulForm.Start.h"
#include "Ukorvexinterface.h"
#include "Uloghelper.h"
#include "Vcl.Components.h"
#include "Vcl.Services.h"
#include "VoskControls.h"
#include "VoskDbErrors.h"

#include <EventGuard.h>
#include <VoskExceptions.h>

#include <QApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QToolButton>

namespace {

const char* const kSondFuncButton = "SondFuncButton";

QString SondFuncButtonsSql() {
    return QStringLiteral("SELECT\r\n  dbrid, sf_hinttxtnr, sf_txtnr, sf_imageIndex, sf_menuButton\r\n"
                          "FROM\r\n  sondfunc \r\nWHERE\r\n  sf_SqlTable=:table");
}

bool IsAdmin() { return CurrentRights().GetIsAdmin(); }

} // namespace

// ---- caption-bar buttons ---------------------------------------------------------------------

QList<TVoskButton2*> SondFuncButtonsOf(const QObject* owner) {
    QList<TVoskButton2*> result;
    for (TVoskButton2* b : Vcl::ComponentsOf<TVoskButton2>(owner))
        if (b->property(kSondFuncButton).toBool())
            result << b;
    return result;
}

bool LoadSondFuncButtons(QWidget* owner, QWidget* tools, const QString& table,
                         const std::function<void(TVoskButton2*)>& onClick) {
    // A second start of the form shows the buttons once.
    qDeleteAll(SondFuncButtonsOf(owner));
    TDM1* dm = DM1();
    if (table.isEmpty() || !dm || !dm->Connected())
        return false;
    TVoskQuery2* q = dm->GetQueryBySQL(SondFuncButtonsSql(), {{QStringLiteral("table"), table}});
    QWidget* panel = tools->parentWidget();
    auto* row = qobject_cast<QHBoxLayout*>(panel->layout());
    int at = row ? row->indexOf(tools) + 1 : -1;
    bool any = false;
    for (q->First(); !q->Eof(); q->Next()) {
        any = true;
        if (!q->FieldByName(QStringLiteral("sf_menuButton")).AsBoolean())
            continue;
        const qint64 id = q->FieldByName(QStringLiteral("dbrid")).AsLargeInt();
        const int txtNr = q->FieldByName(QStringLiteral("sf_txtnr")).AsInteger();
        const int hintNr = q->FieldByName(QStringLiteral("sf_hinttxtnr")).AsInteger();
        const int image = q->FieldByName(QStringLiteral("sf_imageIndex")).AsInteger();
        const QString caption = makeText(txtNr, QStringLiteral("Sonderfunktion"));
        const QString hint = hintNr ? makeText(hintNr, caption) : caption;
        auto* b = Vcl::Owned(owner, new TVoskButton2(panel), QStringLiteral("SondFunc%1").arg(id));
        b->setProperty(kSondFuncButton, true);
        b->setFocusPolicy(Qt::NoFocus);
        b->SetDataValue(id);
        b->setToolTip(hint);
        b->setAccessibleName(caption);
        const QIcon icon = image > 0 ? DMSys()->ImageListHot()->Icon(image) : QIcon();
        if (!icon.isNull()) {
            b->setIcon(icon);
            b->setFixedWidth(qMax(tools->sizeHint().width(), b->sizeHint().width()));
        } else {
            // Without a picture the button says what it does.
            b->setText(caption);
        }
        QObject::connect(b, &QToolButton::clicked, owner,
                         [b, onClick] { Rtl::Guarded([&] { onClick(b); }); });
        if (row)
            row->insertWidget(at++, b);
        b->setVisible(true);
    }
    return any;
}

QList<TVoskButton2*> TTopLabelFrame::SondFuncButtons() const { return SondFuncButtonsOf(this); }

void TTopLabelFrame::LoadSondFuncs() {
    LoadSondFuncButtons(this, bvBtTools, GetAlternativeTableName(GetCurrentClass()),
                        [this](TVoskButton2* b) { SondFuncClick(b); });
}

bool TTopLabelFrame::CheckCurrentClassSondFunc() {
    if (FDataSource() || ToolsPopup())
        return true;
    Vcl::TForm* form = GetParentForm();
    TDM1* dm = DM1();
    if (!form || !dm || !dm->Connected())
        return false;
    QList<TVoskClass*> classes;
    for (TVoskClass* c : Vcl::ComponentsOf<TVoskClass>(form))
        if (TQ32Control::Of(c))
            classes << c;
    for (TQ32Control* q : Vcl::ComponentsOf<TQ32Control>(form))
        if (q->VoskClass() && !classes.contains(q->VoskClass()))
            classes << q->VoskClass();
    TSondFunc sf;
    bool found = false;
    for (TVoskClass* c : classes) {
        const QString table = GetAlternativeTableName(c);
        if (table.isEmpty())
            continue;
        sf.AssignToSqlTable(table, Vcl::ClassName(form));
        found = sf.HasRecord();
        if (found)
            break;
    }
    sf.Close();
    return found;
}

// ---- running one -----------------------------------------------------------------------------

void TTopLabelFrame::SondFuncClick(QObject* sender) {
    QVariant id;
    if (auto* b = qobject_cast<TVoskButton2*>(sender))
        id = b->DataValue();
    else if (auto* m = qobject_cast<TVoskMenuItem*>(sender))
        id = m->DataValue();
    else
        throw EVoskException(QStringLiteral("TTopLabelFrame.SondFuncClick: unknown Sender:") +
                             (sender ? Vcl::ClassName(sender) : QStringLiteral("nil")));
    if (id.isNull() || id.toString().isEmpty())
        throw EVoskException(
            QStringLiteral("TTopLabelFrame.SondFuncClick: Sender has no DataValue (SondFuncId)"));

    TSondFunc sf;
    if (!sf.SearchDBRID(id.toLongLong()))
        Korvexutils::RaiseError(QStringLiteral("Die Sonderfunktion gibt es nicht mehr."));
    Vcl::TForm* form = GetParentForm();
    QPointer<QWidget> runtimeForm;
    if (sf.ReportNr() > 0) {
        Rtl::Assert(form != nullptr,
                    QStringLiteral("TTopLabelFrame.SondFuncClick: TModulForm benötigt, für ExecuteRTF"));
        const TExecRTFResult r = ExecuteRTFEx(sf.ReportNr(), sf.ConfigLines(), form);
        if (r.ModalResult != Vcl::mrOk)
            return;
        runtimeForm = r.RuntimeForm;
    } else {
        const int nr = sf.QuestionTxtNr();
        const QString question =
            nr ? makeText(nr, QStringLiteral("Sonderfunktion ausführen?"))
               : makeText(31256, QStringLiteral("Sonderfunktion ausführen?"));
        if (Korvexutils::RaiseQuestionEx(question, Vcl::mbYesNo, Vcl::mbNo) != Vcl::mrYes)
            return;
    }
    const QString sql = sf.Sql().trimmed();
    if (!sql.isEmpty()) {
        TVoskDatabase& db = DM1()->Database();
        TVoskQuery2 q(&db, sql);
        QStringList sources;
        if (runtimeForm)
            sources << Korvexutils::FillQueryParamsWithFormValues(q, runtimeForm,
                                                                   QStringLiteral("RuntimeForm"));
        // The run-time form's values win; the module fills what it left open.
        sources << Korvexutils::FillQueryParamsWithFormValues(q, form, QStringLiteral("OwnerModul"),
                                                               bool(runtimeForm));
        if (TKorvexLog::Enabled(3))
            TKorvexLog::LogMessage(
                QStringLiteral("FillQueryParamsWithFormValues TTopLabelFrame.SondFuncClick "
                               "(SondFuncExecute):\nRuntimeForm: %1\nOwnerModul: %2\n%3")
                    .arg(runtimeForm ? Vcl::ClassName(runtimeForm) : QStringLiteral("nil"),
                         form ? Vcl::ClassName(form) : QStringLiteral("nil"),
                         sources.join(QLatin1Char('\n'))),
                3);
        // The function's statements commit together or not at all.
        const bool own = !db.InTransaction();
        try {
            if (own)
                db.StartTransaction();
            q.ExecSQL();
            if (own)
                db.Commit();
        } catch (const std::exception& e) {
            if (own && db.InTransaction())
                db.Rollback();
            Vcl::Ask(Vcl::mtError, QStringLiteral("Fehler"),
                     QStringLiteral("Die Sonderfunktion konnte nicht ausgeführt werden. Es "
                                    "wurde nichts geändert."),
                     Vcl::mbOK, Vcl::mbNone, QString::fromUtf8(e.what()));
            throw EAbort();
        }
    }
    TVoskClass* current = GetCurrentClass();
    if (!current || !current->Active())
        return;
    // The refresh keeps the record; an "op_vi" value of the class survives it.
    QVariant opVi;
    const bool keepOpVi = Vcl::ClassNameIs(current, QStringLiteral("TAsk"));
    if (keepOpVi)
        opVi = current->property("op_vi");
    current->Refresh(false, true, 0);
    if (keepOpVi)
        current->setProperty("op_vi", opVi);
    if (auto* structure = dynamic_cast<IVoskProjStructure*>(current->_FrameProjStructure.data()))
        structure->ProjStructureRefresh(current);
}

// ---- module-settings button ------------------------------------------------------------------

TSettingsModul::TSettingsModul(QWidget* owner) : QObject(owner), m_owner(owner) {
    if (!owner || !(Vcl::InheritsFromName(owner, QStringLiteral("TTopLabelFrame")) ||
                    Vcl::InheritsFromName(owner, QStringLiteral("TFrameDBNav"))))
        throw Rtl::EAssertionFailed(QStringLiteral("Assertion fehlgeschlagen"));
}

QString TSettingsModul::SettingsName() const {
    const QWidget* form = nullptr;
    for (const QObject* o = Vcl::Owner(m_owner); o && !form; o = Vcl::Owner(o))
        if (qobject_cast<const Vcl::TForm*>(o))
            form = static_cast<const QWidget*>(o);
    if (!form)
        form = Vcl::ParentForm(m_owner);
    const QString cls = form ? Vcl::ClassName(form) : QString();
    if (Vcl::InheritsFromName(m_owner, QStringLiteral("TTopLabelFrame")))
        return cls;
    return cls + QLatin1Char('_') + m_owner->objectName();
}

bool TSettingsModul::SettingsExists() const {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        return false;
    // The installation's settings rows change with its configuration: read once per session (a
    // refresh of SettingsDyn reads them again).
    return !dm->GetQueryBySQL(QStringLiteral("SELECT TRUE \n  FROM SettingsDyn \nWHERE \n  NOT "
                                             "sd_deleted \n"
                                             "  AND LOWER(sd_type) = :type \n"
                                             "  AND TSystem.INI_GetValue(sd_config, :section, "
                                             ":modul) = :modulname \nLIMIT 1"),
                              {{QStringLiteral("type"), QStringLiteral("menuitem")},
                               {QStringLiteral("section"), QStringLiteral("modul_settings")},
                               {QStringLiteral("modul"), QStringLiteral("name")},
                               {QStringLiteral("modulname"), SettingsName()}})
                ->IsEmpty();
}

bool TSettingsModul::GetButtonVisible() const {
    return FOptionalPopup || IsAdmin() || SettingsExists();
}

void TSettingsModul::UpdateButton() {
    if (Vcl::IsDesigning(m_owner))
        return;
    const bool visible = GetButtonVisible();
    if (auto* b = qobject_cast<QWidget*>(Vcl::FindComponent(m_owner, QStringLiteral("BtSettingsModul"))))
        b->setVisible(visible);
    if (auto* bevel =
            qobject_cast<QWidget*>(Vcl::FindComponent(m_owner, QStringLiteral("bvSettingsModul"))))
        bevel->setVisible(visible);
}

void TSettingsModul::SetOptionalPopup(QMenu* popup) {
    FOptionalPopup = popup;
    UpdateButton();
}

void TSettingsModul::DoButtonClick(QObject* sender) {
    if (QApplication::keyboardModifiers() & Qt::ControlModifier) {
        Korvexutils::RaiseInformation(
            QStringLiteral("TSettingsModul:\nsd_config = %1\noder siehe "
                           "TopLabel/FrameDBNav._SettingsModul.OptionalPopup")
                .arg(SettingsName()));
        return;
    }
    const auto openSettings = [this] {
        Ukorvexinterface::StartLibraryProc(QStringLiteral("SSystem.M"),
                                           QStringLiteral("EINSTELLUNGENDYN"),
                                           {QStringLiteral("Modul"), SettingsName()});
    };
    if (!sender || qobject_cast<QAction*>(sender)) {
        openSettings();
        return;
    }
    bool showEinstellungenDyn = true;
    if (OnButtonClick)
        OnButtonClick(m_owner, showEinstellungenDyn);
    if (FOptionalPopup) {
        if (SettingsExists()) {
            if (!m_item) {
                FOptionalPopup->addSeparator();
                auto* item = new TVoskMenuItem(QStringLiteral("Modulspezifische Einstellungen"),
                                               FOptionalPopup);
                item->SetTextNr(26375);
                connect(item, &QAction::triggered, this,
                        [this, item] { Rtl::Guarded([&] { DoButtonClick(item); }); });
                FOptionalPopup->addAction(item);
                m_item = item;
            }
            m_item->setEnabled(showEinstellungenDyn);
        }
        auto* button = qobject_cast<QWidget*>(sender);
        FOptionalPopup->popup(button ? button->mapToGlobal(QPoint(0, button->height()))
                                     : QCursor::pos());
        return;
    }
    if (showEinstellungenDyn)
        openSettings();
}

void TSettingsModul::Assign(const QObject* source) {
    auto* other = qobject_cast<const TSettingsModul*>(source);
    if (!other)
        throw EConvertError(QStringLiteral("%1 kann nicht zu TSettingsModul zugewiesen werden")
                                .arg(source ? Vcl::ClassName(source) : QStringLiteral("nil")));
    SetOptionalPopup(other->OptionalPopup());
    OnButtonClick = other->OnButtonClick;
}
