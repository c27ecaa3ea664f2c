// Storing what the user changed in the TIFF viewer: the pages as one multipage TIFF (the file of a
// new document, or a new revision), each page's annotation data, the annotation flag and the stamp
// SQL, all in one transaction of the document's connection; the close question; deleting a page
// and the switch from page editing to annotating.
#include "UFileViewerTIFF.h"

#include "UFileViewerTIFF.Stamps.h"

#include <AnnotChanges.h>
#include <Dataclient_files.h>
#include <EventGuard.h>
#include <FaultPoint.h>
#include <Korvexutils.h>
#include <TVoskRibbon.h>
#include <UDM1.h>
#include <VoskDatabase.h>
#include <VoskTransaction.h>
#include <view/TImageEnVect.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QPushButton>
#include <QScopeGuard>
#include <QToolButton>

#include <algorithm>
#include <optional>

namespace {

const QString kSaveSource = QStringLiteral("TFileViewerFrameTIFF.btEditSaveClick");

QString textMinOnePage() {
    return makeText(17133, QStringLiteral("Mindestens eine Seite muß vorhanden bleiben."));
}

void logEvent(const QString& text) {
    if (DM1())
        DM1()->LogEvent(text);
}

// Identity of the document for the rights checks: a document still being inserted has no id yet
// and the type and ident it is about to get.
struct DokumentIdentity {
    int id = 0;
    QString type, ident;
};

DokumentIdentity identityOf(TDokument& d) {
    if (d.NewDocumentFlag())
        return {0, d.InsertData().DokType, d.InsertData().DokIdent};
    return {d.Id(), d.DokType(), d.DokIdent()};
}

// The save started from a revision that is no longer the valid one: nothing was stored, the
// edits are still on screen. The user may load the valid revision instead (dropping them).
[[noreturn]] void offerValidRevision(TFileViewerFrameTIFF& viewer, TDokument& dok,
                                     const TDokument::EStaleRevision& stale) {
    if (stale.ValidId <= 0)
        throw stale;
    if (Korvexutils::RaiseQuestionYes(
            stale.Message() +
                QStringLiteral("\n\nDie gültige Revision jetzt laden? Ihre ungespeicherten "
                               "Änderungen werden dabei verworfen."),
            false, QString())) {
        const bool editable = viewer.EditablePages() >= 2;
        dok.AssignToDokId(stale.ValidId);
        viewer.Recreate(&dok, editable);
    }
    throw EAbort();
}

// The bytes of a revision being stored, telling how far the store has read them.
class TProgressBuffer final : public QBuffer {
public:
    TProgressBuffer(QByteArray* bytes, std::function<void(qint64, qint64)> progress)
        : QBuffer(bytes), m_progress(std::move(progress)) {}

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 n = QBuffer::readData(data, maxSize);
        if (n > 0 && m_progress)
            m_progress(pos() + n, size());
        return n;
    }

private:
    std::function<void(qint64, qint64)> m_progress;
};

} // namespace

int TFileViewerFrameTIFF::RevisionOptions(const TDokument& Dokument) {
    return 0x75 | (Dokument.IsStandard() ? 0x08 : 0);
}

QAction* TFileViewerFrameTIFF::commandButton(TVoskRibbonGroup* group, const char* name,
                                             const QString& caption, const char* icon,
                                             const QString& hint, bool large) {
    QToolButton* b = group->AddButton(QString::fromLatin1(name), caption,
                                      QIcon::fromTheme(QString::fromLatin1(icon)), {},
                                      large ? TVoskRibbonGroup::Large : TVoskRibbonGroup::Small);
    b->defaultAction()->setToolTip(hint);
    return b->defaultAction();
}

void TFileViewerFrameTIFF::bindCommand(QAction* a, void (TFileViewerFrameTIFF::*handler)(QObject*)) {
    connect(a, &QAction::triggered, this,
            [this, a, handler] { Rtl::Guarded([&] { (this->*handler)(a); }, this); });
}

void TFileViewerFrameTIFF::buildSaveCommands() {
    btEditSave = commandButton(tbEdit, "btEditSave", QStringLiteral("Speichern"), "document-save",
                               QStringLiteral("Die Seiten und Anmerkungen speichern"), true);
    btEditDelete = commandButton(tbEdit, "btEditDelete", QStringLiteral("Seite löschen"), "edit-delete",
                                 QStringLiteral("Die markierte Seite löschen"), false);
    btEditAnnot = commandButton(tbEdit, "btEditAnnot", QStringLiteral("Anmerkungen"), "document-edit",
                                QStringLiteral("Das Bearbeiten der Seiten beenden und Anmerkungen bearbeiten"),
                                false);
    btAnnotSave = commandButton(tbAnnotations, "btAnnotSave", QStringLiteral("Speichern"), "document-save",
                                QStringLiteral("Die Anmerkungen speichern"), false);
    bindCommand(btEditSave, &TFileViewerFrameTIFF::btEditSaveClick);
    bindCommand(btAnnotSave, &TFileViewerFrameTIFF::btEditSaveClick);
    bindCommand(btHelperSave, &TFileViewerFrameTIFF::btEditSaveClick);
    bindCommand(btEditDelete, &TFileViewerFrameTIFF::btEditDeleteClick);
    bindCommand(btEditAnnot, &TFileViewerFrameTIFF::btEditAnnotClick);
    btHelperSave->setToolTip(btAnnotSave->toolTip());
    SavePages.Set([](TFileViewerFrameTIFF* viewer) { viewer->btEditSaveClick(nullptr); });
}

void TFileViewerFrameTIFF::checkPageCommand() {
    if (FAllowSave && (CanUndo() || m_annot->Changed()) &&
        m_pages->imOverview()->SelectedImage() >= 0)
        Korvexutils::RaiseCriticalError(makeText(
            17131, QStringLiteral("Seiten können nicht bearbeitet werden. Bitte zuerst die "
                                  "Anmerkungen speichern oder verwerfen.")));
    m_pages->FEditablePages = 3;
    ShowOptions();
}

// ---------------------------------------------------------------------------------------------
// Rights and stamps around a save

void TFileViewerFrameTIFF::DokumentChanging() {
    if (!FDokument)
        return;
    const DokumentIdentity who = identityOf(*FDokument);
    TPageList& list = *m_pages->imOverview();
    if (CheckPageChanged())
        Secure_DocumentCheck(list, m_pages->FDeletedPages, who.id, who.type, who.ident);
    if (CheckAnnotChanged())
        Secure_AnnotationCheck(list, m_pages->FDeletedPages, who.id, who.type, who.ident);
}

void TFileViewerFrameTIFF::DokumentChanged() {
    if (!FDokument)
        return;
    if (CheckPageChanged())
        Secure_DocumentSave(FDokument);
    if (!CheckAnnotChanged())
        return;
    // Pages never loaded keep what their stored slot says (they are unchanged); the slots are
    // read in one query, when the first such page needs them.
    TPageList& list = *m_pages->imOverview();
    bool annotated = false;
    const QString remote = FDokument->DMSRemoteFilename();
    TDCFileMethods store(&FDokument->Database());
    std::optional<QList<QByteArray>> storedAnnots;
    for (int i = 0; i < list.ImageCount() && !annotated; ++i) {
        const TPageData* d = list.UserData(i);
        if (d && d->Loadet) {
            annotated = !d->CurAnnotX.isEmpty();
        } else {
            if (!storedAnnots)
                storedAnnots = store.ReadAnnotations(remote, list.ImageCount());
            annotated = !storedAnnots->value(i).isEmpty();
        }
    }
    Secure_AnnotationSave(FDokument, annotated);
    QStringList placed, removed;
    ListChangedAnnot(placed, removed, true);
    for (const QString& seal : std::as_const(placed))
        Secure_SealImageSave(FDokument, seal, smAdded);
    for (const QString& seal : std::as_const(removed))
        Secure_SealImageSave(FDokument, seal, smRemoved);
}

// ---------------------------------------------------------------------------------------------
// The save

std::function<void(qint64, qint64)> TFileViewerFrameTIFF::saveProgress(const QString& text,
                                                                       int from, int to) {
    return [this, text, from, to](qint64 done, qint64 count) {
        if (count > 0)
            SetStatus(text, from + int(double(to - from) * double(done) / double(count)), false);
    };
}

void TFileViewerFrameTIFF::checkPageFormats(const QString& text, int from, int to) {
    // Each page logs its code source: one write for all of them, not one a page.
    const TDM1::TLogBatch logBatch(DM1());
    const auto progress = saveProgress(text, from, to);
    const int count = m_pages->imOverview()->ImageCount();
    for (int i = 0; i < count; ++i) {
        if (i % 64 == 0)
            progress(i, count);
        CheckImageFormatAndSetName(i, kSaveSource);
    }
}

void TFileViewerFrameTIFF::btEditSaveClick(QObject*) {
    if (imCurrentPage->IsMemoEditing())
        Korvexutils::RaiseCriticalError(TextStillEdited());
    imCurrentPageExit(nullptr);
    TPageList* list = m_pages->imOverview();
    if (list->ImageCount() == 0)
        throw EImagesException(17133, textMinOnePage());
    DokumentChanging();

    const bool isNew = FDokument && FDokument->NewDocumentFlag();
    const bool pagesChanged = CheckPageChanged();
    const bool annotChanged = CheckAnnotChanged();
    const bool pagePart = pagesChanged || isNew;
    // Moved pages and deleted stored ones shift the annotation slots too, not only edited
    // annotations.
    const bool annotPart = annotChanged || pagesChanged;
    if (!pagePart && !annotPart)
        return;
    if (!FDokument)
        throw EImagesException(QStringLiteral("Die Seiten können ohne Dokument nicht gespeichert werden."));

    TDokument& dok = *FDokument;
    TVoskDatabase& db = dok.Database();
    TDCFileMethods store(&db);
    const int previousId = isNew ? 0 : dok.Id();
    bool posted = false;
    bool revised = false;
    {
        // Everything up to the commit is one transaction: a failure, or a client killed on the
        // way, stores nothing, and the viewer keeps the user's pages and annotations.
        TVoskTransaction tx(db);
        try {
            // Held to the commit: another user's lock, the user's own on another machine, or a
            // newer revision made since this viewer read the document refuses the whole save.
            if (!isNew)
                dok.LockForSave();
            if (pagePart && isNew) {
                // A preview's document object may never have been opened on any record.
                if (!dok.Active())
                    dok.AssignToDokId(0);
                // What the scan or preview prepared is what the new document gets.
                dok.InsertData().Active = true;
                dok.Insert();
                const QString fileName = TDokument::DMSGenerateFileName(QStringLiteral(".tiff"));
                dok.FieldByName(QString::fromLatin1(TDokument::fnFileName)).SetValue(fileName);
                dok.FieldByName(QString::fromLatin1(TDokument::fnOrigFileName)).SetValue(fileName);
                if (dok.FieldByName(QString::fromLatin1(TDokument::fnSource)).AsString().isEmpty())
                    dok.FieldByName(QString::fromLatin1(TDokument::fnSource)).SetValue(QStringLiteral("image"));
                for (const auto& [param, field] : {std::pair{"pdtablename", TDokument::fnTableName},
                                                   std::pair{"pddbrid", TDokument::fnDbrid}}) {
                    const auto value = dok.FindParam(QString::fromLatin1(param));
                    if (value && !value->isNull() &&
                        dok.FieldByName(QString::fromLatin1(field)).Value().isNull())
                        dok.FieldByName(QString::fromLatin1(field)).SetValue(*value);
                }
                const QString writing = makeText(17110, QStringLiteral("Speichere Bilddatei"));
                SetStatus(writing, 10, false);
                logEvent(kSaveSource);
                checkPageFormats(writing, 10, 13);
                QByteArray tiff = m_pages->SaveToStreamTIFF(saveProgress(writing, 13, 16));
                TProgressBuffer temp(&tiff, saveProgress(writing, 16, 19));
                temp.open(QIODevice::ReadOnly);
                const TDCStoredFile stored = store.WriteFile(temp, dok.DMSRemoteFilename());
                dok.FieldByName(QString::fromLatin1(TDokument::fnHash))
                    .SetValue(QString::fromLatin1(stored.sha256));
                dok.FieldByName(QString::fromLatin1(TDokument::fnMd5))
                    .SetValue(QString::fromLatin1(stored.md5));
                dok.FieldByName(QString::fromLatin1(TDokument::fnDate)).SetValue(QDateTime::currentDateTime());
                SetStatus(QStringLiteral("Dokumentverwaltung aktualisieren"), 20, false);
                dok.Post(true);
                posted = true;
            } else if (pagePart) {
                const QString writing = makeText(17110, QStringLiteral("Speichere Bilddatei"));
                SetStatus(writing, 10, false);
                // The stored file is read once, its hash checked: the pages never loaded are
                // copied from it, as are the loaded ones that stayed as they were.
                m_pages->ReadStoredPages(saveProgress(writing, 10, 30));
                const auto release = qScopeGuard([this] { m_pages->ReleaseStoredPages(); });
                checkPageFormats(writing, 30, 50);
                SetStatus(writing, 50, false);
                logEvent(kSaveSource);
                QByteArray tiff = m_pages->SaveToStreamTIFF(saveProgress(writing, 50, 70));
                m_pages->ReleaseStoredPages();
                TProgressBuffer temp(&tiff, saveProgress(writing, 70, 89));
                temp.open(QIODevice::ReadOnly);
                revised = true;
                dok.CreateNewRevision(temp, RevisionOptions(dok), QStringLiteral("image"), {}, {});
            }
            Rtl::FaultPoint("TFileViewerFrameTIFF.btEditSaveClick.annotations");
            if (annotPart) {
                SetStatus(QStringLiteral("Kommentare speichern"), 90, true);
                const QString remote = dok.DMSRemoteFilename();
                const int count = list->ImageCount();
                // A page never loaded that moved takes its stored slot along: the slots as they
                // are before this loop writes any, read in one query.
                std::optional<QList<QByteArray>> storedAnnots;
                const auto storedSlots = [&]() -> const QList<QByteArray>& {
                    if (!storedAnnots) {
                        int size = count;
                        for (int i = 0; i < count; ++i)
                            if (const TPageData* p = list->UserData(i))
                                size = std::max(size, p->FromIndex + 1);
                        storedAnnots = store.ReadAnnotations(remote, size);
                    }
                    return *storedAnnots;
                };
                bool movedUnloaded = false;
                for (int i = 0; i < count && !isNew && !movedUnloaded; ++i)
                    if (const TPageData* p = list->UserData(i))
                        movedUnloaded = !p->Loadet && p->FromIndex >= 0 && p->FromIndex != i;
                if (movedUnloaded)
                    storedSlots();
                for (const TPageData* d : std::as_const(m_pages->FDeletedPages))
                    if (d->FromIndex >= count)
                        store.WriteAnnotation(nullptr, remote, d->FromIndex);
                for (int i = 0; i < count; ++i) {
                    const TPageData* p = list->UserData(i);
                    if (!p)
                        continue;
                    if (p->FromIndex >= count)
                        store.WriteAnnotation(nullptr, remote, p->FromIndex);
                    if (i == p->FromIndex && p->CurAnnotX == p->OldAnnot)
                        continue;
                    if (!p->Loadet) {
                        // Unchanged, it moved: its stored annotation goes to its new slot.
                        if (isNew || p->FromIndex < 0 || p->FromIndex == i)
                            continue;
                        const QByteArray moved = storedSlots().value(p->FromIndex);
                        if (moved != storedSlots().value(i))
                            store.WriteAnnotation(&moved, remote, i);
                        continue;
                    }
                    // A new file has no slots to empty.
                    if (isNew && p->CurAnnotX.isEmpty())
                        continue;
                    store.WriteAnnotation(&p->CurAnnotX, remote, i);
                }
                ClearStatus(true);
            }
            Rtl::FaultPoint("TFileViewerFrameTIFF.btEditSaveClick.stamps");
            DokumentChanged();
            Rtl::FaultPoint("TFileViewerFrameTIFF.btEditSaveClick.commit");
            tx.Commit();
        } catch (...) {
            const std::exception_ptr failure = std::current_exception();
            tx.Rollback();
            ClearStatus(false);
            // The document object goes back to what is stored: the revision it showed, or the
            // insert not yet made.
            Rtl::Guarded([&] {
                if (dok.InEdit())
                    dok.Cancel();
                if (revised && dok.Id() != previousId)
                    dok.AssignToDokId(previousId);
                else if (posted)
                    dok.Refresh(false, true);
            });
            if (isNew && posted)
                dok.SetNewDocumentFlag(true);
            try {
                std::rethrow_exception(failure);
            } catch (const TDokument::EStaleRevision& stale) {
                offerValidRevision(*this, dok, stale);
            }
        }
    }

    // Stored. What follows cannot undo the save: its failures are shown, and the save goes on.
    if (pagePart && isNew) {
        dok.SetNewDocumentFlag(false);
        Rtl::Guarded([&] { dok.DMSDoAutoExport(); });
    }
    QStringList codes;
    if (pagePart) {
        SetStatus(QStringLiteral("Barcodes suchen"), 70, false);
        if (isNew && FDMSScan_BarcodeMode != kNoBarcodeMode) {
            try {
                DoScanBarcodes(codes, FDMSScan_BarcodeMode);
            } catch (const EVoskException& e) {
                Korvexutils::ShowError(QString::fromLatin1(e.ClassName()) +
                                       QStringLiteral(" in TFormFilePreview.DoScanBarcodes: ") + e.Message());
            } catch (const std::exception& e) {
                Korvexutils::ShowError(QStringLiteral("Exception in TFormFilePreview.DoScanBarcodes: ") +
                                       QString::fromLocal8Bit(e.what()));
            }
        }
    }
    FHasBeenSaved = true;
    if (pagePart && FOnDokumentEvent && FDokument) {
        try {
            FOnDokumentEvent(this, FDokument, isNew ? demNewDokument : demNewRevision,
                             isNew ? codes : QStringList());
        } catch (const EAbort&) {
        } catch (const EVoskException& e) {
            Korvexutils::ShowError(QString::fromLatin1(e.ClassName()) +
                                   QStringLiteral(" in TFormFilePreview.OnDokumentEvent: ") + e.Message());
        } catch (const std::exception& e) {
            Korvexutils::ShowError(QStringLiteral("Exception in TFormFilePreview.OnDokumentEvent: ") +
                                   QString::fromLocal8Bit(e.what()));
        }
    }
    if (pagePart) {
        SetStatus(QStringLiteral("Zusammenhängende Dokumente suchen"), 80, false);
        Rtl::Guarded([this] { ShowRelatedDokuments(); }, this);
        ClearStatus(false);
    }
    // The state just stored is the state to compare the next changes with.
    qDeleteAll(m_pages->FDeletedPages);
    m_pages->FDeletedPages.clear();
    for (int i = list->ImageCount() - 1; i >= 0; --i)
        if (TPageData* p = list->UserData(i)) {
            p->FromIndex = i;
            p->OldImage = p->CurImage;
            p->OldAnnot = p->CurAnnotX;
        }
    if (m_pages->FEditablePages == 3)
        m_pages->FEditablePages = 2;
    ClearUndo(false);
    ClearStatus(false);
}

// ---------------------------------------------------------------------------------------------
// Closing

void TFileViewerFrameTIFF::FormCloseQuery(QObject* Sender, bool& CanClose) {
    TFileViewerFrame::FormCloseQuery(Sender, CanClose);
    if (pnShowScan->isVisible()) {
        btBreakScanClick();
        CanClose = false;
    }
    if (!CanClose || !FAllowSave)
        return;
    // A text still being typed is taken into the page first, so that it is asked for and kept.
    if (imCurrentPage->IsMemoEditing())
        imCurrentPage->MemoEditEnd();
    imCurrentPageExit(nullptr);
    if (!CheckPageChanged() && !CheckAnnotChanged())
        return;
    const QString answer = Korvexutils::RaiseQuestionBtn(
        makeText(17125, QStringLiteral("Die Seite wurde verändert. Möchten Sie die Änderungen speichern?")),
        Sender ? QStringLiteral("Yes|No|Cancel") : QStringLiteral("Yes|No"), 1, Vcl::mtConfirmation);
    if (answer == u"Yes") {
        // A save that fails keeps the window open with the edits.
        CanClose = false;
        btEditSaveClick(nullptr);
        CanClose = true;
    } else if (answer != u"No") {
        CanClose = false;
    }
}

void TFileViewerFrameTIFF::SplitDokumentAfterPost(QObject* Sender) {
    auto* created = qobject_cast<TDokument*>(Sender);
    if (!created || !FDokument)
        return;
    TVoskQuery2 q(&FDokument->Database(),
                  QStringLiteral("INSERT INTO picndokulink (pdl_pd_id, pdl_tablename, pdl_dbrid) "
                                 "SELECT :id, pdl_tablename, pdl_dbrid FROM picndokulink WHERE "
                                 "pdl_pd_id=:oid"));
    q.Bind(QStringLiteral("id"), created->Id()).Bind(QStringLiteral("oid"), FDokument->Id());
    q.ExecSQL();
}

// ---------------------------------------------------------------------------------------------
// Page commands of the edit tab

void TFileViewerFrameTIFF::btEditDeleteClick(QObject*) {
    TPageList* list = m_pages->imOverview();
    const int page = list->SelectedImage();
    if (page < 0)
        return;
    if (list->ImageCount() <= 1)
        Korvexutils::RaiseCriticalError(textMinOnePage());
    checkPageCommand();
    // Its stored annotations must be known for the rights and stamp checks of the save.
    LoadImage(page, false);
    TPageData* data = list->UserData(page);
    // A page of the stored file is remembered, so that the save empties its annotation slot and
    // checks the right to delete; a page not yet stored just goes.
    if (data && data->FromIndex >= 0) {
        list->SetUserData(page, nullptr);
        m_pages->FDeletedPages.append(data);
    }
    TPageData::_Destroy(list, page);
    list->DeleteImage(page);
    RefreshTabs();
    LoadImage(std::min(page, list->ImageCount() - 1), true);
    ClearUndo(false);
    ClearStatus(false);
    FormResize(nullptr);
}

void TFileViewerFrameTIFF::btEditAnnotClick(QObject*) {
    if (!Korvexutils::RaiseQuestionYes(makeText(
            17136, QStringLiteral("Scannen/Bearbeiten der Seiten jetzt beenden, um Anmerkungen "
                                  "bearbeiten zu können?"))))
        return;
    btEditSaveClick(nullptr);
    // Loading again starts a new viewing; what was stored in this one still counts when it hides.
    const bool saved = FHasBeenSaved;
    Recreate(FDokument, false);
    FHasBeenSaved = saved;
    ribMenu->SetActiveTab(ribMenuAnnotation);
}
