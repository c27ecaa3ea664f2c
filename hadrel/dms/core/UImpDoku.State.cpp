#include "UImpDoku.State.h"

#include <UDM1.h>
#include <Ukorvexclasses.Dokument.h>

namespace DokState {

int GetDokumentState(const TDokument& d, const QString& windowTable, const QString& initialPath) {
    if (!d.HasDocument())
        return 0;
    int s = 0;
    const std::optional<bool> listOutput = d.ListOutput();
    if (listOutput.value_or(false))
        s |= ListOutputActive;
    if (listOutput.has_value())
        s |= ListOutputDefined;
    if (d.HasReport())
        s |= ReportPrint;
    if (d.HasAutoExport())
        s |= AutoExport;
    if (d.isLocked(false)) {
        s |= Locked;
        if (d.isLockedByMe() && !d.LockedElsewhere())
            s |= LockedByMe;
    }
    if (d.IsCheckedOut())
        s |= CheckedOut;
    if (d.isDMSDokument()) {
        const QString table = d.TableName();
        if (!table.isEmpty() && table.compare(windowTable, Qt::CaseInsensitive) != 0)
            s |= OtherTable;
    }
    if (d.isFileLink())
        s |= FileLink;
    if (d.HasRevisions())
        s |= HasRevisions;
    if (d.IsHidden())
        s |= Hidden;
    if (d.IsArchived())
        s |= Archived;
    if (d.HasComments())
        s |= HasComments;
    if (d.IsStandard())
        s |= Standard;
    if (d.IsLinked())
        s |= Linked;
    if (!initialPath.isEmpty() && d.IdText() == initialPath)
        s |= InitialFolder;
    return s;
}

int DokumentImage(const TDokument& d) {
    if (d.IsHidden())
        return imgHidden;
    if (d.IsStandard())
        return imgStandard;
    if (d.isDMSDokument())
        return imgDms;
    if (d.isCustomFolder())
        return imgCustomFolder;
    return imgOther;
}

LockState LockStateOf(int states) {
    const int lock = states & LockMask;
    if (lock == LockMask)
        return {31142, QStringLiteral("Ausgecheckt (von mir)"), 271};
    if (lock & LockedByMe)
        return {31143, QStringLiteral("Gesperrt (von mir)"), 270};
    if ((lock & (Locked | CheckedOut)) == (Locked | CheckedOut))
        return {31151, QStringLiteral("Ausgecheckt"), 268};
    if (lock & Locked)
        // Its text number names the memo editor's "Einfügen" group in the text table, so the
        // German text stands here alone.
        return {0, QStringLiteral("Gesperrt"), 267};
    return {};
}

namespace {
QString text(int nr, const QString& def) { return nr > 0 ? makeText(nr, def) : def; }
} // namespace

QString StatesText(int s, const QString& report, const QString& linkedTable) {
    QStringList lines;
    if (s & OtherTable)
        lines << QStringLiteral("aus anderer Tabelle");
    if (s & ListOutputActive)
        lines << text(31140, QStringLiteral("Listenausgabe definiert und aktiviert"));
    else if (s & ListOutputDefined)
        lines << text(31141, QStringLiteral("Listenausgabe definiert"));
    if (const LockState l = LockStateOf(s); l.any())
        lines << text(l.textNr, l.text);
    if (s & FileLink)
        lines << text(31144, QStringLiteral("File-Link (nicht im DMS)"));
    if (s & HasRevisions)
        lines << text(17919, QStringLiteral("Revisionen vorhanden"));
    if (s & Hidden)
        lines << text(31145, QStringLiteral("Dokument ist ausgeblendet"));
    if (s & Archived)
        lines << text(31146, QStringLiteral("Dokument ist archiviert"));
    if (s & HasComments)
        lines << text(31147, QStringLiteral("Kommentare auf Dokument vorhanden"));
    if (s & Standard)
        lines << text(31148, QStringLiteral("Standard-Dokument"));
    if (s & Linked)
        lines << text(31149, QStringLiteral("Verlinkt")) + QStringLiteral(" « ") + linkedTable;
    if (s & ReportPrint)
        lines << text(31009, QStringLiteral("Report drucken")) + QStringLiteral(" » ") + report;
    if (s & AutoExport)
        lines << text(31150, QStringLiteral("AutoExport definiert"));
    if (s & InitialFolder)
        lines << text(31012, QStringLiteral("Initial-Ablageordner"));
    QString result;
    for (const QString& line : lines)
        result += line + QStringLiteral("\r\n");
    while (!result.isEmpty() && result.back().isSpace())
        result.chop(1);
    return result;
}

QList<int> StateIcons(int s) {
    QList<int> icons;
    if (s & OtherTable)
        icons << 206;
    if (s & ListOutputActive)
        icons << 28;
    else if (s & ListOutputDefined)
        icons << 265;
    if (const LockState l = LockStateOf(s); l.any())
        icons << l.icon;
    if (s & Standard)
        icons << 128;
    if (s & Linked)
        icons << 92;
    if (s & ReportPrint)
        icons << 275;
    if (s & AutoExport)
        icons << 158;
    if (s & InitialFolder)
        icons << 37;
    return icons;
}

bool StateIconsOverflow(int iconCount, int cellLeft, int cellRight) {
    return cellLeft + 16 * iconCount - 5 > cellRight;
}

ActionState ActionRules(const NodeFacts& f) {
    ActionState a;
    a.isDok = f.kind == nkDocument || f.kind == nkCustomFolder;
    a.isFolder = f.kind == nkFolder || f.kind == nkCustomFolder;
    a.isCustom = f.kind == nkCustomFolder;
    a.isLockedDok = f.kind == nkDocument && f.locked;
    a.isCheckout = a.isLockedDok && !f.checkoutFileName.isEmpty();

    a.editTabVisible = a.isDok;
    a.barFileActionsSmall = a.isDok || a.isFolder;
    a.docEditRevisionImportEnabled = a.isDok;
    a.barFileActions = !a.isDok;
    a.barDocumentView = a.isDok;
    a.documentViewInternVisible = a.isDok && f.dmsViewDokument;
    a.documentViewExternEnabled = a.isDok;
    a.documentViewEloVisible = f.eloInstalled && a.isDok;
    a.documentViewEloEnabled = f.eloFieldNull;
    a.documentInfoPropertiesVisible = a.isDok || a.isCustom;
    a.documentPreviewIsEnabled = a.isDok;
    a.documentPreviewIsChecked = f.standard;
    a.barDocumentExport = a.isDok;
    a.exportEnabled = a.isDok;
    a.barDocuTree = !a.isDok;
    a.folderInitialEnabled = a.isFolder;
    a.folderInitialChecked = a.isFolder && f.initialFolder;
    a.folderNewEnabled = a.isFolder && !a.isCustom;
    a.barDocumentEdit = a.isDok;
    a.docEditImportLinkedFileEnabled = a.isDok && f.fileLink;
    a.docEditInternalVisible = a.isDok && (!f.locked || f.lockedByMe) &&
                               f.lockedPath.isEmpty() && f.dmsEditDokument;
    a.docEditRevisionExternalEnabled = a.isDok && !a.isLockedDok;
    a.docEditRevisionCheckoutVisible = a.isDok && a.isCheckout;
    a.docEditRevisionUnlockEnabled = a.isDok && a.isLockedDok;
    if (f.lockedPath.isEmpty()) {
        a.docEditRevisionUnlockTextNr = 17926;
        a.docEditRevisionUnlockCaption = makeText(17926, QStringLiteral("Dokument entsperren"));
    } else {
        a.docEditRevisionUnlockTextNr = 17957;
        a.docEditRevisionUnlockCaption =
            makeText(17957, QStringLiteral("Dokument entsperren (Änderung verwerfen)"));
    }
    a.deleteRenameEnabled = a.isDok || a.isCustom;
    return a;
}

} // namespace DokState
