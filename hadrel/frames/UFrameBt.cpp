#include "UFrameBt.h"

#include "UnitTable.h"
#include "Vcl.Classes.h"

#include <TKorvexPython.h>
#include <TVoskClass.h>
#include <TfrmToDesignBase.h>
#include <UDM1.h>
#include <UShutdownFiles.h>
#include <Vcl.Components.h>
#include <Vcl.Hourglass.h>
#include <Vcl.Services.h>
#include <VoskControls.h>
#include <VoskF2Controls.h>
#include <VoskHelp.h>

#include <EventGuard.h>
#include <UnitTable.h>

#include <QAction>
#include <QDate>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QToolButton>

#include <libpq-fe.h>

bool TFrameBt::FSavePythonScript = false;
bool TFrameBt::FSavePythonResult = true;
bool TFrameBt::FShowPythonResult = false;

namespace {

QString WithoutTrailingSpace(QString s) {
    qsizetype end = s.size();
    while (end > 0 && s.at(end - 1).isSpace())
        --end;
    s.truncate(end);
    return s;
}

const QString kCrLf = QStringLiteral("\r\n");

QString text(int nr, const QString& def) {
    return makeText(nr, def);
}

QPushButton* makeButton(QObject* owner, QWidget* parent, const QString& name,
                        const QString& caption, const QString& hint) {
    auto* b = Vcl::Owned(owner, new QPushButton(caption, parent), name);
    b->setToolTip(hint);
    b->setAccessibleName(QString(caption).remove(u'&'));
    b->setAccessibleDescription(hint);
    return b;
}

QAction* makeItem(QMenu* menu, const QString& name, const QString& caption, bool checkable) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    a->setCheckable(checkable);
    return a;
}

// Writes text as UTF-8 where the user asked for it; unlike scratch files it keeps the usual rights.
void writeUserFile(const QString& path, const QString& text) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text.toUtf8()) < 0 || !f.commit())
        throw EVoskException(QStringLiteral("Die Datei \"%1\" kann nicht geschrieben werden: %2")
                                 .arg(path, f.errorString()));
}

QString databaseHost() {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        return {};
    const char* host = PQhost(dm->Database().Handle());
    return host ? QString::fromUtf8(host) : QString();
}

void initUnit() {
    TFrameBt::FSavePythonScript = false;
    TFrameBt::FSavePythonResult = true;
    TFrameBt::FShowPythonResult = false;
}

} // namespace

KORVEX_UNIT("hadrel", "UFrameBt", &initUnit, nullptr, &UFrameBt::Register);

TFrameBt::TFrameBt(QObject* owner, QWidget* parent) : QFrame(parent) {
    Vcl::SetOwner(this, owner);
    // A second bar on the same dialog keeps the name it was given.
    if (!owner || !Vcl::FindComponent(owner, QStringLiteral("FrameBt")))
        setObjectName(QStringLiteral("FrameBt"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    FOwnerForm = qobject_cast<TfrmToDesignBase*>(owner);

    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    VoskPanel1 = Vcl::Owned(this, new TPanel(this), QStringLiteral("VoskPanel1"));
    VoskPanel1->SetBevelOuter(false);
    outer->addWidget(VoskPanel1);
    QBoxLayout* row = VoskPanel1->Layout();

    btOk = makeButton(this, VoskPanel1, QStringLiteral("btOk"), text(5217, QStringLiteral("&Ok")),
                      text(17436, QStringLiteral("Eingaben übernehmen und den Bericht ausführen")));
    btOk->setDefault(true);
    btCancel = makeButton(
        this, VoskPanel1, QStringLiteral("btCancel"), text(5218, QStringLiteral("&Abbrechen")),
        text(10053, QStringLiteral("Den Dialog schließen, ohne etwas auszuführen")));
    btShowResult = Vcl::Owned(this, new QToolButton(VoskPanel1), QStringLiteral("btShowResult"));
    btShowResult->setArrowType(Qt::DownArrow);
    btShowResult->setPopupMode(QToolButton::InstantPopup);
    btShowResult->setToolTip(text(3163, QStringLiteral("Einstellungen des Python-Skripts")));
    btShowResult->setAccessibleName(QStringLiteral("Python-Einstellungen"));
    btHelp = makeButton(this, VoskPanel1, QStringLiteral("btHelp"),
                        text(2928, QStringLiteral("Hilfe")), text(2928, QStringLiteral("Hilfe")));
    btHelp->setCursor(Qt::PointingHandCursor);
    btSavePrintSettings = makeButton(
        this, VoskPanel1, QStringLiteral("btSavePrintSettings"),
        QStringLiteral("Druckeinstellungen speichern."),
        text(21295, QStringLiteral("Die Einstellungen dieses Dialogs für den Druck speichern")));
    btSavePrintSettings->hide();

    pmShowResult = Vcl::Owned(this, new QMenu(this), QStringLiteral("pmShowResult"));
    miSavePythonScript = makeItem(pmShowResult, QStringLiteral("miSavePythonScript"),
                                  QStringLiteral("Save Python-Script  (%temp%\\rtf*.py)"), true);
    miSavePythonResult = makeItem(pmShowResult, QStringLiteral("miSavePythonResult"),
                                  QStringLiteral("Save Python-Result (%temp%\\rtf*.result)"), true);
    miShowPythonResult = makeItem(pmShowResult, QStringLiteral("miShowPythonResult"),
                                  QStringLiteral("Show Python-Result"), true);
    N1 = pmShowResult->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    miDevelopHint = makeItem(pmShowResult, QStringLiteral("miDevelopHint"),
                             QStringLiteral("for IsAdmin or IsDevelopSystem"), false);
    miDevelopHint->setEnabled(false);
    miPythonScriptsCheck =
        makeItem(pmShowResult, QStringLiteral("miPythonScriptsCheck"),
                 QStringLiteral("All Python-Scripts check (%temp%\\rtf_all_check.result)"), false);
    btShowResult->setMenu(pmShowResult);

    row->addWidget(btOk);
    row->addWidget(btCancel);
    row->addWidget(btShowResult);
    row->addStretch(1);
    row->addWidget(btSavePrintSettings);
    row->addWidget(btHelp);

    miSavePythonScript->setChecked(FSavePythonScript);
    miSavePythonResult->setChecked(FSavePythonResult);
    miShowPythonResult->setChecked(FShowPythonResult);

    connect(btOk, &QPushButton::clicked, this, [this] {
        Rtl::Guarded(
            [this] {
                if (!FQueryForms) {
                    closeOwner(Vcl::mrOk);
                    return;
                }
                btOkClick();
            },
            this);
    });
    connect(btCancel, &QPushButton::clicked, this, [this] {
        Rtl::Guarded(
            [this] {
                btCancelClick();
                closeOwner(Vcl::mrAbort);
            },
            this);
    });
    connect(btHelp, &QPushButton::clicked, this,
            [this] { Rtl::Guarded([this] { btHelpClick(); }, this); });
    connect(btSavePrintSettings, &QPushButton::clicked, this,
            [this] { Rtl::Guarded([this] { btSavePrintSettingsClick(); }, this); });
    for (QAction* item : {miSavePythonScript, miSavePythonResult, miShowPythonResult})
        connect(item, &QAction::triggered, this,
                [this, item] { Rtl::Guarded([this, item] { miShowResultClick(item); }, this); });
    connect(miPythonScriptsCheck, &QAction::triggered, this,
            [this] { Rtl::Guarded([this] { miPythonScriptsCheckClick(); }, this); });
}

TFrameBt::~TFrameBt() = default;

bool TFrameBt::event(QEvent* e) {
    const bool handled = QFrame::event(e);
    if ((e->type() == QEvent::ShowToParent || e->type() == QEvent::HideToParent) &&
        OnVisibleChanged)
        OnVisibleChanged(this);
    return handled;
}

void TFrameBt::OpenReport(int rtfId) {
    if (!FQueryForms) {
        FQueryForms = new TVoskClass2(this);
        FQueryForms->setObjectName(QStringLiteral("QueryForms"));
        FQueryForms->SetSqlTable(QStringLiteral("rtf"));
        FQueryForms->SetKeyFieldName(QStringLiteral("rtf_id"));
        FQueryForms->SetReadOnly(true);
        FQueryForms->SetQuerySql(QStringLiteral("SELECT rtf_id, rtf_blanksql, rtf_script FROM rtf "
                                                "WHERE rtf_id::text LIKE :rtfid ORDER BY rtf_id"));
    }
    m_rtfParam = QString::number(rtfId);
    FQueryForms->SetParam(QStringLiteral("rtfid"), m_rtfParam);
    FQueryForms->Close();
    FQueryForms->Open();
}

QString TFrameBt::ScriptFileName(int rtfId) {
    return CurrentSession_UConstants().TempDir() + QStringLiteral("rtf%1.py").arg(rtfId);
}

QString TFrameBt::ResultFileName(int rtfId) {
    return CurrentSession_UConstants().TempDir() + QStringLiteral("rtf%1.result").arg(rtfId);
}

QString TFrameBt::CheckAllFileName() {
    return CurrentSession_UConstants().TempDir() + QStringLiteral("rtf_all_check.result");
}

QString TFrameBt::TrimScriptOutput(const QString& output) {
    static const QRegularExpression leadingBlankLines(QStringLiteral("^( *\\r?\\n)*"));
    QString s = output;
    s.remove(leadingBlankLines);
    return WithoutTrailingSpace(s);
}

void TFrameBt::runChecked(const char* handler, const std::function<void()>& body) {
    try {
        body();
    } catch (const EAbort&) {
        throw;
    } catch (const std::exception& e) {
        if (TDM1* dm = DM1())
            dm->LogEvent(QStringLiteral("TFrameBt.%1: ").arg(QLatin1String(handler)) +
                             QString::fromUtf8(e.what()),
                         &e);
        throw;
    }
}

QStringList TFrameBt::headerLines(bool forCheck) const {
    TDM1* dm = DM1();
    const QString db = dm ? dm->DatabaseName() : QString();
    const QString user = dm ? dm->FGetUsername() : QString();
    const QString firma =
        dm && dm->Connected() ? dm->GetSetting(QStringLiteral("Firma")) : QString();
    const QString modul = FOwnerForm ? FOwnerForm->ModulName() : QString();
    const QString modulOwner = FOwnerForm ? FOwnerForm->ModulNameOwnerForm() : QString();
    QStringList s{QStringLiteral("# -*- coding: utf-8 -*-"),
                  QStringLiteral("HOSTNAME = ") + EscapePythonString(databaseHost()),
                  QStringLiteral("DATABASE = ") + EscapePythonString(db),
                  QStringLiteral("USERNAME = ") + EscapePythonString(user), QString()};
    if (forCheck) {
        s << QStringLiteral("modulname = ") + EscapePythonString(modul)
          << QStringLiteral("modulname_ownerform = ") + EscapePythonString(modulOwner)
          << QStringLiteral("firma = ") + EscapePythonString(firma) << QString() << QString();
        return s;
    }
    s << QStringLiteral("modulname           = ") + EscapePythonString(modul)
      << QStringLiteral("modulname_ownerform = ") + EscapePythonString(modulOwner);
    const IModulInfo* info =
        FOwnerForm ? dynamic_cast<const IModulInfo*>(Vcl::Owner(FOwnerForm)) : nullptr;
    if (info) {
        s << QStringLiteral("modulinfo_id        = ") + EscapePythonString(info->ModulInfoId())
          << QStringLiteral("modulinfo_keys      = ") + EscapePythonString(info->ModulInfoKeys())
          << QStringLiteral("modulinfo_table     = ") + EscapePythonString(info->ModulInfoTable());
    } else {
        s << QStringLiteral("#modulinfo_id       = ") << QStringLiteral("#modulinfo_keys     = ")
          << QStringLiteral("#modulinfo_table    = ");
    }
    s << QStringLiteral("firma               = ") + EscapePythonString(firma) << QString();
    return s;
}

void TFrameBt::showError(const QString& message) const {
    Vcl::Ask(Vcl::mtError, QStringLiteral("Fehler"), message, Vcl::mbOK, Vcl::mbNone, {},
             FOwnerForm ? static_cast<QWidget*>(FOwnerForm) : window());
}

void TFrameBt::closeOwner(int modalResult) {
    if (FOwnerForm)
        FOwnerForm->SetModalResult(modalResult);
    else if (auto* form = qobject_cast<Vcl::TForm*>(window()))
        form->SetModalResult(modalResult);
}

void TFrameBt::refuseControl(QWidget* control) {
    if (control) {
        if (FOwnerForm && FOwnerForm->isVisible() && control->isEnabled() && control->isVisible() &&
            control->focusPolicy() != Qt::NoFocus)
            control->setFocus();
        if (qobject_cast<QLineEdit*>(control)) {
            QPalette p = control->palette();
            p.setColor(QPalette::Base, QColor(247, 182, 166));
            control->setPalette(p);
        }
    }
    showError(makeText(1235, QStringLiteral("Eingabe ungültig")));
    if (FOwnerForm)
        FOwnerForm->SetModalResult(Vcl::mrNone);
}

bool TFrameBt::appendParameterLines(QStringList& script) {
    if (CurrentSession_UConstants().UseJSHandler()) {
        if (auto* js = dynamic_cast<IJSHandler*>(FOwnerForm.data())) {
            const QStringList lines = js->ScriptParamLines();
            if (!lines.isEmpty())
                script += lines;
            return true;
        }
    }
    for (QObject* comp : Vcl::Components(FOwnerForm)) {
        if (auto* param = dynamic_cast<IParamControl*>(comp)) {
            param->Validate();
            if (!param->IsValid()) {
                refuseControl(qobject_cast<QWidget*>(comp));
                return false;
            }
            param->AppendScriptLines(script);
            continue;
        }
        const QString cls = Vcl::ClassName(comp);
        bool valid = true;
        if (cls.compare(QLatin1String("TVoskDateEdit"), Qt::CaseInsensitive) == 0) {
            auto* c = qobject_cast<TVoskDateEdit*>(comp);
            if ((valid = c->CheckF2Value()))
                c->GetF2ScriptValue(script);
        } else if (cls.compare(QLatin1String("TVoskEdit"), Qt::CaseInsensitive) == 0) {
            auto* c = qobject_cast<TVoskEdit*>(comp);
            if ((valid = c->CheckF2Value()))
                c->GetF2ScriptValue(script);
        } else if (cls.compare(QLatin1String("TVoskPickEdit"), Qt::CaseInsensitive) == 0) {
            auto* c = qobject_cast<TVoskPickEdit*>(comp);
            if ((valid = c->CheckF2Value()))
                c->GetF2ScriptValue(script);
        } else if (cls.compare(QLatin1String("TVoskCheckBox"), Qt::CaseInsensitive) == 0) {
            qobject_cast<TVoskCheckBox*>(comp)->GetF2ScriptValue(script);
        } else if (cls.compare(QLatin1String("TVoskMemo"), Qt::CaseInsensitive) == 0) {
            qobject_cast<TVoskMemo*>(comp)->GetF2ScriptValue(script);
        }
        if (!valid) {
            refuseControl(qobject_cast<QWidget*>(comp));
            return false;
        }
    }
    return true;
}

QString TFrameBt::chooseScriptCopy(int rtfId) const {
    TDM1* dm = DM1();
    const QString key = QStringLiteral("SaveDialog_Python");
    Vcl::TFileRequest request;
    request.caption = QStringLiteral("Python-Skript speichern");
    request.folder = dm && dm->Connected() ? dm->LoadLastVal(key) : QString();
    request.fileName = QStringLiteral("rtf%1_%2.py")
                           .arg(rtfId)
                           .arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
    request.filter = QStringLiteral("Python Scriptfile (*.py)|*.py");
    request.defaultSuffix = QStringLiteral("py");
    request.parent = window();
    const QString chosen = Vcl::FileDialogs::Instance().SaveFile(request);
    if (!chosen.isEmpty() && dm && dm->Connected())
        dm->SaveLastVal(key, QFileInfo(chosen).absolutePath());
    return chosen;
}

void TFrameBt::btOkClick() {
    if (!FQueryForms)
        return;
    runChecked("btOkClick", [this] {
        FSavePythonScript = miSavePythonScript->isChecked();
        FSavePythonResult = miSavePythonResult->isChecked();
        FShowPythonResult = miShowPythonResult->isChecked();
        if (FOwnerForm && FOwnerForm->isVisible() && btOk->isEnabled())
            btOk->setFocus();

        if (!FQueryForms->HasRecord()) {
            showError(QStringLiteral("Der Bericht %1 ist nicht vorhanden.").arg(m_rtfParam));
            if (FOwnerForm)
                FOwnerForm->SetModalResult(Vcl::mrNone);
            return;
        }
        const int rtfId = FQueryForms->FieldByName(QStringLiteral("rtf_id")).AsInteger();
        const QString scriptFile = ScriptFileName(rtfId);
        const QString resultFile = ResultFileName(rtfId);
        QFile::remove(resultFile);
        const QString rtfScript = FQueryForms->FieldByName(QStringLiteral("rtf_script")).AsString();

        auto writeScratch = [](const QString& path, const QString& content) {
            WritePrivateFile(path, content.toUtf8());
            DeleteFileOnShutdown(path);
        };

        if (FQueryForms->FieldByName(QStringLiteral("rtf_blanksql")).AsBoolean()) {
            if (FOwnerForm)
                FOwnerForm->SetResultText(WithoutTrailingSpace(rtfScript)); // leading lines stay
            writeScratch(scriptFile, QStringLiteral("rtf_blanksql"));
            closeOwner(Vcl::mrOk);
            return;
        }
        if (rtfScript.trimmed().isEmpty()) {
            if (FOwnerForm)
                FOwnerForm->SetResultText(QString());
            writeScratch(scriptFile, QStringLiteral("rtf_script is empty"));
            closeOwner(Vcl::mrOk);
            return;
        }

        Vcl::THourglass hourglass;
        QStringList lines = headerLines(false);
        if (!appendParameterLines(lines))
            return;
        lines << QString();
        const QString script = lines.join(u'\n') + u'\n' + rtfScript;
        writeScratch(scriptFile, script);

        QString scriptCopy;
        if (miSavePythonScript->isChecked()) {
            hourglass.Restore();
            scriptCopy = chooseScriptCopy(rtfId);
            if (!scriptCopy.isEmpty())
                writeUserFile(scriptCopy, script);
        }

        TKorvexPython python;
        FPython = &python;
        python.SetOwnerForm(FOwnerForm);
        python.SetOwnerOwnerForm(FOwnerForm ? Vcl::Owner(FOwnerForm) : nullptr);
        bool compiled = false;
        try {
            compiled = python.CheckExecute(script, QStringLiteral("rtf%1.py").arg(rtfId));
        } catch (const EVoskException& e) {
            // No interpreter: said in German, and the dialog stays as it is.
            FPython = nullptr;
            if (FOwnerForm)
                FOwnerForm->SetResultText(QString());
            showError(e.Message());
            if (FOwnerForm)
                FOwnerForm->SetModalResult(Vcl::mrNone);
            return;
        }
        if (!compiled) {
            FPython = nullptr;
            if (FOwnerForm)
                FOwnerForm->SetResultText(QString());
            showError(QStringLiteral("Error: Skript kann nicht ausgeführt werden") + kCrLf + kCrLf +
                      python.Output());
            if (FOwnerForm)
                FOwnerForm->SetModalResult(Vcl::mrNone);
            return;
        }
        const bool ran = python.Execute(scriptFile);
        FPython = nullptr;
        const QString result = TrimScriptOutput(python.Output());

        QString developHint;
        if (FOwnerForm && IsDevelopSystem()) {
            static const QRegularExpression nameError(
                QStringLiteral("NameError: name '([a-z0-9_]+)' is not defined"),
                QRegularExpression::CaseInsensitiveOption);
            const QRegularExpressionMatch m = nameError.match(result);
            if (m.hasMatch() && Vcl::FindComponent(FOwnerForm, m.captured(1)))
                developHint = QStringLiteral(
                    "Hinweis an Entwickler:\nIm Python-Script (rtf_script) die Kleinschreibung "
                    "der RTF-Felder beachten!\n\n");
        }

        if (!ran) {
            // Nothing of a failed run is handed on: the dialog stays open with the error in view.
            if (FOwnerForm)
                FOwnerForm->SetResultText(QString());
            showError(developHint + python.FailureText() + kCrLf + kCrLf + result);
            if (FOwnerForm)
                FOwnerForm->SetModalResult(Vcl::mrNone);
            return;
        }
        if (miShowPythonResult->isChecked())
            Vcl::Ask(Vcl::mtInformation, QStringLiteral("Python"),
                     QStringLiteral("Python Skript Result:") + kCrLf + kCrLf + python.Output(),
                     Vcl::mbOK, Vcl::mbNone, {}, window());
        if (FOwnerForm)
            FOwnerForm->SetResultText(result);

        if (miSavePythonResult->isChecked()) {
            writeScratch(resultFile, result);
            if (miSavePythonScript->isChecked() && !scriptCopy.isEmpty()) {
                const QFileInfo copy(scriptCopy);
                const QString resultCopy = copy.absolutePath() + u'/' + copy.completeBaseName() +
                                           QStringLiteral(".result");
                writeUserFile(resultCopy, result);
                Vcl::OpenDocument(scriptCopy);
                Vcl::OpenDocument(resultCopy);
            }
        }
        if (!developHint.isEmpty())
            showError(developHint + result);
        closeOwner(Vcl::mrOk);
    });
}

void TFrameBt::miPythonScriptsCheckClick() {
    runChecked("miPythonScriptsCheckClick", [this] {
        const QString path = CheckAllFileName();
        QFile::remove(path);
        if (!FQueryForms)
            OpenReport(0);
        const QString previous = m_rtfParam;
        Vcl::THourglass hourglass;
        FQueryForms->SetParam(QStringLiteral("rtfid"), QStringLiteral("%"));
        FQueryForms->Close();
        FQueryForms->Open();

        QString report;
        int refused = 0;
        std::vector<int> ids;
        std::vector<TPythonSource> sources;
        {
            const QString header = headerLines(true).join(u'\n') + u'\n';
            const TVoskDataField fId = FQueryForms->FieldByName(QStringLiteral("rtf_id"));
            const TVoskDataField fBlank = FQueryForms->FieldByName(QStringLiteral("rtf_blanksql"));
            const TVoskDataField fScript = FQueryForms->FieldByName(QStringLiteral("rtf_script"));
            for (FQueryForms->First(); !FQueryForms->Eof(); FQueryForms->Next()) {
                const QString script = fScript.AsString();
                if (fBlank.AsBoolean() || script.trimmed().isEmpty())
                    continue;
                ids.push_back(fId.AsInteger());
                sources.push_back({QStringLiteral("rtf%1.py").arg(ids.back()), header + script});
            }
        }
        // One python3 compiles all scripts, which are handed over before the answers are read.
        const int checked = int(ids.size());
        try {
            const std::vector<TPythonCheck> answers = TKorvexPython::CheckExecuteAll(sources);
            for (int i = 0; i < checked; ++i)
                if (!answers[size_t(i)].ok) {
                    ++refused;
                    report += QStringLiteral("rtf_id: %1, check_result: %2%3")
                                  .arg(ids[size_t(i)])
                                  .arg(answers[size_t(i)].message, kCrLf);
                }
        } catch (const std::exception&) {
            const QString message = Rtl::ExceptionMessage(std::current_exception());
            for (int id : ids)
                report += QStringLiteral("rtf_id: %1, (except)check_result: %2%3")
                              .arg(id)
                              .arg(message, kCrLf);
            refused = checked;
        }
        report += QStringLiteral("%1 Skripte geprüft, %2 fehlerhaft.%3")
                      .arg(checked)
                      .arg(refused)
                      .arg(kCrLf);
        WritePrivateFile(path, report.toUtf8());
        DeleteFileOnShutdown(path);

        // The bar stays on its own report.
        FQueryForms->SetParam(QStringLiteral("rtfid"), previous);
        FQueryForms->Close();
        FQueryForms->Open();
        hourglass.Restore();
        Vcl::OpenDocument(path);
    });
}

void TFrameBt::btCancelClick() {
    if (auto* js = dynamic_cast<IJSHandler*>(FOwnerForm.data()))
        js->SetHandlerModalResult(Vcl::mrAbort);
}

void TFrameBt::btHelpClick() {
    QString keyword = FOwnerForm ? FOwnerForm->HelpKeyword() : QString();
    if (keyword.isEmpty())
        keyword = QStringLiteral("Link: FormDesign");
    Corvale::ApplicationHelpKeyword(keyword, window());
}

void TFrameBt::btSavePrintSettingsClick() {
    if (!FOwnerForm)
        return;
    QStringList lines;
    for (TVoskCheckBox* box : Vcl::ComponentsOf<TVoskCheckBox>(FOwnerForm))
        lines << box->objectName().toLower() + u'=' +
                     (box->isChecked() ? QStringLiteral("-1") : QStringLiteral("0"));
    writeUserFile(FOwnerForm->PrintSettingsFileName(), lines.join(u'\n') + u'\n');
}

void TFrameBt::miShowResultClick(QAction* item) {
    if (item == miSavePythonScript && miSavePythonScript->isChecked())
        miSavePythonResult->setChecked(true);
}

namespace UFrameBt {

void Register() {
    Vcl::RegisterComponents(QStringLiteral("Korvex-Zusätzlich"), {Vcl::ComponentClass<TFrameBt>()});
}

} // namespace UFrameBt
