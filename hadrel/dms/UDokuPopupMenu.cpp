#include "UDokuPopupMenu.h"

#include <DMSys.h>
#include <EventGuard.h>
#include <FaultPoint.h>
#include <Korvexutils.h>
#include <TUserRights.h>
#include <TVoskDataModel.h>
#include <TVoskGridView.h>
#include <TVoskPopupMenu.h>
#include <UDM1.h>
#include <Ukorvexclasses.Dokument.h>
#include <Vcl.Components.h>
#include <Vcl.Services.h>
#include <VoskControls.h>
#include <VoskQuery2.h>
#include <VoskTransaction.h>

#include <QAbstractProxyModel>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QMenu>
#include <QUrl>

bool TSperrDokuPopupMenu::FWithoutQuestion = false;
std::function<bool()> TSperrDokuPopupMenu::CtrlHeld;

namespace {

QIcon image(int index) {
    TDMSys* sys = DMSys();
    return sys && sys->ImageList() ? sys->ImageList()->Icon(index) : QIcon();
}

// The working copy's name from the document row, reduced to a file name so that the copy stays
// in its folder.
QString plainFileName(const QString& name) {
    QString s = name.trimmed();
    s = s.mid(qMax(s.lastIndexOf(u'/'), s.lastIndexOf(u'\\')) + 1);
    for (QChar& c : s)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u'_';
    if (s.isEmpty() || s == QLatin1String(".") || s == QLatin1String(".."))
        return QStringLiteral("_");
    return s;
}

// Shows an existing file selected in the desktop's file manager where one offers that over the
// session bus, else opens its folder; a missing file's folder is opened.
bool showInFileManager(const QString& file) {
    if (QFileInfo::exists(file)) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        const QString service = QStringLiteral("org.freedesktop.FileManager1");
        if (bus.isConnected() && bus.interface() &&
            bus.interface()->isServiceRegistered(service).value()) {
            QDBusMessage call = QDBusMessage::createMethodCall(
                service, QStringLiteral("/org/freedesktop/FileManager1"), service,
                QStringLiteral("ShowItems"));
            call << QStringList{QUrl::fromLocalFile(file).toString()} << QString();
            if (bus.call(call, QDBus::Block, 3000).type() == QDBusMessage::ReplyMessage)
                return true;
        }
    }
    return Vcl::Shell::Instance().OpenUrl(QUrl::fromLocalFile(QFileInfo(file).absolutePath()));
}

} // namespace

TSperrDokuPopupMenu::TSperrDokuPopupMenu(QAction* ParentItem, TDokument* ClassDoku,
                                         TVoskGridView* viewGesperrteDocuments,
                                         bool InsertAfterParentItem)
    : QObject(ParentItem), FParentItem(ParentItem), FDokument(ClassDoku),
      FGridView(viewGesperrteDocuments), FInsertAfterParentItem(InsertAfterParentItem) {
    if (!ClassDoku)
        throw EVoskException(
            QStringLiteral("TSperrDokuPopupMenu.Create: Document class not found"));
    if (!ParentItem)
        throw EVoskException(QStringLiteral("TSperrDokuPopupMenu.Create: ParentItem not found"));
    setObjectName(QStringLiteral("SperrDokuPopupMenu"));
    Vcl::SetOwner(this, ParentItem);
}

// ---- items ---------------------------------------------------------------------------------------

TVoskMenuItem* TSperrDokuPopupMenu::makeItem(QPointer<TVoskMenuItem>& item, const QString& name,
                                             void (TSperrDokuPopupMenu::*handler)(QObject*)) {
    if (item)
        return item;
    item = new TVoskMenuItem(QString(), this);
    item->setObjectName(name);
    Vcl::SetOwner(item, this);
    if (FInsertAfterParentItem) {
        QMenu* holder = nullptr;
        for (QObject* o : FParentItem->associatedObjects())
            if ((holder = qobject_cast<QMenu*>(o)))
                break;
        if (!holder)
            throw EVoskException(
                QStringLiteral("TSperrDokuPopupMenu: the parent item lies in no menu"));
        const QList<QAction*> actions = holder->actions();
        if (m_insertPosition == 0)
            m_insertPosition = int(actions.indexOf(FParentItem)) + 1;
        holder->insertAction(actions.value(m_insertPosition), item);
        ++m_insertPosition;
    } else {
        QMenu* sub = FParentItem->menu();
        if (!sub) {
            sub = new QMenu();
            sub->setObjectName(FParentItem->objectName() + QStringLiteral("Menu"));
            FParentItem->setMenu(sub);
            connect(FParentItem, &QObject::destroyed, sub, &QObject::deleteLater);
        }
        sub->addAction(item);
    }
    item->SetIsAutoLink(false);
    if (handler)
        connect(item, &QAction::triggered, this, [this, handler, item = item.data()] {
            Rtl::Guarded([&] { (this->*handler)(item); }, this);
        });
    return item;
}

void TSperrDokuPopupMenu::CreateSubItems(bool Lock) {
    TDokument* doc = FDokument;
    if (!doc)
        return;
    const bool isDMS = doc->isDMSDokument();
    const bool isDok = isDMS || doc->isFileLink();
    const bool admin = IsAdmin();
    const bool locked = doc->isLocked();
    const bool checkedOut = !doc->CheckoutPath().isEmpty();
    // The user's own check-out on another machine: its copy is there, not here.
    const bool elsewhere = doc->LockedElsewhere();
    const bool blocked = doc->EditBlocked();

    const auto setItem = [](TVoskMenuItem* item, int textNr, const QString& text, int img) {
        item->SetTextNr(0);
        item->setText(makeText(textNr, text));
        item->setToolTip(item->text());
        if (img >= 0)
            item->setIcon(image(img));
    };

    TVoskMenuItem* intern = makeItem(miEditIntern, QStringLiteral("miEditIntern"),
                                     &TSperrDokuPopupMenu::miEditInternClick);
    setItem(intern, 17932, QStringLiteral("Dokument intern bearbeiten"), 34);
    intern->setEnabled(isDMS && doc->isDMSEditDokument() && !blocked && !checkedOut && !elsewhere);
    intern->setVisible(true);

    if (Lock) {
        TVoskMenuItem* edit = makeItem(miRevisionEdit, QStringLiteral("miRevisionEdit"),
                                       &TSperrDokuPopupMenu::miRevisionEditClick);
        setItem(edit, 17933, QStringLiteral("Dokument sperren und extern bearbeiten"), 34);
        edit->setCheckable(true);
        edit->setChecked(locked);
        edit->setEnabled(isDok && !blocked && !elsewhere);

        TVoskMenuItem* lock = makeItem(miRevisionLock, QStringLiteral("miRevisionLock"),
                                       &TSperrDokuPopupMenu::miRevisionLockClick);
        setItem(lock, 25188, QStringLiteral("Dokument sperren"), -1);
        lock->setCheckable(true);
        lock->setChecked(isDok && locked);
        lock->setEnabled(isDok && !locked);
    }

    TVoskMenuItem* update = makeItem(miRevisionUpdate, QStringLiteral("miRevisionUpdate"),
                                     &TSperrDokuPopupMenu::miRevisionUpdateClick);
    setItem(update, 17955, QStringLiteral("Dokument entsperren und Änderung übernehmen"), -1);
    update->setEnabled((isDok || admin) && checkedOut && !elsewhere);

    TVoskMenuItem* unlock = makeItem(miRevisionUnlock, QStringLiteral("miRevisionUnlock"),
                                     &TSperrDokuPopupMenu::miRevisionUnlockClick);
    if (locked && doc->isFileLink())
        setItem(unlock, 17997, QStringLiteral("File-Link entsperren"), -1);
    else if (checkedOut)
        setItem(unlock, 17957, QStringLiteral("Dokument entsperren (Änderung verwerfen)"), -1);
    else
        setItem(unlock, 17926, QStringLiteral("Dokument entsperren"), -1);
    // Another user's lock is for administrators only.
    unlock->setEnabled((isDok || admin) && locked && (admin || doc->isLockedByMe()));

    TVoskMenuItem* separator = makeItem(miSeparator, QStringLiteral("miSeparator"), nullptr);
    // A separator with a text would show that text as a section heading.
    separator->setText(QString());
    separator->setSeparator(true);

    TVoskMenuItem* openDir = makeItem(miRevisionOpenDir, QStringLiteral("miRevisionOpenDir"),
                                      &TSperrDokuPopupMenu::miRevisionOpenDirClick);
    setItem(openDir, 25190, QStringLiteral("Ordner öffnen (gesperrtes Dokument)"), 37);
    openDir->setEnabled(locked || doc->isFileLink());

    if (Lock) {
        const bool ctrl = CtrlHeld ? CtrlHeld()
                                   : QGuiApplication::queryKeyboardModifiers().testFlag(
                                         Qt::ControlModifier);
        if (!ctrl) {
            // One "edit" entry: the internal one where it can be used, else the external one.
            const QString text = makeText(17472, QStringLiteral("Dokument bearbeiten"));
            intern->setText(text);
            miRevisionEdit->setText(text);
            intern->setVisible(intern->isEnabled());
            miRevisionEdit->setVisible(!intern->isVisible());
        } else {
            miRevisionEdit->setVisible(true);
        }
    }

    if (!FInsertAfterParentItem && FParentItem) {
        const auto usable = [](TVoskMenuItem* item) {
            return item && item->isEnabled() && item->isVisible();
        };
        FParentItem->setEnabled(usable(intern) || usable(miRevisionEdit) ||
                                usable(miRevisionLock) || update->isEnabled() ||
                                unlock->isEnabled() || openDir->isEnabled());
    }
}

QString TSperrDokuPopupMenu::GetItemCaption(QObject* Sender) {
    if (auto* action = qobject_cast<QAction*>(Sender))
        return action->text();
    throw EVoskException(QStringLiteral("TSperrDokuPopupMenu.GetItemCaption: ") +
                         (Sender ? Vcl::ClassName(Sender) : QStringLiteral("nil")) +
                         QStringLiteral(" is not implemented"));
}

// ---- helpers ------------------------------------------------------------------------------------

bool TSperrDokuPopupMenu::IsAdmin() {
    TDM1* dm = DM1();
    return TUserRights::GetAdmin_User() || (dm && dm->IsAdmin());
}

bool TSperrDokuPopupMenu::TakesBackAsRevision(const TDokument& doc) {
    if (doc.RevisionFlag())
        return true;
    const QString type = doc.DokType();
    return !type.isEmpty() &&
           (DMSDokuTypes().Value(type, QStringLiteral("dt_archive_default")).toBool() ||
            DMSDokuTypes().AutoRevision(type));
}

QString TSperrDokuPopupMenu::FreeWorkingCopyPath(const QString& folder, const QString& fileName) {
    const QDir dir(folder);
    const QString name = plainFileName(fileName);
    QString path = dir.filePath(name);
    const QFileInfo info(name);
    const QString base = info.completeBaseName();
    const QString ext = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    for (int n = 1; QFileInfo::exists(path) || QFileInfo(path).isSymLink(); ++n)
        path = dir.filePath(base + u'_' + QString::number(n) + ext);
    return path;
}

QWidget* TSperrDokuPopupMenu::OwnerForm() const {
    // The form that owns the parent item, found through owners and parents.
    for (QObject* o = FParentItem.data(); o;) {
        if (auto* w = qobject_cast<QWidget*>(o))
            return w->window();
        QObject* owner = Vcl::Owner(o);
        o = owner ? owner : o->parent();
    }
    return nullptr;
}

QWidget* TSperrDokuPopupMenu::requireOwnerForm(const QString& handler) const {
    QWidget* form = OwnerForm();
    if (!form)
        throw EVoskException(QStringLiteral("TSperrDokuPopupMenu.%1: OwnerForm not found").arg(handler));
    return form;
}

void TSperrDokuPopupMenu::DoAction(QObject* Sender, TSperrDokuActionType ActionType) {
    if (OnDokuAction)
        OnDokuAction(Sender, OwnerForm(), ActionType);
}

bool TSperrDokuPopupMenu::ask(QObject* Sender) const {
    return Korvexutils::RaiseQuestionYes(GetItemCaption(Sender) + u'?');
}

QList<int> TSperrDokuPopupMenu::selectedIds() const {
    QList<int> ids;
    if (FGridView && FGridView->selectionModel() && FGridView->model()) {
        // The pd_id column of the grid's data class, through any proxies.
        const QAbstractItemModel* model = FGridView->model();
        QList<const QAbstractProxyModel*> proxies;
        while (auto* proxy = qobject_cast<const QAbstractProxyModel*>(model)) {
            proxies << proxy;
            model = proxy->sourceModel();
        }
        int column = -1;
        if (auto* data = qobject_cast<const TVoskDataModel*>(model))
            column = data->ColumnOfField(QString::fromLatin1(TDokument::fnId));
        for (int c = 0; column < 0 && c < model->columnCount(); ++c)
            if (model->headerData(c, Qt::Horizontal).toString().compare(
                    QLatin1String(TDokument::fnId), Qt::CaseInsensitive) == 0)
                column = c;
        if (column >= 0)
            for (QModelIndex index : FGridView->selectionModel()->selectedRows()) {
                for (const QAbstractProxyModel* proxy : proxies)
                    index = proxy->mapToSource(index);
                const int id = model->index(index.row(), column).data(Qt::EditRole).toInt();
                if (id > 0 && !ids.contains(id))
                    ids << id;
            }
    }
    if (ids.isEmpty() && FDokument && FDokument->HasRecord())
        ids << FDokument->Id();
    return ids;
}

bool TSperrDokuPopupMenu::anySelectedDelayedUpload(const QList<int>& ids) const {
    if (ids.isEmpty())
        return false;
    QStringList list;
    for (int id : ids)
        list << QString::number(id);
    TVoskQuery2 q(&FDokument->Database(),
                  QStringLiteral("SELECT EXISTS (SELECT 1 FROM picndoku WHERE pd_delayed_upload "
                                 "AND pd_id = ANY (CAST(:ids AS integer[])))"));
    q.Bind(QStringLiteral("ids"), u'{' + list.join(u',') + u'}').Open();
    return q.Fields(0).AsBoolean();
}

// ---- handlers -----------------------------------------------------------------------------------

void TSperrDokuPopupMenu::miRevisionLockClick(QObject* Sender) {
    TDokument* doc = FDokument;
    if (doc->isLocked(true))
        Korvexutils::RaiseCriticalError(doc->GetLockedInfo());
    if (!FWithoutQuestion && !ask(Sender))
        return;
    try {
        doc->LockRevision(QString());
    } catch (const EVoskException& e) {
        Korvexutils::RaiseCriticalError(e.Message());
    }
    DoAction(Sender, UModulFormSeams::atNodeUpdate);
}

void TSperrDokuPopupMenu::miEditInternClick(QObject* Sender) {
    QWidget* form = requireOwnerForm(QStringLiteral("miEditIntern"));
    TDokument* doc = FDokument;
    if (!doc->isDMSEditDokument())
        Korvexutils::RaiseCriticalError(QStringLiteral("no EditModul found (") +
                                        QFileInfo(doc->FileName()).suffix() + u')');
    doc->ShowDokument(form, true);
    DoAction(Sender, UModulFormSeams::atNodeUpdate);
}

void TSperrDokuPopupMenu::miRevisionEditClick(QObject* Sender) {
    requireOwnerForm(QStringLiteral("miRevisionClick"));
    TDokument* doc = FDokument;
    if (doc->isLocked(true) || doc->LockedElsewhere())
        Korvexutils::RaiseCriticalError(doc->GetLockedInfo());
    TUserRights::CanDoDMSFileAction(doc->DokType(), doc->Id(), 0, true);
    TUserRights::CanDoDMSFileAction(doc->DokType(), doc->Id(), 1, true);
    if (!FWithoutQuestion && !ask(Sender))
        return;
    QString file;
    try {
        if (doc->isFileLink()) {
            if (!doc->isLocked())
                doc->LockRevision(QString());
            file = doc->GetLockedPath();
            if (file.isEmpty())
                file = doc->DMSGetFile();
        } else if (doc->GetLockedPath().isEmpty()) {
            file = FreeWorkingCopyPath(CurrentSession_UConstants().DocumentsDir(),
                                       doc->OrigFileName().isEmpty() ? doc->FileName()
                                                                     : doc->OrigFileName());
            doc->LockRevision(file);
        } else {
            file = doc->GetLockedPath();
        }
    } catch (const EVoskException& e) {
        Korvexutils::RaiseCriticalError(e.Message());
    }
    // The desktop's program for the file stands in for the "EDIT" verb.
    const bool opened = Vcl::Shell::Instance().OpenUrl(QUrl::fromLocalFile(file));
    DoAction(Sender, UModulFormSeams::atNodeUpdate);
    if (!opened)
        Korvexutils::RaiseError(
            QStringLiteral("Die Datei \"%1\" konnte nicht mit dem Programm des Desktops geöffnet "
                           "werden; sie bleibt ausgecheckt.")
                .arg(file));
}

void TSperrDokuPopupMenu::miRevisionUpdateClick(QObject* Sender) {
    TDokument* doc = FDokument;
    if (doc->CheckoutPath().isEmpty())
        Korvexutils::RaiseCriticalError(
            makeText(0, QStringLiteral("DMS: Dokument wird nicht extern bearbeitet")));
    if ((doc->isLocked(true) && !IsAdmin()) || doc->LockedElsewhere())
        Korvexutils::RaiseCriticalError(doc->GetLockedInfo());
    const bool asRevision = TakesBackAsRevision(*doc);
    if (!FWithoutQuestion && !ask(Sender))
        return;
    const QString path = doc->CheckoutPath();
    const int oldId = doc->Id();
    const QString ctxTable = doc->Param(QStringLiteral("ctxtable")).toString();
    const QString ctxRecord = doc->Param(QStringLiteral("ctxdbrid")).toString();
    try {
        // The copy's bytes, the rows and the release of the lock commit together or not at all.
        TVoskTransaction tx(doc->Database());
        if (asRevision)
            doc->CreateNewRevision(path, 0, QStringLiteral("file"));
        else
            doc->DMSSetServerFile(path);
        doc->UnlockRevision();
        Rtl::FaultPoint("TSperrDokuPopupMenu.miRevisionUpdateClick.commit");
        tx.Commit();
    } catch (...) {
        // The object may hold what the rolled-back work wrote: read the document again.
        const std::exception_ptr failure = std::current_exception();
        Rtl::Guarded([&] { doc->AssignToDokId(oldId, ctxTable, ctxRecord); });
        try {
            std::rethrow_exception(failure);
        } catch (const EVoskException& e) {
            Korvexutils::RaiseCriticalError(e.Message());
        }
    }
    DoAction(Sender, asRevision ? UModulFormSeams::atNodeChange : UModulFormSeams::atNodeUpdate);
}

void TSperrDokuPopupMenu::miRevisionUnlockClick(QObject* Sender) {
    TDokument* doc = FDokument;
    const bool admin = IsAdmin();
    const bool mine = doc->isLockedByMe();
    // Rows of a grid are released for others only by an administrator; anyone else acts on the
    // current document alone.
    const QList<int> ids = admin ? selectedIds() : QList<int>{doc->Id()};
    if (doc->isLocked(true) && !admin)
        Korvexutils::RaiseCriticalError(doc->GetLockedInfo());
    // A delayed upload's row is deleted with its lock: only its holder or an administrator.
    if (doc->IsDelayedUpload() && !admin && !mine)
        TUserRights::AdminCheck(GetItemCaption(Sender));
    if (doc->IsDelayedUpload() || anySelectedDelayedUpload(ids)) {
        if (Vcl::Ask(Vcl::mtWarning, QString(),
                     makeText(31248, QStringLiteral("Achtung, bei DMSDelayedUpload wird nicht bloß "
                                                    "entsperrt, sondern der komplette Datensatz "
                                                    "gelöscht.")),
                     Vcl::mbOKCancel, Vcl::mbCancel) != Vcl::mrOk)
            throw EAbort();
    }
    if (!FWithoutQuestion) {
        QString question;
        QString key;
        if (doc->LockedElsewhere())
            question = makeText(17926, QStringLiteral("Dokument entsperren")) + u'?' +
                       QStringLiteral("\n\n") + doc->GetLockedInfo();
        else if (doc->isLocked(true) && admin) {
            question = makeText(31011, QStringLiteral("Dokument ist durch jemand anderes gesperrt.\n"
                                                      "Wollen sie dennoch entsperren?")) +
                       QStringLiteral("\n\n") + doc->GetLockedInfo();
            // A key of its own: an answer kept here decides no other question, nor one kept
            // elsewhere this one.
            key = QStringLiteral("Dokumente_fremd_entsperren");
        } else if (!doc->CheckoutPath().isEmpty() && !doc->isFileLink())
            question = makeText(17957, QStringLiteral("Dokument entsperren (Änderung verwerfen)")) +
                       u'?';
        else
            question = makeText(17926, QStringLiteral("Dokument entsperren")) + u'?';
        bool kept = false;
        if (!Korvexutils::RaiseQuestionYes(question, true, key, &kept)) {
            if (kept)
                Korvexutils::RaiseInformation(
                    QStringLiteral("Das Dokument bleibt gesperrt: Sie haben festgelegt, die "
                                   "Sperren anderer Benutzer nicht aufzuheben (\"Nein\" mit "
                                   "\"Nicht mehr fragen\").\n\n") +
                    doc->GetLockedInfo());
            return;
        }
    }
    const bool onlyOwn = ids.size() <= 1 && (ids.isEmpty() || ids.first() == doc->Id());
    if ((mine || !admin) && onlyOwn && !doc->IsDelayedUpload()) {
        // The holder releases the lock itself.
        try {
            doc->UnlockRevision();
        } catch (const EVoskException& e) {
            Korvexutils::RaiseCriticalError(e.Message());
        }
        DoAction(Sender, UModulFormSeams::atNodeUpdate);
        return;
    }
    // An administrator, several rows, or a delayed upload whose row goes: the server procedure.
    const int oldId = doc->Id();
    try {
        TVoskTransaction tx(doc->Database());
        for (int id : ids) {
            TVoskQuery2 call(&doc->Database(),
                             QStringLiteral("CALL picndoku__lock_or_checkout__remove(:username, "
                                            ":pdid, :days, :inclDelayedUploads)"));
            call.Bind(QStringLiteral("username"), QVariant())
                .Bind(QStringLiteral("pdid"), id)
                .Bind(QStringLiteral("days"), 0)
                .Bind(QStringLiteral("inclDelayedUploads"), true)
                .ExecSQL();
        }
        tx.Commit();
    } catch (const EVoskException& e) {
        Korvexutils::RaiseCriticalError(e.Message());
    }
    if (doc->Active()) {
        doc->Refresh(false, true, 0);
        doc->Locate(QString::fromLatin1(TDokument::fnId), oldId);
    }
    DoAction(Sender, UModulFormSeams::atNodeChange);
}

void TSperrDokuPopupMenu::miRevisionOpenDirClick(QObject* Sender) {
    (void)Sender;
    requireOwnerForm(QStringLiteral("miRevisionClick"));
    TDokument* doc = FDokument;
    TUserRights::CanDoDMSFileAction(doc->DokType(), doc->Id(), 0, true);
    QString file = doc->CheckoutPath();
    if (file.isEmpty() && doc->isFileLink())
        file = doc->Path();
    if (file.isEmpty())
        Korvexutils::RaiseCriticalError(
            makeText(0, QStringLiteral("DMS: Dokument wird nicht extern bearbeitet")));
    if (!showInFileManager(file))
        Korvexutils::RaiseError(
            QStringLiteral("Der Ordner \"%1\" konnte nicht geöffnet werden")
                .arg(QFileInfo(file).absolutePath()));
}
