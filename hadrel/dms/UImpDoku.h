#pragma once
// The document window of one record ("Objektablage"): a ribbon with the document actions, on the
// left the record's folder tree with its documents (page "Dokumentstruktur") and the list-output
// page, on the right a preview of the focused document with its states below it.
//
// The tree is rebuilt from the database (TreeMenuCreate) when the window opens, on the header's
// refresh and after a document was posted; node pointers never survive a rebuild, so every code
// path that spans a post keeps the node's id and selects it again. The rebuild after a post is
// queued and merged: several posts in one go rebuild once.
//
// The actions of the ribbon follow the focused node (UImpDoku.State.h); the window creates all of
// them with their names so that the import, lock, export and properties code places and runs
// them. A tool group shows only while it holds a button.

#include "UGrundModulForm.h"
#include "UModulFormSeams.h"

#include <UDokuClassKey.h>
#include <UFileImportMode.h>
#include <UImpDoku.Tree.h>

#include <QHash>
#include <QPoint>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QFileSystemWatcher;
class QGroupBox;
class QDrag;
class QMimeData;
class QToolButton;
class QLabel;
class QLineEdit;
class QMenu;
class QTabWidget;
class QTimer;
class QTreeView;
class TDokument;
class TPanel;
class TSperrDokuPopupMenu;
class TTopLabelFrame;
class TVoskButton;
class TVoskLabel;
class TVoskClass;
class TVoskClass2;
class TVoskDBGrid2;
class TVoskDocumentViewer;
class TVoskQuery2;
class TVoskRibbon;
class TVoskRibbonGroup;
class TVoskRibbonTab;

class TFormDokments : public TFormKorvexGundForm, public UModulFormSeams::IFormDokments {
    Q_OBJECT
public:
    TFormDokments(QObject* owner, const QString& tableName, const QString& recId,
                  TVoskClass* toVoskClass);
    ~TFormDokments() override;

    // Opens the window of a record, shown without blocking, with its tree built (the dialog
    // hook of the database layer).
    static TFormDokments* ShowDokumentsForm(QObject* owner, const QString& tableName,
                                            const QString& recId, QObject* toVoskClass);
    // Shows a document: in the viewer when it can show it, else (read-only only) a local copy
    // opened by the desktop. Returns the viewer's window.
    static QObject* OpenDokument(QWidget* ownerForm, TDokument* doku, bool readOnly);
    static QObject* OpenDokument(QWidget* ownerForm, int pdId, bool readOnly);
    static QObject* _OpenDokument(QObject* ownerForm, TDokument* doku, bool readOnly);
    static QObject* _OpenDokumentC(QObject* ownerForm, int pdId, bool readOnly);
    // Opens a local copy of the document with the desktop's program, read-only when it is held
    // by the document management.
    static void OpenLocalCopy(TDokument* doku);
    // The message of the internal view while no viewer is loaded.
    static QString NoViewerText();

    // ---- fields --------------------------------------------------------------------------------
    TDokuClassKey _KeySearch;
    QString _ClassName;
    QString _TableName;
    QString _RecId;
    QString _InitialPath;
    bool IsLoading = false;
    int FAnzahl = 0;
    QPointer<QWidget> OwnerModulForm;
    QPointer<QObject> FSperrDoku;
    QString _AlternateDokIdent;
    TFileImportMode FLastDropMode = fimAbort;
    int FLastDropIndex = 0;
    // Distinguishes the windows of one session in a node dragged between them.
    const quint64 FWindowSerial;

    // ---- components ----------------------------------------------------------------------------
    TVoskRibbon* RibbonDokumentMain;
    TVoskRibbonTab* RibbonTabView;    // "Dokument anzeigen / aufnehmen"
    TVoskRibbonTab* RibbonTabEdit;    // "Dokument bearbeiten"
    TVoskRibbonTab* RibbonTabOptions; // "Optionen / Verhalten"
    TVoskRibbonGroup* BarFileActions;
    TVoskRibbonGroup* BarFileActionsSmall;
    TVoskRibbonGroup* barDocumentView;
    TVoskRibbonGroup* barDocumentExport;
    TVoskRibbonGroup* BarDocuTree;
    TVoskRibbonGroup* barDocumentEdit;
    TVoskRibbonGroup* barOptions;
    TVoskRibbonGroup* barCloseDocuments;
    TTopLabelFrame* TopLabelFrame1;
    TVoskClass2* SqlRefrechDummy;
    QTabWidget* pcDokTree;
    QWidget* RegDokumentTree;
    QWidget* RegDokuLinks;
    QTreeView* TreeDocuments;
    TDokuTreeModel* TreeModel;
    TVoskDocumentViewer* VoskDocumentViewer1;
    QLabel* lbDokuStates;
    QLineEdit* edDokuLinks;
    TVoskDBGrid2* gridDokuLinks;
    TVoskClass2* SqlDokuLinks;
    std::unique_ptr<TVoskQuery2> SqlDokuTypes; // the table's document types, read-only
    TDokument* DokumentLoadTree;
    QMenu* pmTreeDocuments;
    QAction* miView;
    QAction* miOpen;
    QAction* miDokuType; // "Dokumenttyp zuweisen" (F2)

    QAction* acOptDocsHiddenVisible;
    QAction* acStandardInitial;
    QAction* acEditWaitDialog;
    QAction* acCloseDocuments;
    QAction* acCloseDocumentsYes;
    QAction* acCloseDocumentsNo;
    QAction* acDocumentViewIntern;
    QAction* acDocumentViewExtern;
    QAction* acDocumentViewElo;
    QAction* acDocumentInfoProperties;
    QAction* acDocumentPreviewIs;
    QAction* acDocumentExportPrint;
    QAction* acDocumentExportMail;
    QAction* acDocumentExportFileSaveAs;
    QAction* acFolderInitial;
    QAction* acFolderNew;
    QAction* acDocEditRevisionImport;
    QAction* acDocEditImportlinkedFile;
    QAction* acDocEditInternal;
    QAction* acDocEditRevisionExternal;
    QAction* acDocEditRevisionBlock;
    QAction* acDocEditRevisionExternal2;
    QAction* acDocEditRevisionOpenDir;
    QAction* acDocEditRevisionUpdate;
    QAction* acDocEditRevisionUnlock;
    QAction* acDocEditDeleteDoc;
    QAction* acDocEditRename;
    QAction* acDocFromFile; // the file import

    // ---- life cycle (UImpDoku.cpp) -------------------------------------------------------------
    void FormCreate(QObject* sender) override;
    void FormShow(QObject* sender) override;
    void FormActivate(QObject* sender) override;
    void FormDeactivate(QObject* sender) override;
    void FormClose(QObject* sender, Vcl::TCloseAction& action) override;
    bool CloseQuery() override;
    void LoadCompSettings(QWidget* control) override;
    void ReloadCompSettings(QWidget* control, const QString& state) override;
    void acCloseDocumentsExecute(QAction* sender);
    void acStandardInitialExecute();
    void acEditWaitDialogExecute();
    void acOptDocsHiddenVisibleExecute();
    void pcDokTreeChange();
    // The columns "Drag&Drop", "Typ", "Datum" and "Status" show only above 450 pixels.
    void ApplyTreeWidth(int width);
    // The previews (forms of class "TFormFilePreview") that owner owns.
    static QList<QWidget*> PreviewsOwnedBy(QObject* owner);
    void acDocumentViewInternExecute();
    void acDocumentViewExternExecute();
    // The header's refresh: rebuild and select the same node again.
    void HeaderRefresh();

    // ---- tree (UImpDoku.Tree.cpp) --------------------------------------------------------------
    void TreeMenuCreate(bool autoAskNewDok) override;
    void CheckNodeAndUpdate();
    TDokuTreeNode* FindNode(const QString& nodeId, bool checkExists = false,
                            TDokuTreeNode* parentSearchNode = nullptr) const;
    bool TreeMenuSelect(const QString& nodeId) override;
    TDokuTreeNode* FocusedNode() const;
    TDokuTreeNode* GetRootNode() const;
    bool NodeIsRoot(const TDokuTreeNode* node) const;
    bool NodeIsFolder(const TDokuTreeNode* node = nullptr) const;
    bool NodeIsCustomFolder(const TDokuTreeNode* node = nullptr) const;
    bool NodeIsDocument(const TDokuTreeNode* node = nullptr) const;
    QString GetNodeId(const TDokuTreeNode* node = nullptr) const;
    QString GetNodeCaption(const TDokuTreeNode* node = nullptr) const;
    void UpdateFileCount(int increment);
    void ResetStandardImages(TDokuTreeNode* node);
    // The node's document data from the current document (image, caption, type, states, ...).
    TDokuDocumentNodeData DocumentNodeData(const TDokument& doc) const;
    // Rebuilds the tree after the current posts and selects nodeId again.
    void RequestRebuild(const QString& nodeId);
    bool RebuildPending() const { return m_rebuildPending; }

    // ---- state and display (UImpDoku.State.cpp) -----------------------------------------------
    int GetDokumentState(const TDokument& doc) const;
    void TreeDocumentsFocusedNodeChanged(QObject* sender, TDokuTreeNode* node);
    bool TreeDocumentsCanSelectNode(TDokuTreeNode* node);
    void TreeDocumentsDblClick();
    bool TreeDocumentsKeyDown(int key);
    void TreeDocumentsKeyUp(int key);
    // The drop-down list of the type column; false refuses it (the editor does not open).
    bool TreeDocumentsDoktypePropertiesInitPopup();
    void TreeDocumentsDoktypePropertiesValidate(const QString& descr);
    QStringList DokTypeDescriptions() const { return m_dokTypeDescrs; }
    void CheckDokument1Assignment(TDokuTreeNode* node = nullptr);
    // The preview follows the focus once the events are handled: a run of focus changes (an
    // import batch, a held arrow key) reads and renders only the last document (0: none).
    void PreviewLater(int pdId);

    // ---- output and scanning (UImpDoku.Output.cpp) ----------------------------------------------
    QAction* acDocumentSetReportPrinter = nullptr;
    QAction* acDocFromScannerWithoutBarcodesMultiPage = nullptr;
    QAction* acScanDialogOpen = nullptr;
    QAction* acDocFromWebCam = nullptr;
    QAction* rbDragDrop = nullptr;
    QToolButton* btDragDrop = nullptr;
    // Anchors of the printer lookups (f2poss rows of this form by these names).
    QObject* miPrint = nullptr;
    QObject* miSetReportPrinter = nullptr;
    void acDocumentViewEloExecute();
    void acDocumentExportFileSaveAsExecute();
    void acDocumentExportPrintExecute();
    void acDocumentExportMailExecute();
    void acDocumentPreviewIsExecute();
    void acDocumentSetReportPrinterExecute();
    void acScanPageExecute(QAction* sender);
    void btDragDropMouseDown();
    void rbDragDropClick();
    void VoskDragSource1AfterDrop();
    void VoskDragSource1CancelDrop();
    // Copies the focused document into the session's drag-out folder under its drag-out name and
    // drags that file out; the tree takes no drop meanwhile.
    void StartFileDrag();
    // How a file drag runs: the platform's drag by default; tests answer it.
    static Rtl::HookSlot<Qt::DropAction(QDrag* drag)> ExecuteFileDragProc;

    // ---- properties window (UImpDoku.Properties.cpp) -------------------------------------------
    // Opens the properties window of the focused document, owned by this window.
    void acDocumentInfoPropertiesExecute();
    // The properties window closes: the tree is rebuilt around the same node, so that a changed
    // type, folder or name shows.
    void miDokuInfoClose(Vcl::TForm* sender, Vcl::TCloseAction& action);
    // ---- import (UImpDoku.Import.cpp) -----------------------------------------------------------
    QAction* acDocFromFileAction() const { return acDocFromFile; }
    TFileImportMode GetFileImportMode(const QString& doktype, TFileImportMode DefaultMode);
    static TFileImportMode AskUserForFileImportMode(TFileImportMode Default);
    void acDocFromFileExecute();
    // Stores one file as a document of the record; returns its id. PathName, when set, gives
    // the stored name (its file-name part) in place of Filename's.
    int LoadDocument(TFileImportMode ImportMode, const QString& Filename, bool LoadIntoRoot,
                     const QString& PathName = {});
    // One dropped file: FileSaveName the local path, FileName the name shown for it, FileIndex
    // its place in the drop (0 for the first).
    void VoskDropTarget1FileDrop(const QString& FileSaveName, const QString& FileName,
                                 int FileIndex);
    // A drop of files or of a mail on the tree: checks it whole, then imports file by file.
    void DropMimeData(const QMimeData* data);
    void miLinkImportClick();
    // The folders whose files are copied without asking (the system's and the session's
    // temporary folders).
    static QStringList TempFolders();

    // ---- revisions, folders, drag and drop (UImpDoku.Folders.cpp) -------------------------------
    QAction* miRevisionArchive = nullptr;
    QAction* miRevisionSpecifyValid = nullptr;
    QAction* miNewGroup = nullptr;
    QAction* miDelete = nullptr;
    void acDocEditRevisionArchiveExecute(QObject* Sender);
    void acDocEditRenameExecute();
    void acDocEditDeleteDocExecute();
    void acFolderNewExecute();
    void acFolderInitialExecute();
    void miDokuTypeClick();
    // A check box of the report-link grid changed: dir_aktiv for a folder, dok_aktiv for a
    // document.
    void gridDokuLinksAktivChanged(const QString& field, int radId, bool checked);
    void pmTreeDocumentsPopup();
    // Tree drag and drop of nodes.
    QMimeData* NodeMimeData(const TDokuTreeNode* node) const;
    bool TreeDocumentsDragOver(const QMimeData* data, TDokuTreeNode* target);
    void TreeDocumentsDragDrop(const QMimeData* data, TDokuTreeNode* target);
    // How a node drag runs: the platform's drag by default; tests answer it.
    static Rtl::HookSlot<Qt::DropAction(QDrag* drag)> ExecuteNodeDragProc;
    QAction* miNewGroupOnDok = nullptr;
    QAction* miExportGroup = nullptr; // the output actions, shown while one of them may run
    QAction* miPreview = nullptr;     // the preview option
    QAction* miRevisionImport = nullptr;
    // The revision options for a type's "ImportMode": member 1 (delete the source) set for
    // "MOVE", cleared for "COPY", asked for "COPY_AskDEL", else as it starts.
    static int RevisionOptions(const QString& importMode, const std::function<bool()>& askDelete);

    // ---- the module form's seam ----------------------------------------------------------------
    QWidget* Window() override { return this; }
    void SetOwnerModulForm(QWidget* form) override { OwnerModulForm = form; }
    void SetAlternateDokIdent(const QString& ident) override { _AlternateDokIdent = ident; }
    void Show() override;
    // The current document, bound to the preview.
    TDokument* Dokument1() override { return m_dokument1; }
    // After a document changed elsewhere (a viewer closed, a lock taken): atNodeUpdate refreshes
    // the focused node, atNodeChange rebuilds the tree around the same document and keeps the
    // ribbon's tab.
    void SperrDokuAction(QObject* Sender, QObject* Source,
                         UModulFormSeams::TSperrDokuActionType ActionType) override;

    // ---- locks, check-outs and their watch (UImpDoku.Lock.cpp) ---------------------------------
    QAction* miEditGroup = nullptr;            // the lock submenu's place in the tree's menu
    QAction* miEnableFileMonitoring = nullptr; // "Dateiüberwachung aktivieren"
    QGroupBox* gbDocumentCheck = nullptr;      // the monitor rows at the foot of the tree
    TPanel* pnDocumentCheckTemplate = nullptr; // Tag 0: never a row
    TVoskLabel* lbDocumentCheckName = nullptr;
    TVoskButton* btDocumentCheckUpdate = nullptr;
    TVoskButton* btDocumentCheckCancel = nullptr;
    TVoskButton* btDocumentCheckSelect = nullptr;
    QTimer* tiDocumentCheck = nullptr;
    // The lock submenu under miEditGroup, made on first use.
    TSperrDokuPopupMenu* SperrDoku();
    // The seven edit actions, each run by its handler of the lock submenu.
    void acDocEditRevisionEditExecute(QObject* Sender);
    // The modal wait dialog over the document's working copy; always ends with the silent abort.
    void DocumentCheck_Dialog(TDokument& Dokument);
    void DocumentCheck_Add(const TDokument& Dokument);
    TPanel* DocumentCheck_Find(int pdId) const;
    void DocumentCheck_Remove(int pdId);
    QList<TPanel*> DocumentCheckRows() const;
    void tiDocumentCheckTimer();
    void btDocumentCheckClick(QObject* Sender);
    void miEnableFileMonitoringClick();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    // The setting that keeps the user's initial folder of this table.
    QString InitialPathSetting() const;
    void buildOutput();
    void buildProperties();
    void buildImport();
    void buildFolders();
    // The folder a new document or folder goes into: the focused document's parent, else the
    // focused node.
    QString TargetFolderId() const;
    // Adds the node of the current document under its folder, which then shows that it holds
    // one, focuses it and counts it; the caller shows the count on the tab.
    void AddDocumentNode(int kind, int image);
    // The node of a file being imported (id "0"), shown and focused until the document is
    // stored; its removal focuses focusId (none: the focus stays to the caller).
    static constexpr const char* kProvisionalNodeId = "0";
    void ShowProvisionalNode(const QString& folderId, const QString& caption, qint64 size);
    void RemoveProvisionalNode(const QString& focusId);
    // Turns the provisional node into the current document's node and focuses it; false when
    // there is none (a rebuild took it).
    bool CompleteProvisionalNode();
    // The document count on the tab and the window's raise after imports, once per batch; the
    // tree view catches up with the focused node then as well.
    void ShowImportLater();
    bool m_importShowPending = false;
    // Focuses node in the model only: the view would lay out the whole tree for each imported
    // file. ShowImportLater brings it up to date.
    void FocusDuringImport(TDokuTreeNode* node);
    void CatchUpTreeView();
    bool m_treeViewBehind = false;
    // A modal lookup on field: the chosen row's columns, nothing when it was cancelled.
    std::optional<QStringList> LookupRow(QObject* field, const QStringList& params,
                                         const QStringList& columns);
    // Dokument1 on the record's documents (by keyword when the record has a key), to append.
    void AttachDokument1();
    // The report links' check boxes on the grid's columns (after it opened).
    void SetLinkCheckColumns();
    QHash<QString, class TVoskCheckColumn*> m_linkChecks;
    void buildForm();
    void buildActions();
    void hideHeaderTools();
    void installTreeHandlers();
    QAction* makeAction(const QString& name, int textNr, const QString& caption,
                        const QString& icon = {});
    void updateGroupVisibility();
    QString closeDocumentsKey() const;
    void applyFolderRow(TDokuTreeNode* node);
    void moveStoredFileToType();
    QIcon imageIcon(int image) const;
    void buildDocumentCheck();
    // After a lock action: the wait dialog or a monitor row for the focused document while the
    // user has it checked out, else its row goes.
    void DocumentCheck_Follow(UModulFormSeams::TSperrDokuActionType ActionType);
    void DocumentCheck_ShowUpdateButtons();
    void resizeDocumentCheck();
    QFileSystemWatcher* m_checkWatcher = nullptr;

    TDokument* m_dokument1 = nullptr;
    QPointer<TVoskClass> m_ownerClass;
    QStringList m_dokTypeDescrs;
    bool m_rebuildPending = false;
    bool m_previewPending = false;
    std::optional<bool> m_eloInstalled;
    int m_previewId = 0;
    QString m_rebuildId;
    bool m_destroying = false;
    bool m_treeAcceptedDrops = false; // while a drag out runs
    QPoint m_dragPressPos;            // a press in the tree's drag column, not yet a drag
};
