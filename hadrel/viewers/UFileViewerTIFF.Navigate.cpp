// The TIFF viewer's commands that move through the pages and change how they are shown without
// changing the document: previous, next and reload, zoom steps, the zoom filter, quarter turns of
// the view; and sending the document by e-mail.
#include "UFileViewerTIFF.h"

#include <EventGuard.h>
#include <Korvexutils.h>
#include <TVoskRibbon.h>
#include <UDM1.h>
#include <view/TImageEnVect.h>

#include <QActionGroup>
#include <QApplication>
#include <QListView>
#include <QMenu>
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
}

void TFileViewerFrameTIFF::btPagePrevClick(QObject*) {
    const int page = imOverviewPages()->SelectedImage() - 1;
    if (page >= 0 && page < imOverviewPages()->ImageCount())
        LoadImage(page, true);
}

void TFileViewerFrameTIFF::btPageNextClick(QObject*) {
    const int page = imOverviewPages()->SelectedImage() + 1;
    if (page >= 0 && page < imOverviewPages()->ImageCount())
        LoadImage(page, true);
}

bool TFileViewerFrameTIFF::HasUnsavedChanges() {
    if (m_pages->FEditablePages == 3 || imCurrentPage->Model().CanUndo())
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
    // reloading drops them all.
    if (AllowSave() && page >= 0 && HasUnsavedChanges() &&
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
