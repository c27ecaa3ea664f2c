// The document window's locks and check-outs: the edit actions handed to the lock submenu, the
// wait dialog over a working copy, and the monitor rows at the foot of the tree (unit UImpDoku).
//
// A monitor row watches its working copy with the 10-second timer and, so that a save shows at
// once, with a file system watcher on the copy and its folder (an editor that saves by writing a
// new file and renaming it replaces the watched file; the folder's change re-adds it).

#include "UImpDoku.h"

#include "UDokuPopupMenu.h"
#include "UImpDoku.Clone.h"

#include <EventGuard.h>
#include <Korvexutils.h>
#include <UDM1.h>
#include <TVoskLabel.h>
#include <TVoskQuestionForm.h>
#include <TVoskRibbon.h>
#include <UImpDoku.DocumentCheck.h>
#include <Ukorvexclasses.Dokument.h>
#include <Vcl.Components.h>
#include <VoskControls.h>
#include <VoskExceptions.h>
#include <VoskKeyControls.h>
#include <VoskQuery2.h>

#include <QAction>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGroupBox>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

QString tx(int nr, const QString& def) { return makeText(nr, def); }

int tagOf(const QObject* o) { return o ? o->property("Tag").toInt() : 0; }

constexpr int kRowHeight = 30;
const QColor kMaroon(128, 0, 0);
const QColor kGreen(0, 128, 0);

// Which action a row's update button runs: the take-back once the copy changed, else the unlock.
const char* const kUpdateMode = "checkUpdate";

TDocumentCheckFacts probeWorkingCopy(const QString& file) {
    TDocumentCheckFacts f;
    f.lastWrite = TDokument::FileTime(file);
    f.exists = f.lastWrite.isValid();
    if (f.exists) {
        f.inUse = Korvexutils::IsFileInUse(file);
        f.readable = Korvexutils::CanFileRead(file);
    }
    return f;
}

} // namespace

// ---- building ----------------------------------------------------------------------------------

void TFormDokments::buildDocumentCheck() {
    // The edit actions with their captions; all of them run through the lock submenu.
    const struct {
        QAction* action;
        int textNr;
        const char* caption;
        const char* icon;
    } edits[] = {
        {acDocEditInternal, 31271, "Dokument \r\nintern bearbeiten", "document-edit"},
        {acDocEditRevisionExternal, 17933, "Dokument sperren und extern bearbeiten",
         "document-edit"},
        {acDocEditRevisionExternal2, 25189, "gesperrtes Dokument bearbeiten", "document-open"},
        {acDocEditRevisionBlock, 25188, "Dokument sperren", "object-locked"},
        {acDocEditRevisionUpdate, 17955, "Dokument entsperren und Änderung übernehmen",
         "document-save"},
        {acDocEditRevisionUnlock, 17957, "Dokument entsperren (Änderung verwerfen)",
         "object-unlocked"},
        {acDocEditRevisionOpenDir, 25190, "Ordner öffnen (gesperrtes Dokument)", "folder-open"},
    };
    for (const auto& e : edits) {
        QString text = tx(e.textNr, QString::fromUtf8(e.caption));
        text.remove(u'\r');
        e.action->setText(text);
        e.action->setToolTip(QString(text).replace(u'\n', u' ').simplified());
        e.action->setIcon(QIcon::fromTheme(QLatin1String(e.icon)));
        barDocumentEdit->AddButton(e.action, e.action == acDocEditRevisionExternal ||
                                                     e.action == acDocEditRevisionUpdate ||
                                                     e.action == acDocEditInternal
                                                 ? TVoskRibbonGroup::Large
                                                 : TVoskRibbonGroup::Small);
        QAction* a = e.action;
        connect(a, &QAction::triggered, this,
                [this, a] { Rtl::Guarded([this, a] { acDocEditRevisionEditExecute(a); }, this); });
    }

    // The edit group of the tree's pop-up menu: the lock submenu goes there on first use.
    pmTreeDocuments->addSeparator();
    miEditGroup = Vcl::Owned(this, new QAction(tx(17472, QStringLiteral("Dokument bearbeiten")),
                                               this),
                             QStringLiteral("miEditGroup"));
    auto* editMenu = new QMenu(pmTreeDocuments);
    editMenu->setObjectName(QStringLiteral("miEditGroupMenu"));
    QAction* dummy = editMenu->addAction(QStringLiteral("-"));
    dummy->setObjectName(QStringLiteral("SperrDokuDummyChild"));
    dummy->setEnabled(false);
    miEditGroup->setMenu(editMenu);
    pmTreeDocuments->addAction(miEditGroup);
    miEnableFileMonitoring = Vcl::Owned(
        this, new QAction(QStringLiteral("Dateiüberwachung aktivieren"), this),
        QStringLiteral("miEnableFileMonitoring"));
    miEnableFileMonitoring->setToolTip(
        QStringLiteral("Die Arbeitskopie wieder auf Änderungen überwachen"));
    miEnableFileMonitoring->setVisible(false);
    pmTreeDocuments->addAction(miEnableFileMonitoring);
    connect(miEnableFileMonitoring, &QAction::triggered, this,
            [this] { Rtl::Guarded([this] { miEnableFileMonitoringClick(); }, this); });
    connect(pmTreeDocuments, &QMenu::aboutToShow, this, [this] {
        Rtl::Guarded(
            [this] {
                TDokument* d = Dokument1();
                SperrDoku()->CreateSubItems(true);
                miEnableFileMonitoring->setVisible(d->HasRecord() && d->isLockedByMe() &&
                                                   !d->GetLockedPath().isEmpty() &&
                                                   !d->CheckoutAskUser());
            },
            this);
    });

    // The monitor at the foot of the tree page, with its hidden template row.
    gbDocumentCheck = Vcl::Owned(this,
                                 new QGroupBox(tx(31265, QStringLiteral("ausgechecktes Dokument "
                                                                        "wird auf Änderungen "
                                                                        "überwacht")),
                                               RegDokumentTree),
                                 QStringLiteral("gbDocumentCheck"));
    gbDocumentCheck->setAccessibleName(gbDocumentCheck->title());
    gbDocumentCheck->setToolTip(QStringLiteral("Ausgecheckte Dokumente und ihre Arbeitskopien"));
    auto* rows = new QVBoxLayout(gbDocumentCheck);
    rows->setContentsMargins(4, 2, 4, 2);
    rows->setSpacing(0);
    gbDocumentCheck->hide();
    RegDokumentTree->layout()->addWidget(gbDocumentCheck);

    pnDocumentCheckTemplate = Vcl::Owned(this, new TPanel(gbDocumentCheck),
                                         QStringLiteral("pnDocumentCheckTemplate"));
    pnDocumentCheckTemplate->SetBevelOuter(false);
    pnDocumentCheckTemplate->setFixedHeight(kRowHeight);
    pnDocumentCheckTemplate->hide();
    QBoxLayout* row = pnDocumentCheckTemplate->Layout();
    row->setDirection(QBoxLayout::LeftToRight);
    row->setContentsMargins(0, 0, 0, 0);
    const auto click = [this](QObject* sender) { btDocumentCheckClick(sender); };
    lbDocumentCheckName = new TVoskLabel(pnDocumentCheckTemplate);
    lbDocumentCheckName->setObjectName(QStringLiteral("lbDocumentCheckName"));
    lbDocumentCheckName->setTextFormat(Qt::PlainText);
    lbDocumentCheckName->setAccessibleName(QStringLiteral("Ausgechecktes Dokument"));
    lbDocumentCheckName->OnClick = click;
    row->addWidget(lbDocumentCheckName, 1);
    const auto button = [&](const QString& name, const QString& text, const QString& hint) {
        auto* b = new TVoskButton(pnDocumentCheckTemplate);
        b->setObjectName(name);
        b->setText(text);
        b->setToolTip(hint);
        b->setAccessibleName(hint);
        b->setFocusPolicy(Qt::TabFocus);
        b->OnClick = click;
        row->addWidget(b);
        return b;
    };
    btDocumentCheckUpdate = button(
        QStringLiteral("btDocumentCheckUpdate"),
        tx(17955, QStringLiteral("Dokument entsperren und Änderung übernehmen")),
        tx(17955, QStringLiteral("Dokument entsperren und Änderung übernehmen")));
    btDocumentCheckUpdate->setEnabled(false);
    btDocumentCheckSelect =
        button(QStringLiteral("btDocumentCheckSelect"), QStringLiteral("Auswählen"),
               tx(31266, QStringLiteral("Dokument im Baum auswählen")));
    btDocumentCheckCancel = button(QStringLiteral("btDocumentCheckCancel"), QStringLiteral("×"),
                                   tx(31267, QStringLiteral("Nicht mehr überwachen")));
    btDocumentCheckCancel->setFixedWidth(28);

    tiDocumentCheck = Vcl::Owned(this, new QTimer(this), QStringLiteral("tiDocumentCheck"));
    tiDocumentCheck->setInterval(10000);
    connect(tiDocumentCheck, &QTimer::timeout, this,
            [this] { Rtl::Guarded([this] { tiDocumentCheckTimer(); }, this); });
    m_checkWatcher = new QFileSystemWatcher(this);
    const auto changed = [this] { Rtl::Guarded([this] { tiDocumentCheckTimer(); }, this); };
    connect(m_checkWatcher, &QFileSystemWatcher::fileChanged, this, changed);
    connect(m_checkWatcher, &QFileSystemWatcher::directoryChanged, this, changed);
}

TSperrDokuPopupMenu* TFormDokments::SperrDoku() {
    if (auto* menu = qobject_cast<TSperrDokuPopupMenu*>(FSperrDoku.data()))
        return menu;
    if (QMenu* sub = miEditGroup->menu())
        for (QAction* a : sub->actions())
            if (a->objectName() == QLatin1String("SperrDokuDummyChild")) {
                sub->removeAction(a);
                delete a;
            }
    auto* menu = new TSperrDokuPopupMenu(miEditGroup, Dokument1(), nullptr, false);
    menu->OnDokuAction = [this](QObject* sender, QObject* source,
                                UModulFormSeams::TSperrDokuActionType type) {
        SperrDokuAction(sender, source, type);
    };
    FSperrDoku = menu;
    return menu;
}

// ---- the edit actions --------------------------------------------------------------------------

void TFormDokments::acDocEditRevisionEditExecute(QObject* Sender) {
    if (NodeIsDocument(FocusedNode()))
        CheckDokument1Assignment();
    TSperrDokuPopupMenu* menu = SperrDoku();
    menu->CreateSubItems(true);
    if (Sender == acDocEditInternal)
        menu->miEditInternClick(Sender);
    else if (Sender == acDocEditRevisionExternal || Sender == acDocEditRevisionExternal2)
        menu->miRevisionEditClick(Sender);
    else if (Sender == acDocEditRevisionBlock)
        menu->miRevisionLockClick(Sender);
    else if (Sender == acDocEditRevisionUpdate)
        menu->miRevisionUpdateClick(Sender);
    else if (Sender == acDocEditRevisionUnlock)
        menu->miRevisionUnlockClick(Sender);
    else if (Sender == acDocEditRevisionOpenDir)
        menu->miRevisionOpenDirClick(Sender);
}

void TFormDokments::DocumentCheck_Follow(UModulFormSeams::TSperrDokuActionType ActionType) {
    if (!NodeIsDocument(FocusedNode()))
        return;
    TDokument* d = Dokument1();
    if (d->isLockedByMe() && !d->LockedElsewhere()) {
        const QString path = d->GetLockedPath();
        if (!path.isEmpty() || d->isFileLink()) {
            if (ActionType == UModulFormSeams::atNodeUpdate && acEditWaitDialog->isChecked() &&
                !(d->isFileLink() && path.isEmpty()))
                DocumentCheck_Dialog(*d);
            else
                DocumentCheck_Add(*d);
            return;
        }
    }
    DocumentCheck_Remove(d->Id());
    // A take-back as a new revision gave the document a new id: the row of the old one goes too.
    if (d->RevisionId() > 0)
        for (TPanel* row : DocumentCheckRows())
            if (row->property("RevisionId").toInt() == d->RevisionId())
                DocumentCheck_Remove(tagOf(row));
}

// ---- the wait dialog ---------------------------------------------------------------------------

void TFormDokments::DocumentCheck_Dialog(TDokument& Dokument) {
    const int id = Dokument.Id();
    const QString file = Dokument.CheckoutPath();
    QString question = tx(6312, QStringLiteral("Das Dokument wurde zur externen Bearbeitung "
                                               "geöffnet."));
    question.remove(QStringLiteral("automatisch "));
    int result = Vcl::mrAbort;
    {
        TVoskQuestionForm form(this, question,
                               QStringLiteral("Yes=xtt17971|No=xtt17972|Abort=xtt17973|"
                                              "Mode=Hide|OnTop=False"),
                               0, Vcl::mtInformation, QStringLiteral("Dokumente_sperren"));
        TDocumentCheckSteps steps(form.windowTitle(), question, file, Dokument.CheckoutFileTime());
        QPushButton* yes = form.Button(QStringLiteral("Yes"));
        QPushButton* abort = form.Button(QStringLiteral("Abort"));
        const auto show = [&] {
            form.setWindowTitle(steps.Caption());
            form.SetMessage(steps.Message());
            yes->setEnabled(steps.YesEnabled());
            abort->setEnabled(steps.AbortEnabled());
        };
        show();
        form.SetTicker(1000, [&] {
            steps.Tick([&] { return probeWorkingCopy(file); });
            show();
        });
        form.setWindowModality(Qt::ApplicationModal);
        const int answer = form.ShowModal();
        // Closing the form, or the application ending meanwhile, counts as "Abort".
        if (answer != Vcl::mrNone)
            result = answer;
    }
    activateWindow();
    if (result == Vcl::mrYes || result == Vcl::mrNo) {
        if (!TreeMenuSelect(QString::number(id)))
            Korvexutils::RaiseCriticalError(tx(17432, QStringLiteral("Dokument nicht gefunden")));
        CheckDokument1Assignment();
        TSperrDokuPopupMenu::WithoutQuestion quiet;
        if (result == Vcl::mrNo) {
            acDocEditRevisionEditExecute(acDocEditRevisionUnlock);
        } else {
            try {
                acDocEditRevisionEditExecute(acDocEditRevisionUpdate);
            } catch (...) {
                // The change must not vanish from view when it could not be taken back.
                Rtl::Guarded([&] {
                    Dokument1()->AssignToDokId(id);
                    DocumentCheck_Add(*Dokument1());
                });
                throw;
            }
        }
    } else {
        Dokument1()->AssignToDokId(id);
        DocumentCheck_Add(*Dokument1());
    }
    throw EAbort();
}

// ---- the monitor rows --------------------------------------------------------------------------

QList<TPanel*> TFormDokments::DocumentCheckRows() const {
    QList<TPanel*> rows;
    for (TPanel* p : gbDocumentCheck->findChildren<TPanel*>(Qt::FindDirectChildrenOnly))
        if (tagOf(p) != 0)
            rows << p;
    return rows;
}

TPanel* TFormDokments::DocumentCheck_Find(int pdId) const {
    if (pdId == 0)
        return nullptr;
    for (TPanel* p : DocumentCheckRows())
        if (tagOf(p) == pdId)
            return p;
    return nullptr;
}

void TFormDokments::resizeDocumentCheck() {
    const qsizetype rows = DocumentCheckRows().size();
    gbDocumentCheck->setFixedHeight(int(rows) * pnDocumentCheckTemplate->height() + 21);
    gbDocumentCheck->setVisible(rows > 0);
    if (rows == 0)
        tiDocumentCheck->stop();
    else if (!tiDocumentCheck->isActive())
        tiDocumentCheck->start();
}

void TFormDokments::DocumentCheck_Add(const TDokument& Dokument) {
    const int id = Dokument.Id();
    if (id <= 0 || DocumentCheck_Find(id))
        return;
    btDocumentCheckCancel->setVisible(!acEditWaitDialog->isChecked());
    QString name = Dokument.CheckoutPath();
    if (name.isEmpty())
        name = Dokument.isFileLink() ? Dokument.Path() : Dokument.FileName();
    TPanel* row = TDummy::Clone(pnDocumentCheckTemplate, gbDocumentCheck, gbDocumentCheck);
    row->setProperty("Tag", id);
    row->setProperty("RevisionId", Dokument.RevisionId());
    row->setProperty("Hint", DocumentCheckHint(TDokument::FileTimeText(Dokument.CheckoutFileTime()),
                                               name));
    row->setToolTip(name);
    auto* label = qobject_cast<TVoskLabel*>(
        Vcl::FindComponent(row, QStringLiteral("lbDocumentCheckName")));
    // A caption is the user's text, never markup.
    label->setTextFormat(Qt::PlainText);
    label->setText(Dokument.Caption());
    label->setToolTip(name);
    if (auto* update = qobject_cast<QWidget*>(
            Vcl::FindComponent(row, QStringLiteral("btDocumentCheckUpdate"))))
        update->setEnabled(false);
    gbDocumentCheck->layout()->addWidget(row);
    row->show();
    if (QFileInfo::exists(name))
        m_checkWatcher->addPath(name);
    const QString folder = QFileInfo(name).absolutePath();
    if (QFileInfo(folder).isDir() && !m_checkWatcher->directories().contains(folder))
        m_checkWatcher->addPath(folder);
    resizeDocumentCheck();
}

void TFormDokments::DocumentCheck_Remove(int pdId) {
    TPanel* row = DocumentCheck_Find(pdId);
    if (!row)
        return;
    const QString name = SplitDocumentCheckHint(row->property("Hint").toString()).fileName;
    row->hide();
    row->setProperty("Tag", 0);
    gbDocumentCheck->layout()->removeWidget(row);
    // The row may be the sender of the running click.
    row->deleteLater();
    QStringList stillWatched;
    for (TPanel* p : DocumentCheckRows())
        stillWatched << SplitDocumentCheckHint(p->property("Hint").toString()).fileName;
    if (!stillWatched.contains(name))
        m_checkWatcher->removePath(name);
    resizeDocumentCheck();
}

void TFormDokments::tiDocumentCheckTimer() {
    for (TPanel* row : DocumentCheckRows()) {
        const TDocumentCheckHint hint = SplitDocumentCheckHint(row->property("Hint").toString());
        const QDateTime now = TDokument::FileTime(hint.fileName);
        const TDocumentCheckRowState state =
            DocumentCheckRowState(hint.timeText, TDokument::FileTimeText(now));
        // A copy replaced by a rename is a new file: watch it again.
        if (now.isValid() && !m_checkWatcher->files().contains(hint.fileName))
            m_checkWatcher->addPath(hint.fileName);
        auto* update = qobject_cast<QPushButton*>(
            Vcl::FindComponent(row, QStringLiteral("btDocumentCheckUpdate")));
        auto* label = qobject_cast<QLabel*>(
            Vcl::FindComponent(row, QStringLiteral("lbDocumentCheckName")));
        if (!update || !label)
            continue;
        const bool changed = state == TDocumentCheckRowState::Changed;
        QAction* action = changed ? acDocEditRevisionUpdate : acDocEditRevisionUnlock;
        update->setIcon(action->icon());
        update->setText(changed ? tx(17955, QStringLiteral("Dokument entsperren und Änderung "
                                                           "übernehmen"))
                                : tx(17926, QStringLiteral("Dokument entsperren")));
        update->setToolTip(update->text());
        update->setAccessibleName(update->text());
        update->setProperty(kUpdateMode, changed);
        update->setEnabled(true);
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText,
                     state == TDocumentCheckRowState::Missing ? kMaroon
                     : changed                                ? kGreen
                                                              : palette().color(QPalette::WindowText));
        label->setPalette(pal);
    }
}

void TFormDokments::btDocumentCheckClick(QObject* Sender) {
    auto* control = qobject_cast<QWidget*>(Sender);
    const int id = control ? tagOf(control->parentWidget()) : 0;
    if (id == 0)
        return;
    const QString name = Sender->objectName();
    if (name == QLatin1String("btDocumentCheckCancel")) {
        DocumentCheck_Remove(id);
        TVoskQuery2 q(&Dokument1()->Database(),
                      QStringLiteral("UPDATE picndoku_revision SET pdr_checkout_ask_user = False "
                                     "FROM picndoku WHERE pdr_revision_id = pd_revision_id AND "
                                     "pd_id = :id"));
        q.Bind(QStringLiteral("id"), id).ExecSQL();
        return;
    }
    const QString notFound = tx(17432, QStringLiteral("Dokument nicht gefunden"));
    if (name == QLatin1String("btDocumentCheckUpdate")) {
        if (!TreeMenuSelect(QString::number(id)))
            Korvexutils::RaiseCriticalError(notFound);
        acDocEditRevisionEditExecute(Sender->property(kUpdateMode).toBool()
                                         ? acDocEditRevisionUpdate
                                         : acDocEditRevisionUnlock);
        return;
    }
    if (!TreeMenuSelect(QString::number(id)))
        Korvexutils::RaiseError(notFound);
    TreeDocuments->setFocus();
}

void TFormDokments::DocumentCheck_ShowUpdateButtons() {
    for (TPanel* row : DocumentCheckRows())
        if (auto* update = qobject_cast<QWidget*>(
                Vcl::FindComponent(row, QStringLiteral("btDocumentCheckUpdate"))))
            update->setVisible(!acEditWaitDialog->isChecked());
}

void TFormDokments::miEnableFileMonitoringClick() {
    TDokument* d = Dokument1();
    TVoskQuery2 q(&d->Database(),
                  QStringLiteral("UPDATE picndoku_revision SET pdr_checkout_ask_user = True "
                                 "WHERE pdr_revision_id =  :id"));
    q.Bind(QStringLiteral("id"), d->RevisionId()).ExecSQL();
    d->RefreshRecord();
    DocumentCheck_Add(*d);
}
