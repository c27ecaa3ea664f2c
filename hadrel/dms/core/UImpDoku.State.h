#pragma once
// What the document window shows of a document's state: the state bits of a node, their texts and
// icons, the lock state, the node images, and which actions and tool groups the focused node
// allows. Pure functions, so that the window and its tests share them.

#include <QList>
#include <QString>

class TDokument;

namespace DokState {

enum Bits : int {
    ListOutputActive = 1,
    ListOutputDefined = 2,
    ReportPrint = 4,
    AutoExport = 8,
    LockedByMe = 16,
    Locked = 32,
    CheckedOut = 64,
    OtherTable = 128,
    FileLink = 256,
    HasRevisions = 512,
    Hidden = 1024,
    Archived = 2048,
    HasComments = 4096,
    Standard = 8192,
    Linked = 16384,
    InitialFolder = 32768,
    LockMask = LockedByMe | Locked | CheckedOut,
};

// Node kinds of the tree.
enum Kind : int { nkNone = 0, nkRoot = 1, nkFolder = 2, nkCustomFolder = 3, nkDocument = 9 };

// Image indexes of the shared image list that the tree and the state display use.
enum Image : int {
    imgRoot = 1,
    imgFolderFull = 38,
    imgFolderEmpty = 151,
    imgImporting = 36,
    imgCustomFolder = 37,
    imgHidden = 126,
    imgDms = 127,
    imgStandard = 128,
    imgOther = 282,
};

// The state bits of a document shown for the window's table; initialPath is the window's initial
// folder setting (a document id there marks it too).
int GetDokumentState(const TDokument& doc, const QString& windowTable,
                     const QString& initialPath);
// The image of a document node: hidden, else standard, else stored, else custom folder, else
// other.
int DokumentImage(const TDokument& doc);

struct LockState {
    int textNr = 0;
    QString text; // German
    int icon = -1;
    bool any() const { return icon >= 0; }
};
// The lock state of the bits (first match of: checked out by me, locked by me, checked out,
// locked); none when no lock bit is set.
LockState LockStateOf(int states);

// The label under the preview: one line per state in the display order. report and linkedTable
// complete the lines of bits 4 and 16384 (the report's text, the alias of the document's table).
// Texts come through makeText with the German defaults.
QString StatesText(int states, const QString& report, const QString& linkedTable);
// The icons of the status column, left to right.
QList<int> StateIcons(int states);
// The status column draws a red bar when its icons run past the cell: left + 16 per icon - 5 >
// right.
bool StateIconsOverflow(int iconCount, int cellLeft, int cellRight);

// What the window knows of the focused node when it decides the tool groups and actions.
struct NodeFacts {
    int kind = nkNone;
    bool dmsViewDokument = false;
    bool dmsEditDokument = false;
    bool fileLink = false;
    bool locked = false;       // by anyone
    bool lockedByMe = false;
    QString lockedPath;        // the user's working copy
    QString checkoutFileName;  // any user's
    bool standard = false;     // preview document
    bool initialFolder = false;
    bool eloInstalled = false;
    bool eloFieldNull = true;
};

// Which tool groups show and which actions are visible or enabled.
struct ActionState {
    bool isDok = false, isFolder = false, isCustom = false, isLockedDok = false,
         isCheckout = false;
    bool barFileActionsSmall = false, barFileActions = false, barDocumentView = false,
         barDocumentExport = false, barDocuTree = false, barDocumentEdit = false;
    bool editTabVisible = false;
    bool docEditRevisionImportEnabled = false;
    bool documentViewInternVisible = false, documentViewExternEnabled = false;
    bool documentViewEloVisible = false, documentViewEloEnabled = false;
    bool documentInfoPropertiesVisible = false;
    bool documentPreviewIsEnabled = false, documentPreviewIsChecked = false;
    bool exportEnabled = false; // print, mail, save as
    bool folderInitialEnabled = false, folderInitialChecked = false, folderNewEnabled = false;
    bool docEditImportLinkedFileEnabled = false;
    bool docEditInternalVisible = false;
    bool docEditRevisionExternalEnabled = false; // and ...Block
    bool docEditRevisionCheckoutVisible = false; // ...External2, ...OpenDir; Update enabled
    bool docEditRevisionUnlockEnabled = false;
    int docEditRevisionUnlockTextNr = 17926;
    QString docEditRevisionUnlockCaption;
    bool deleteRenameEnabled = false;
};
ActionState ActionRules(const NodeFacts& facts);

} // namespace DokState
