// The TIFF viewer's commands that move through the pages and change how they are shown without
// changing the document: previous, next and reload, zoom steps, the zoom filter, quarter turns of
// the view; sending the document by e-mail, and splitting a page off into a new document.
#include "UFileViewerTIFF.h"

#include "UFilePreview.h"

#include <AnnotData.h>
#include <EventGuard.h>
#include <IERawBitmap.h>
#include <Korvexcommonvcl.h>
#include <Korvexutils.Dialogs.h>
#include <Korvexutils.h>
#include <TVoskRibbon.h>
#include <UDM1.h>
#include <Vcl.Components.h>
#include <view/TImageEnVect.h>

#include <QActionGroup>
#include <QApplication>
#include <QBuffer>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPointer>
#include <QScopeGuard>
#include <QToolButton>

namespace {
QIcon themeIcon(const char* name) { return QIcon::fromTheme(QString::fromLatin1(name)); }

QAction* button(TVoskRibbonGroup* g, const char* name, const QString& caption, const char* icon,
                const QString& hint, TVoskRibbonGroup::ItemSize size = TVoskRibbonGroup::Large) {
    QToolButton* b = g->AddButton(QString::fromLatin1(name), caption, themeIcon(icon), {}, size);
    b->defaultAction()->setToolTip(hint);
    return b->defaultAction();
}
} // namespace

void TFileViewerFrameTIFF::buildNavigationCommands() {
    const auto bind = [this](QAction* a, void (TFileViewerFrameTIFF::*handler)(QObject*)) {
        connect(a, &QAction::triggered, this,
                [this, a, handler] { Rtl::Guarded([&] { (this->*handler)(a); }, this); });
    };
    btPagePrev = button(tbPage, "btPagePrev", QStringLiteral("Zurück"), "go-previous",
                        QStringLiteral("Die vorherige Seite zeigen"), TVoskRibbonGroup::Small);
    btPageNext = button(tbPage, "btPageNext", QStringLiteral("Nächste"), "go-next",
                        QStringLiteral("Die nächste Seite zeigen"), TVoskRibbonGroup::Small);
    btPageReload = button(tbPage, "btPageReload", QStringLiteral("Neu laden"), "view-refresh",
                          QStringLiteral("Die Seiten neu laden und Änderungen verwerfen"),
                          TVoskRibbonGroup::Small);
    btFileSend = button(tbPage, "btFileSend", makeText(26458, QStringLiteral("per E-Mail senden")),
                        "mail-send", makeText(26458, QStringLiteral("per E-Mail senden")));
    bind(btPagePrev, &TFileViewerFrameTIFF::btPagePrevClick);
    bind(btPageNext, &TFileViewerFrameTIFF::btPageNextClick);
    bind(btPageReload, &TFileViewerFrameTIFF::btPageReloadClick);
    bind(btFileSend, &TFileViewerFrameTIFF::btFileSendClick);

    btZoomIn = button(tbView, "btZoomIn", QStringLiteral("Größer"), "zoom-in", QStringLiteral("Vergrößern"),
                      TVoskRibbonGroup::Small);
    btZoomOut = button(tbView, "btZoomOut", QStringLiteral("Kleiner"), "zoom-out",
                       QStringLiteral("Verkleinern"), TVoskRibbonGroup::Small);
    bind(btZoomIn, &TFileViewerFrameTIFF::btZoomInClick);
    bind(btZoomOut, &TFileViewerFrameTIFF::btZoomOutClick);
    // Larger and smaller release the three fixed zoom buttons.
    if (QActionGroup* g = btZoom100->actionGroup())
        g->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);

    // The three filters in one drop-down: the group has no room for three more buttons.
    auto* filters = new QActionGroup(this);
    auto* filterMenu = new QMenu(this);
    btFilterNone = filterMenu->addAction(QStringLiteral("Keiner"));
    btFilterFast = filterMenu->addAction(QStringLiteral("Schnell"));
    btFilterHigh = filterMenu->addAction(QStringLiteral("Gut"));
    btFilterNone->setObjectName(QStringLiteral("btFilterNone"));
    btFilterFast->setObjectName(QStringLiteral("btFilterFast"));
    btFilterHigh->setObjectName(QStringLiteral("btFilterHigh"));
    btFilterNone->setToolTip(QStringLiteral("Seiten ohne Glättung zeigen"));
    btFilterFast->setToolTip(QStringLiteral("Seiten schnell geglättet zeigen"));
    btFilterHigh->setToolTip(QStringLiteral("Seiten in bester Qualität verkleinert zeigen"));
    auto* filterButton = new QToolButton(tbView);
    filterButton->setObjectName(QStringLiteral("cbFilter"));
    filterButton->setText(QStringLiteral("Glättung"));
    filterButton->setToolTip(QStringLiteral("Wie die Seiten beim Zoomen geglättet werden"));
    filterButton->setMenu(filterMenu);
    filterButton->setPopupMode(QToolButton::InstantPopup);
    filterButton->setAutoRaise(true);
    filterButton->setFocusPolicy(Qt::NoFocus);
    tbView->AddWidget(filterButton, QStringLiteral("Filter"));
    for (QAction* a : {btFilterNone, btFilterFast, btFilterHigh}) {
        a->setCheckable(true);
        filters->addAction(a);
        bind(a, &TFileViewerFrameTIFF::btFilterClick);
    }
    btFilterFast->setChecked(true);

    btRotateLeft = button(tbView, "btRotateLeft", QStringLiteral("Links drehen"), "object-rotate-left",
                          QStringLiteral("Die Ansicht nach links drehen"), TVoskRibbonGroup::Small);
    btRotateRight = button(tbView, "btRotateRight", QStringLiteral("Rechts drehen"), "object-rotate-right",
                           QStringLiteral("Die Ansicht nach rechts drehen"), TVoskRibbonGroup::Small);
    bind(btRotateLeft, &TFileViewerFrameTIFF::btRotateLeftClick);
    bind(btRotateRight, &TFileViewerFrameTIFF::btRotateRightClick);
    btFilterClick(nullptr);

    pmOverviewMenu = new QMenu(imOverview);
    pmOverviewMenu->setObjectName(QStringLiteral("pmOverviewMenu"));
    miOverviewMenuDelete = pmOverviewMenu->addAction(QIcon::fromTheme(QStringLiteral("edit-delete")),
                                                     QStringLiteral("Markierte Seite löschen"));
    miOverviewMenuDelete->setObjectName(QStringLiteral("miOverviewMenuDelete"));
    pmOverviewMenu->addSeparator();
    miOverviewMenuDokExport = pmOverviewMenu->addAction(QIcon::fromTheme(QStringLiteral("document-new")),
                                                        QStringLiteral("Seite in neues Dokument exportieren"));
    miOverviewMenuDokExport->setObjectName(QStringLiteral("miOverviewMenuDokExport"));
    miOverviewMenuDelete->setToolTip(QStringLiteral("Die markierte Seite aus dem Dokument löschen"));
    miOverviewMenuDokExport->setToolTip(
        QStringLiteral("Die markierte Seite heraustrennen und als neues Dokument anlegen"));
    pmOverviewMenu->setToolTipsVisible(true);
    bind(miOverviewMenuDelete, &TFileViewerFrameTIFF::btEditDeleteClick);
    bind(miOverviewMenuDokExport, &TFileViewerFrameTIFF::miOverviewMenuDokExportClick);
    imOverview->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(imOverview, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (pmOverviewMenuPopup())
            pmOverviewMenu->popup(imOverview->viewport()->mapToGlobal(pos));
    });
}

void TFileViewerFrameTIFF::btPagePrevClick(QObject*) {
    turnToPage(imOverviewPages()->SelectedImage() - 1);
}

void TFileViewerFrameTIFF::btPageNextClick(QObject*) {
    turnToPage(imOverviewPages()->SelectedImage() + 1);
}

void TFileViewerFrameTIFF::turnToPage(int page) {
    if (page >= 0 && page < imOverviewPages()->ImageCount() &&
        page != imOverviewPages()->SelectedImage()) {
        leaveShownPage();
        LoadImage(page, true);
    }
}

void TFileViewerFrameTIFF::leaveShownPage() {
    // The buttons take no focus from the canvas: its edits, a text being typed too, go into the
    // page here before another page replaces them.
    if (imCurrentPage->IsMemoEditing())
        imCurrentPage->MemoEditEnd();
    imCurrentPageExit(nullptr);
}

bool TFileViewerFrameTIFF::HasUnsavedChanges() {
    if (m_pages->FEditablePages == 3 || imCurrentPage->Model().CanUndo() || Annot().Changed())
        return true;
    TPageList* list = imOverviewPages();
    for (int i = 0; i < list->ImageCount(); ++i)
        if (TPageData* d = list->UserData(i); d && d->Loadet && d->CurAnnot != d->OldAnnot)
            return true;
    return false;
}

void TFileViewerFrameTIFF::btPageReloadClick(QObject*) {
    const int page = imOverviewPages()->SelectedImage();
    // Added, scanned, moved or deleted pages count as changes too, not only annotation steps:
    // reloading drops them all, also while no page is shown (one that cannot be decoded).
    if (AllowSave() && HasUnsavedChanges() &&
        !Korvexutils::RaiseQuestionYes(
            makeText(17126, QStringLiteral("Sollen die Änderungen wirklich verworfen werden?"))))
        return;
    imCurrentPage->Model().ClearAllUndo();
    imCurrentPage->Model().ClearAllRedo();
    ReloadImages(std::max(0, page));
}

void TFileViewerFrameTIFF::btZoomInClick(QObject*) {
    for (QAction* a : {btZoom100, btZoomWidth, btZoomFull})
        a->setChecked(false);
    imCurrentPage->SetZoom(CheckZoomRange(imCurrentPage->Zoom() * 1.5));
}

void TFileViewerFrameTIFF::btZoomOutClick(QObject*) {
    for (QAction* a : {btZoom100, btZoomWidth, btZoomFull})
        a->setChecked(false);
    imCurrentPage->SetZoom(CheckZoomRange(imCurrentPage->Zoom() * 0.667));
}

void TFileViewerFrameTIFF::btFilterClick(QObject*) {
    const Imaging::TResampleFilter filter = btFilterNone->isChecked()   ? Imaging::rfNone
                                            : btFilterHigh->isChecked() ? Imaging::rfBicubic
                                                                        : Imaging::rfFastLinear;
    imCurrentPage->SetResampleFilter(filter);
    imCurrentPage->SetObjectAntialias(filter != Imaging::rfNone);
    imNavigator->SetSmooth(filter != Imaging::rfNone);
    imOverviewPages()->SetSmoothThumbnails(filter != Imaging::rfNone);
    imOverview->viewport()->update();
}

void TFileViewerFrameTIFF::rotateView(int angle) {
    const bool pending = imCurrentPage->Model().CanUndo();
    imCurrentPage->Model().Rotate(angle, false, Imaging::clNone);
    imCurrentPage->Model().ClearAllUndo();
    imCurrentPage->Model().ClearAllRedo();
    // Keep the step pending that was pending: the rotation itself is no change to undo.
    if (pending)
        imCurrentPage->Model().SaveUndo();
    FormResize(nullptr);
}

void TFileViewerFrameTIFF::btRotateLeftClick(QObject*) {
    if (imCurrentPage->Model().Bitmap().isNull())
        return;
    rotateView(90);
    FRotated = (FRotated + 270) % 360;
}

void TFileViewerFrameTIFF::btRotateRightClick(QObject*) {
    if (imCurrentPage->Model().Bitmap().isNull())
        return;
    rotateView(270);
    FRotated = (FRotated + 90) % 360;
}

void TFileViewerFrameTIFF::RotateToDefault() {
    if (FRotated == 0)
        return;
    rotateView(FRotated);
    FRotated = 0;
}

void TFileViewerFrameTIFF::btFileSendClick(QObject*) { SendByMail(); }

// ---------------------------------------------------------------------------------------------
// The thumbnail strip's menu and the page split-out

bool TFileViewerFrameTIFF::pmOverviewMenuPopup() { return ribMenuEdit->IsTabVisible(); }

namespace {

const QString kSplitSource = QStringLiteral("TFileViewerFrameTIFF.miOverviewMenuDokExportClick");

// What the new document takes over from the one it was split from.
struct SplitFields {
    QVariant tableName, dbrid;
    QString dokType, dokIdent, description, source, name;
};

SplitFields splitFieldsOf(TDokument& d) {
    SplitFields f;
    if (d.NewDocumentFlag()) {
        f.dokType = d.InsertData().DokType;
        f.dokIdent = d.InsertData().DokIdent;
        f.source = d.InsertData().Source;
        f.name = d.InsertData().Name;
    }
    if (!d.HasRecord())
        return f;
    const auto field = [&d](const char* name) { return d.FieldByName(QString::fromLatin1(name)); };
    f.tableName = field(TDokument::fnTableName).Value();
    f.dbrid = field(TDokument::fnDbrid).Value();
    f.dokType = d.DokType();
    f.dokIdent = d.DokIdent();
    f.description = field(TDokument::fnDescription).AsString();
    f.source = field(TDokument::fnSource).AsString();
    f.name = d.Caption();
    return f;
}

} // namespace

void TFileViewerFrameTIFF::miOverviewMenuDokExportClick(QObject*) {
    TPageList* list = imOverviewPages();
    const int page = list->SelectedImage();
    if (page < 0)
        return;
    if (list->ImageCount() <= 1)
        Korvexutils::RaiseCriticalError(makeText(17132, QStringLiteral("Mindestens eine Seite muß vorhanden bleiben.")));
    if (FAllowSave && (CanUndo() || Annot().Changed()))
        Korvexutils::RaiseCriticalError(makeText(
            17131, QStringLiteral("Seiten können nicht bearbeitet werden. Bitte zuerst die "
                                  "Anmerkungen speichern oder verwerfen.")));

    SplitFields fields = FDokument ? splitFieldsOf(*FDokument) : SplitFields();
    QVariant name = fields.name;
    QString description;
    if (Korvexutils::RaiseInputQuestion.Assigned() &&
        Korvexutils::RaiseInputQuestion(makeText(4258, QStringLiteral("Seite als Dokument heraustrennen")),
                                        makeText(4259, QStringLiteral("Dokumentname für neue Seite")), name,
                                        description, 0, false, this, QString(), QString()) &&
        !name.toString().trimmed().isEmpty())
        fields.name = name.toString().trimmed();

    QPointer<TDokument> doc = new TDokument(nullptr);
    const auto freeUnowned = qScopeGuard([&] {
        if (doc && !Vcl::Owner(doc))
            delete doc.data();
    });
    doc->AssignToDokId(0);
    doc->AfterPost = [viewer = QPointer<TFileViewerFrameTIFF>(this)](TVoskClass* posted) {
        if (viewer)
            viewer->SplitDokumentAfterPost(posted);
    };
    // The viewer's save inserts the row; it gets the source's record and descriptive fields, and
    // the name from the preview's name field.
    doc->AfterInsert = [fields](TVoskClass* c) {
        const auto set = [c](const char* name, const QVariant& value) {
            if (!value.isNull() && !value.toString().isEmpty())
                c->FieldByName(QString::fromLatin1(name)).SetValue(value);
        };
        set(TDokument::fnTableName, fields.tableName);
        set(TDokument::fnDbrid, fields.dbrid);
        set(TDokument::fnDokType, fields.dokType);
        set(TDokument::fnDokIdent, fields.dokIdent);
        set(TDokument::fnDescription, fields.description);
        set(TDokument::fnSource, fields.source);
    };

    // The page goes as it is stored, not as the view shows it turned.
    RotateToDefault();
    TFormFilePreview* preview = ShowPreview(this, doc, nullptr, nullptr, fields.dokType, QString(),
                                            QStringLiteral(".tiff"), false, false, {}, QString());
    preview->DokName->setText(fields.name);
    Korvexcommonvcl::DoSplitScreen(Korvexutils::KorvexGetForm(this, true), preview);
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    auto* target = qobject_cast<TFileViewerFrameTIFF*>(preview->FImagePages.data());
    Rtl::Assert(target != nullptr, kSplitSource);
    const int added = target->DoPageAdd(imCurrentPage->Model().Bitmap(), fields.source, kSplitSource);
    target->LoadAnnot(added);

    Imaging::TIEVectModel& model = imCurrentPage->Model();
    for (int i = 0; i < model.ObjectsCount(); ++i) {
        const int h = model.GetObjFromIndex(i);
        const Imaging::TIEVObject& o = model.Obj(h);
        m_annot->CheckAnnotationData(h);
        const TAnnotData& d = m_annot->AnnotData(h);
        // Barcode marks only show what the search found here; they are never stored.
        if (d.Creator == QLatin1String(BarcodeCreator))
            continue;
        const QRect rect(o.Left, o.Top, o.Width(), o.Height());
        switch (o.Kind) {
        case Imaging::iekBOX: target->AddAnnotHighlight(rect, o.BrushColor); break;
        case Imaging::iekELLIPSE:
            target->AddAnnotDot(QPoint(o.Left + o.Width() / 2, o.Top + o.Height() / 2), std::abs(o.Width()),
                                o.BrushColor, o.PenColor);
            break;
        case Imaging::iekBITMAP: {
            QByteArray raw = Imaging::SaveRAW(o.Bitmap);
            QBuffer buffer(&raw);
            buffer.open(QIODevice::ReadOnly);
            target->AddAnnotImageRaw(rect, buffer, d.ImageName());
            break;
        }
        case Imaging::iekMEMO:
            target->AddAnnotText(
                rect, o.Text, o.PenColor, o.FontHeight, o.FontName, o.Bold, o.Italic,
                o.BrushStyle == Imaging::TBrushStyle::bsSolid ? o.BrushColor : Imaging::clNone,
                o.MemoBorderStyle == Imaging::TPenStyle::psSolid ? o.MemoBorderColor : Imaging::clNone);
            break;
        case Imaging::iekLINELABEL:
            target->AddAnnotArrow(rect, o.Text, d.AutoText != 0, d.Mask, o.PenColor, o.BrushColor, o.Bold,
                                  o.FontHeight);
            break;
        default:
            throw EImagesException(17117, UnknownAnnotationText(QString::number(int(o.Kind))));
        }
    }
    // Objects placed by code leave no undo step for the page exit to take them in by.
    target->SaveAnnotationsOfPage(added);
    btEditDeleteClick(nullptr);
}
