// The module form's status bar (unit UModulForm): the timer that keeps its panels and buttons
// current for the record the header's data class stands on, the resubmission menu and dialog, and
// the buttons' handlers.

#include "UModulForm.h"

#include "MenuTree.h"
#include "UModulForm.Start.h"
#include "UModulFormSeams.h"
#include "USoftlink.h"

#include <Korvexutils.h>
#include <RtlDialog.h>
#include <TQ32Control.h>
#include <TRecNoClasses.h>
#include <TVoskClass.h>
#include <TVoskPopupMenu.h>
#include <TVoskSpeedButton.h>
#include <TVoskStatusBar.h>
#include <UDM1.h>
#include <UDokuClassKey.h>
#include <Vcl.Components.h>
#include <VoskFormParams.h>
#include <VoskPipeline.h>
#include <VoskTimer.h>

#include <EventGuard.h>
#include <VoskExceptions.h>

#include <QLineEdit>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTimer>
#include <QToolButton>

#include <memory>
#include <optional>

namespace {

// The next resubmission on the button, and for screen readers beside its fixed name. Without a
// date the button says nothing: "**" reads as a broken text.
void ShowWvodDate(QAbstractButton* button, const QString& date) {
    button->setText(date.isEmpty() ? QString() : u'*' + date + u'*');
    button->setAccessibleDescription(date);
}

TDM1* connectedDM() {
    TDM1* dm = DM1();
    return dm && dm->Connected() ? dm : nullptr;
}

void logFailure(const QObject* form, const QString& where) {
    TKorvexLog::Error(Vcl::FullName(form) + where + QStringLiteral(": ") +
                      Rtl::ExceptionMessage(std::current_exception()));
}

void setColor(TVoskSpeedButton* b, bool something) {
    if (b)
        b->SetFontColor(something ? TModulForm::StatusColorSet() : TModulForm::StatusColorEmpty());
}

// A table name the created/edited fallback may put into its FROM: plain identifiers with an
// optional schema, each part quoted.
QString quotedTableIdentifier(const QString& table) {
    static const QRegularExpression valid(
        QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*(\\.[A-Za-z_][A-Za-z0-9_]*)?$"));
    if (!valid.match(table).hasMatch())
        return {};
    QStringList parts = table.split(u'.');
    for (QString& p : parts)
        p = u'"' + p + u'"';
    return parts.join(u'.');
}

QVariant fieldOrNull(TVoskClass* c, const QString& name) {
    TVoskDataField f = c->FindField(name);
    return f.Exists() ? f.Value() : QVariant();
}

QString dateText(const QVariant& v) {
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().toString(QStringLiteral("dd.MM.yyyy"));
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().toString(QStringLiteral("dd.MM.yyyy hh:mm"));
    return v.toString();
}

QString controlText(QWidget* control) {
    if (auto* e = qobject_cast<QLineEdit*>(control))
        return e->text();
    const QVariant v = Korvexutils::GetControlValue(control);
    return v.isNull() ? QString() : v.toString();
}

} // namespace

QColor TModulForm::StatusColorSet() {
    return QColor(0xFA, 0x00, 0x05);
} // $000500FA
QColor TModulForm::StatusColorEmpty() {
    return QColor(Qt::blue);
}

void TModulForm::ConnectStatusBar() {
    if (TimerShowWvodDokuHint) {
        TimerShowWvodDokuHint->SetInterval(1000);
        TimerShowWvodDokuHint->OnTimer = [this](QObject* s) { TimerFastHelpTimer(s); };
        // The first record is shown right away, not a second after the window opened.
        QTimer::singleShot(0, this, [this] {
            if (TimerShowWvodDokuHint && TimerShowWvodDokuHint->Enabled())
                TimerFastHelpTimer(TimerShowWvodDokuHint);
        });
    }
    if (PopUpWVODDate) {
        // Connected after the menu's own clean-up, so the dated entries are made anew each time.
        connect(PopUpWVODDate, &QMenu::aboutToShow, this,
                [this] { Rtl::Guarded([this] { PopUpWVODDatePopup(); }, this); });
        const QList<TVoskMenuItem*> items = PopUpWVODDate->Items();
        if (!items.isEmpty()) {
            TVoskMenuItem* first = items.first();
            connect(first, &QAction::triggered, this,
                    [this, first] { Rtl::Guarded([this, first] { BtWvodClick(first); }, this); });
        }
    }
    if (BtWvod) {
        BtWvod->setPopupMode(QToolButton::InstantPopup);
        BtWvod->setAccessibleName(makeText(2704, QStringLiteral("Wiedervorlage")));
    }
    auto wire = [this](TVoskSpeedButton* b, const QString& tip,
                       void (TModulForm::*handler)(QObject*)) {
        if (!b)
            return;
        if (b->toolTip().isEmpty())
            b->setToolTip(tip);
        if (b->accessibleName().isEmpty())
            b->setAccessibleName(b->text());
        if (handler)
            connect(b, &QToolButton::clicked, this, [this, b, handler] {
                Rtl::Guarded([this, b, handler] { (this->*handler)(b); }, this);
            });
    };
    wire(BtAuditLog, QStringLiteral("Änderungsprotokoll des Datensatzes"),
         &TModulForm::BtAuditLogClick);
    wire(BtDoku, QStringLiteral("Dokumente des Datensatzes"), nullptr);
    wire(BtHistorie, QStringLiteral("Notizen des Datensatzes"), &TModulForm::BtHistorieClick);
    wire(BtEigenschaften, QStringLiteral("Eigenschaften des Datensatzes"),
         &TModulForm::BtEigenschaftenClick);
}

// ---- the tick ----------------------------------------------------------------------------

void TModulForm::TimerFastHelpTimer(QObject*) {
    if (TimerShowWvodDokuHint)
        TimerShowWvodDokuHint->SetEnabled(false);
    const auto again = qScopeGuard([this] {
        if (TimerShowWvodDokuHint)
            TimerShowWvodDokuHint->SetEnabled(true);
    });
    try {
        FastHelpTick();
    } catch (const EAbort&) {
    } catch (...) {
        logFailure(this, QStringLiteral(".TimerFastHelpTimer"));
    }
}

void TModulForm::FastHelpTick() {
    if (!StatusBar1 || !StatusBar1->isVisible())
        return;
    TVoskClass* c = TopLabel ? TopLabel->FDataSource() : nullptr;
    const bool hasRecord =
        c && c->Active() && c->EnabledFlag() && c->RecordCount() > 0 && c->HasKeyField();
    const QString key = hasRecord ? c->KeyText() : QString();
    const QString table = hasRecord ? c->GetSqlTableName() : QString();
    TDM1* dm = connectedDM();
    std::optional<TVoskPipeline> pipeline;
    if (dm)
        pipeline.emplace(dm->Database());
    std::function<void()> record;
    if (hasRecord && !table.isEmpty() && !key.isEmpty()) {
        if (key != LastOID) {
            LastOID = key;
            if (pipeline)
                record = FastHelpRecord(*pipeline, c, table, key);
        }
    } else {
        LastOID.clear();
        LastHintID.clear();
        StatusBar1->SetPanelText(1, QString());
        StatusBar1->SetPanelText(3, QString());
        if (BtWvod)
            ShowWvodDate(BtWvod, QString());
        setColor(BtHistorie, false);
        setColor(BtEigenschaften, false);
        setColor(BtSoftlink, false);
    }
    std::function<void()> doku = pipeline ? FastHelpDoku(*pipeline, hasRecord) : nullptr;
    if (pipeline) {
        try {
            pipeline->Run();
        } catch (...) {
            // Asked again on the next tick.
            LastOID.clear();
            LastDokuID.clear();
            throw;
        }
    }
    if (record)
        record();
    if (doku)
        doku();
}

std::function<void()> TModulForm::FastHelpRecord(TVoskPipeline& pipeline, TVoskClass* c,
                                                 const QString& table, const QString& key) {
    TDM1* dm = connectedDM();
    TVoskDatabase& db = dm->Database();
    const TModulFormStatusBar bar = TopLabel->BtStatusBar();
    // Each answer's query, queued now and read once the pipeline has run.
    struct Asked {
        std::shared_ptr<TVoskQuery2> query;
        int index = -1;
        // The open query, null when it failed.
        TVoskQuery2* answer(TVoskPipeline& p) const {
            return query && !p.Error(index) ? query.get() : nullptr;
        }
    };
    auto ask = [&](const QString& sql, const QVariantList& values = {}) {
        Asked a;
        a.query = std::make_shared<TVoskQuery2>(&db, sql);
        const QStringList names = a.query->ParamNames();
        for (int i = 0; i < names.size() && i < values.size(); ++i)
            a.query->Bind(names.at(i), values.at(i));
        a.index = pipeline.Add(*a.query);
        return a;
    };

    // Created / edited.
    const QVariant insertBy = fieldOrNull(c, QStringLiteral("insert_by"));
    const QVariant modifiedBy = fieldOrNull(c, QStringLiteral("modified_by"));
    Asked stamps;
    if (!insertBy.isNull() || !modifiedBy.isNull()) {
        stamps = ask(QStringLiteral("SELECT CONCAT(:insert_date::DATE, '  ', "
                                    "COALESCE(nameAufloesen(:insert_by), "
                                    ":insert_by)), CONCAT(:modified_date::DATE, '  ', "
                                    "COALESCE(nameAufloesen(:modified_by), :modified_by)) "));
        stamps.query->Bind(QStringLiteral("insert_date"),
                           fieldOrNull(c, QStringLiteral("insert_date")));
        stamps.query->Bind(QStringLiteral("insert_by"),
                           insertBy.isNull() ? QVariant() : insertBy.toString());
        stamps.query->Bind(QStringLiteral("modified_date"),
                           fieldOrNull(c, QStringLiteral("modified_date")));
        stamps.query->Bind(QStringLiteral("modified_by"),
                           modifiedBy.isNull() ? QVariant() : modifiedBy.toString());
    }
    // The user's next resubmission, by the ERP's login, which need not be the database role.
    Asked wvod;
    if (bar.testFlag(msbWVOD) && BtWvod)
        wvod = ask(QStringLiteral("SELECT MIN(rc_wvod) FROM recnocomments WHERE rc_tablename = "
                                  ":table AND rc_dbrid = :dbrid AND COALESCE(rc_user, insert_by) "
                                  "= :login AND rc_wvod IS NOT NULL"),
                   {table, key, dm->LoginName()});
    // Notes: the newest of the record's own, else of its children.
    Asked notes;
    if (bar.testFlag(msbHistorie))
        notes = ask(QStringLiteral(
                        "SELECT\r\n  rc_id, rc_date, rc_betreff, rc_user, rc_text\r\nFROM\r\n  "
                        "recnocomments\r\nWHERE\r\n  :dbrid IN (rc_dbrid, rc_parent_dbrid)\r\n  AND "
                        "rc_wvod IS NULL\r\nORDER BY\r\n  rc_parent_dbrid IS null DESC, --eigene "
                        "Notizen "
                        "bevorzugt!\r\n  rc_date DESC,\r\n  rc_id DESC -- Parent => Child "
                        "berücksichtigen: "
                        "ABK hat auch eine Notiz der AB2"),
                    {key});
    // Record parameters, through the parameter class's own query.
    Asked params;
    if (bar.testFlag(msbEigenschaften) && BtEigenschaften)
        params = ask(QStringLiteral("SELECT EXISTS(%1);").arg(TRecNoParams::Instance()->QuerySql()),
                     {table, key, Vcl::ClassName(this)});

    return [this, &pipeline, c, table, key, bar, stamps, wvod, notes, params] {
        TDM1* dm = connectedDM();
        if (!dm)
            return;
        bool done = false;
        QString created, edited;
        if (TVoskQuery2* q = stamps.answer(pipeline); q && !q->IsEmpty()) {
            created = q->Fields(0).AsString();
            edited = q->Fields(1).AsString();
            done = true;
        }
        const QString quoted = quotedTableIdentifier(table);
        if (!done && !quoted.isEmpty()) {
            try {
                TVoskQuery2 q(
                    &dm->Database(),
                    QStringLiteral(
                        "SELECT CONCAT(insert_date, '  ', COALESCE(nameAufloesen(insert_by), "
                        "insert_by)), CONCAT(modified_date::DATE, '  ', "
                        "COALESCE(nameAufloesen(modified_by), modified_by)) FROM &table WHERE "
                        "dbrid = "
                        ":dbrid"));
                q.SetMacro(QStringLiteral("table"), quoted);
                q.Bind(QStringLiteral("dbrid"), key);
                q.Open();
                if (!q.IsEmpty()) {
                    created = q.Fields(0).AsString();
                    edited = q.Fields(1).AsString();
                    done = true;
                }
            } catch (...) {
            }
        }
        StatusBar1->SetPanelText(1, done ? created.trimmed() : QString());
        StatusBar1->SetPanelText(3, done ? edited.trimmed() : QString());

        if (wvod.query && BtWvod) {
            QString next;
            if (TVoskQuery2* q = wvod.answer(pipeline); q && !q->IsEmpty())
                next = dateText(q->Fields(0).Value());
            ShowWvodDate(BtWvod, next);
        }

        // A new note pops up once.
        if (notes.query) {
            if (TVoskQuery2* q = notes.answer(pipeline)) {
                const QString id =
                    q->IsEmpty() ? QString() : q->FieldByName(QStringLiteral("rc_id")).AsString();
                if (!q->IsEmpty() && id != LastHintID) {
                    setColor(BtHistorie, true);
                    const QString title = makeText(17523, QStringLiteral("*")) +
                                          q->FieldByName(QStringLiteral("rc_betreff")).AsString();
                    const QString crlf = QStringLiteral("\r\n");
                    const QString body =
                        q->FieldByName(QStringLiteral("rc_user")).AsString() +
                        QStringLiteral(" - ") +
                        dateText(q->FieldByName(QStringLiteral("rc_date")).Value()) + crlf +
                        crlf + q->FieldByName(QStringLiteral("rc_text")).AsString() + crlf;
                    const int rows = q->RecordCount();
                    LastHintID = id;
                    if (TopLabel->HinweisAlsDialog() && RtlDialog::FEditTextS.Assigned()) {
                        if (rows > 1)
                            Rtl::Guarded([this] { TopLabel->ShowHistorie(nullptr); }, this);
                        RtlDialog::FEditTextS(title, body, 99999, true, false, QChar(), true);
                    } else {
                        AllertWindowWVOD(title, body.left(500) + crlf, 29);
                    }
                } else {
                    setColor(BtHistorie, false);
                }
                LastHintID = id;
            }
        }

        if (params.query && BtEigenschaften)
            if (TVoskQuery2* q = params.answer(pipeline))
                setColor(BtEigenschaften, !q->IsEmpty() && q->Fields(0).AsBoolean());

        if (bar.testFlag(msbSoftlink) && BtSoftlink && FSoftlink) {
            try {
                setColor(BtSoftlink, FSoftlink->BtSoftlinkEnabled());
            } catch (...) {
            }
        }
        Q_UNUSED(c)
    };
}

std::function<void()> TModulForm::FastHelpDoku(TVoskPipeline& pipeline, bool hasRecord) {
    TVoskClass* d = TopLabel ? TopLabel->DokumentClass() : nullptr;
    if (!BtDoku || !d || !TopLabel->BtStatusBar().testFlag(msbDoku))
        return nullptr;
    const QString table = d->GetSqlTableName();
    const QString key = d->HasRecord() ? d->KeyText() : QString();
    bool valid = hasRecord && d->HasKeyField() && !table.isEmpty() && !key.isEmpty();
    TVoskClass* data = TopLabel->FDataSource();
    if (data &&
        data->objectName().compare(QLatin1String("ServSqlEditTable"), Qt::CaseInsensitive) == 0)
        valid = false;
    if (!valid) {
        LastDokuID.clear();
        setColor(BtDoku, false);
        return nullptr;
    }
    if (key == LastDokuID)
        return nullptr;
    TDM1* dm = connectedDM();
    if (!dm)
        return nullptr;
    LastDokuID = key;
    auto q = std::make_shared<TVoskQuery2>(&dm->Database());
    try {
        const TDokuClassKey dk = DokuClassKeyColumn_Get(
            table, key,
            [d](const QString& column) {
                TVoskDataField f = d->FindField(column);
                return f.Exists() ? f.Value() : QVariant();
            },
            dm);
        if (dk.Exists) {
            q->SetSQL(QStringLiteral(
                "SELECT EXISTS(SELECT true FROM picndoku JOIN recnokeyword ON r_dbrid = "
                "picndoku.dbrid \r\n WHERE r_kategorie = :table AND r_descr = :value AND NOT "
                "pd_deletable)"));
            q->Bind(QStringLiteral("table"), dk.Category);
            q->Bind(QStringLiteral("value"), dk.Value);
        } else {
            q->SetSQL(QStringLiteral("SELECT EXISTS(SELECT true FROM picndoku WHERE pd_tablename = "
                                     ":table AND pd_dbrid = :dbrid)"));
            q->Bind(QStringLiteral("table"), table);
            q->Bind(QStringLiteral("dbrid"), key);
        }
    } catch (...) {
        LastDokuID.clear();
        throw;
    }
    const int index = pipeline.Add(*q);
    return [this, &pipeline, q, index] {
        if (const std::exception_ptr error = pipeline.Error(index)) {
            // Asked again on the next tick.
            LastDokuID.clear();
            std::rethrow_exception(error);
        }
        setColor(BtDoku, !q->IsEmpty() && q->Fields(0).AsBoolean());
    };
}

// ---- resubmissions -----------------------------------------------------------------------

void TModulForm::PopUpWVODDatePopup() {
    TVoskClass* c = TopLabel ? TopLabel->FDataSource() : nullptr;
    TDM1* dm = connectedDM();
    if (!c || !dm || !c->HasRecord() || !c->HasKeyField())
        return;
    TVoskQuery2 q(
        &dm->Database(),
        QStringLiteral(
            "SELECT dbrid, rc_wvod, nameAufloesen(rc_user), rc_betreff, rc_text, insert_by FROM "
            "recnocomments WHERE rc_tablename=:table AND rc_dbrid=:dbrid AND rc_wvod IS NOT NULL "
            "ORDER BY rc_user=:login DESC, rc_wvod"));
    q.Bind(QStringLiteral("table"), c->GetSqlTableName());
    q.Bind(QStringLiteral("dbrid"), c->KeyText());
    q.Bind(QStringLiteral("login"), dm->LoginName());
    q.Open();
    for (int r = 0; r < q.RecordCount(); ++r) {
        const QString head =
            dateText(q.ValueAt(r, 1)) + QStringLiteral(" - ") + q.ValueAt(r, 2).toString();
        auto* item = new TVoskMenuItem(Korvexutils::MacheStellig(head, 40) + QStringLiteral(" - ") +
                                           q.ValueAt(r, 3).toString(),
                                       PopUpWVODDate);
        item->SetTag(q.ValueAt(r, 0).toLongLong());
        item->SetIsAutoLink(true);
        connect(item, &QAction::triggered, this,
                [this, item] { Rtl::Guarded([this, item] { BtWvodClick(item); }, this); });
        PopUpWVODDate->addAction(item);
    }
}

void TModulForm::BtWvodClick(QObject* sender) {
    const auto reset = qScopeGuard([this] { ResetStatusBar(); });
    std::unique_ptr<UModulFormSeams::IFormWvod> dialog = UModulFormSeams::FormWvod(this);
    if (!dialog) {
        Korvexutils::RaiseInformation(
            QStringLiteral("Der Wiedervorlage-Dialog ist in dieser Installation nicht verfügbar."));
        return;
    }
    QStringList params;
    QString oldId = QStringLiteral("0");
    if (auto* item = qobject_cast<TVoskMenuItem*>(sender))
        oldId = QString::number(item->Tag());
    TVoskClass* c = TopLabel->FDataSource();
    if (!c)
        throw EVoskException(QStringLiteral("Kann an dieser Stelle keine Wiedervorlage aufrufen, "
                                            "nicht implementiert. Bitte Korvex Service "
                                            "benachrichtigen wenn erwünscht."));
    if (c->CanPost())
        c->Post();
    TDM1* dm = connectedDM();
    if (!dm)
        throw EVoskException(QStringLiteral("Keine Datenbankverbindung"));
    TVoskDatabase& db = dm->Database();
    {
        TVoskQuery2 q(&db, QStringLiteral("SELECT rc_wvod, rc_user, rc_betreff, rc_text, insert_by "
                                          "FROM recnocomments WHERE dbrid=:dbrid"));
        q.Bind(QStringLiteral("dbrid"), oldId);
        q.Open();
        dialog->User = dm->LoginName();
        if (!q.IsEmpty()) {
            if (!q.Fields(0).IsNull())
                dialog->Date = q.Fields(0).AsDate();
            if (!q.Fields(1).IsNull())
                dialog->User = q.Fields(1).AsString();
            dialog->Betreff = q.Fields(2).AsString();
            dialog->Text = q.Fields(3).AsString();
        }
    }
    params << QStringLiteral("Modul=") + Vcl::ClassName(this);
    TQ32Control* control = TQ32Control::Of(c);
    if (!control)
        throw EVoskException(QStringLiteral("Kann an dieser Stelle keine Wiedervorlage aufrufen, "
                                            "nicht implementiert. Bitte Korvex Service "
                                            "benachrichtigen wenn erwünscht."));
    QString ed[4];
    const QList<QWidget*> edits = control->GetEditControlsList();
    for (int i = 0; i < 4 && i < edits.size(); ++i) {
        if (!edits.at(i))
            continue;
        ed[i] = controlText(edits.at(i));
        params << (i == 0 ? QStringLiteral("ControlEd") : QStringLiteral("ControlEd%1").arg(i)) +
                      u'=' + ed[i];
    }
    dialog->dbrid = oldId;
    const QString reference = windowTitle() + QStringLiteral("  ~  ") + ed[0] +
                              QStringLiteral("    ") + ed[1] + QStringLiteral("    ") + ed[2] +
                              QStringLiteral("    ") + ed[3];
    dialog->Reference = reference;
    if (dialog->ShowModal() != Vcl::mrOk)
        return;
    const QString subject = dialog->Betreff.isEmpty() ? QStringLiteral("???") : dialog->Betreff;
    // The new row and the removal of the one it replaces happen together or not at all.
    db.StartTransaction();
    try {
        TVoskQuery2 ins(
            &db,
            QStringLiteral(
                "INSERT INTO recnocomments (rc_allg1, rc_tablename, rc_dbrid, rc_betreff, rc_text, "
                "rc_wvod, rc_wvod_params, rc_user) VALUES (:c, :t, :d, :b, :x, :w, :p, :u)"));
        ins.Bind(QStringLiteral("c"), reference);
        ins.Bind(QStringLiteral("t"), c->GetSqlTableName());
        ins.Bind(QStringLiteral("d"), c->KeyText());
        ins.Bind(QStringLiteral("b"), subject);
        ins.Bind(QStringLiteral("x"), dialog->Text);
        ins.Bind(QStringLiteral("w"), dialog->Date.isValid() ? QVariant(dialog->Date) : QVariant());
        ins.Bind(QStringLiteral("p"), params.join(u'\n'));
        ins.Bind(QStringLiteral("u"), dialog->User);
        ins.ExecSQL();
        TVoskQuery2 del(&db, QStringLiteral("DELETE FROM recnocomments WHERE dbrid=:dbrid"));
        del.Bind(QStringLiteral("dbrid"), oldId);
        del.ExecSQL();
        db.Commit();
    } catch (...) {
        db.Rollback();
        throw;
    }
}

// ---- buttons -----------------------------------------------------------------------------

void TModulForm::BtAuditLogClick(QObject*) {
    MakeF2(this, BtAuditLog, false, false, QString(), QStringList(), QString());
}

void TModulForm::BtHistorieClick(QObject* sender) {
    TopLabel->ShowHistorie(sender);
}

void TModulForm::BtEigenschaftenClick(QObject* sender) {
    TopLabel->ShowHistorie(sender);
}
