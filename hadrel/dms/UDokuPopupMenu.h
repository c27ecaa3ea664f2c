#pragma once
// TSperrDokuPopupMenu: the edit submenu of one document under a menu item: edit in the internal
// viewer, edit outside (check out a working copy and open it with the desktop's program), lock,
// take the edited copy back (as a new revision or into the current one), unlock (discarding the
// changes; administrators also another user's lock and several rows of a grid), and open the
// folder of the working copy. Its owner handles what changed through OnDokuAction.
//
// The items are made once, on the first CreateSubItems, and only updated after that; the owner
// calls CreateSubItems before the menu shows. The handlers are public so that the document
// window's ribbon actions run them too; they raise the silent abort after a message.
//
// Only the holder of a lock releases it with UnlockRevision; an administrator who is not the
// holder releases it through the server procedure after question 31011; anyone else is refused.
// FWithoutQuestion is set for one action at a time through WithoutQuestion, which puts it back
// when the action ends, also when it fails.

#include "UModulFormSeams.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QAction;
class QWidget;
class TDokument;
class TVoskGridView;
class TVoskMenuItem;

using TSperrDokuActionType = UModulFormSeams::TSperrDokuActionType;
using TSperrDokuActionEvent =
    std::function<void(QObject* Sender, QObject* Source, TSperrDokuActionType ActionType)>;

class TSperrDokuPopupMenu : public QObject {
    Q_OBJECT
public:
    // ParentItem owns the component; with InsertAfterParentItem the items follow it in its menu,
    // else they become its submenu. viewGesperrteDocuments (may be null) is a grid of locked
    // documents whose selected rows an administrator unlocks at once.
    TSperrDokuPopupMenu(QAction* ParentItem, TDokument* ClassDoku,
                        TVoskGridView* viewGesperrteDocuments, bool InsertAfterParentItem);

    // Makes missing items and sets texts, images, checks, visibility and enabling for the
    // document's state. Lock adds the lock items.
    void CreateSubItems(bool Lock);
    // The caption of a menu item or an action; another class is refused.
    static QString GetItemCaption(QObject* Sender);

    TSperrDokuActionEvent OnDokuAction;

    // Set: the lock, edit, take-back and unlock actions ask no question of their own.
    static bool FWithoutQuestion;
    // FWithoutQuestion for the lifetime of the guard, then as it was.
    class WithoutQuestion final {
    public:
        WithoutQuestion() : m_old(FWithoutQuestion) { FWithoutQuestion = true; }
        ~WithoutQuestion() { FWithoutQuestion = m_old; }
        WithoutQuestion(const WithoutQuestion&) = delete;
        WithoutQuestion& operator=(const WithoutQuestion&) = delete;

    private:
        bool m_old;
    };
    // Whether the Ctrl key is held while the menu is built; tests answer it.
    static std::function<bool()> CtrlHeld;

    void miEditInternClick(QObject* Sender);
    void miRevisionEditClick(QObject* Sender);
    void miRevisionLockClick(QObject* Sender);
    void miRevisionUpdateClick(QObject* Sender);
    void miRevisionUnlockClick(QObject* Sender);
    void miRevisionOpenDirClick(QObject* Sender);

    // Where a working copy of fileName goes in folder: the name reduced to a file name, with
    // "_1", "_2", ... before the extension while a file of that name exists.
    static QString FreeWorkingCopyPath(const QString& folder, const QString& fileName);
    // Whether the user counts as administrator of documents.
    static bool IsAdmin();
    // Whether taking the working copy back makes a new revision (else it replaces the file).
    static bool TakesBackAsRevision(const TDokument& doc);

    TDokument* Dokument() const { return FDokument; }
    QAction* ParentItem() const { return FParentItem; }

    QPointer<TVoskMenuItem> miEditIntern;
    QPointer<TVoskMenuItem> miRevisionEdit;
    QPointer<TVoskMenuItem> miRevisionLock;
    QPointer<TVoskMenuItem> miRevisionUpdate;
    QPointer<TVoskMenuItem> miRevisionUnlock;
    QPointer<TVoskMenuItem> miSeparator;
    QPointer<TVoskMenuItem> miRevisionOpenDir;

private:
    TVoskMenuItem* makeItem(QPointer<TVoskMenuItem>& item, const QString& name,
                            void (TSperrDokuPopupMenu::*handler)(QObject*));
    QWidget* OwnerForm() const;
    QWidget* requireOwnerForm(const QString& handler) const;
    void DoAction(QObject* Sender, TSperrDokuActionType ActionType);
    bool ask(QObject* Sender) const;
    // The ids the unlock releases: the grid's selected rows, else the document's own.
    QList<int> selectedIds() const;
    bool anySelectedDelayedUpload(const QList<int>& ids) const;

    QPointer<QAction> FParentItem;
    QPointer<TDokument> FDokument;
    QPointer<TVoskGridView> FGridView;
    bool FInsertAfterParentItem;
    int m_insertPosition = 0;
};
