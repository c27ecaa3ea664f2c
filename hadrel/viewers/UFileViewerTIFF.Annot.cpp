// Annotation editing of the TIFF viewer: input modes, the ribbon state of the selection, the
// status line, undo, the annotation toolbar and the events of the page canvas. The annotation
// layer (viewers/annot) does the work without widgets; here it meets the controls.

#include "UFileViewerTIFF.h"

#include "UFileViewerTIFF.PageSelector.h"
#include "UFileViewerTIFF.Stamps.h"

#include <AnnotChanges.h>
#include <AnnotLayer.h>
#include <EventGuard.h>
#include <Korvexutils.h>
#include <TUserRights.h>
#include <TVoskColorBox.h>
#include <TVoskRibbon.h>
#include <UDM1.h>
#include <Ukorvexclasses.Dokument.h>
#include <Vcl.Components.h>
#include <view/TImageEnVect.h>

#include <QActionGroup>
#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFontComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <QToolTip>
#include <QWheelEvent>

using namespace Imaging;

namespace {

qint64 tickCount() {
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

// Clears a flag when the scope ends, also by an exception.
class TFlagScope final {
public:
    explicit TFlagScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~TFlagScope() { m_flag = false; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

private:
    bool& m_flag;
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Controls and the layer

TAnnotControls TFileViewerFrameTIFF::AnnotControls() const {
    TAnnotControls c;
    c.HighlightColor = cbHighlightColor->ColorValue();
    c.TextFont = cbTextFont->currentFont().family();
    c.TextBold = cbTextBold->isChecked();
    c.TextItalic = cbTextItalic->isChecked();
    c.TextFontColor = cbTextFontColor->ColorValue();
    c.TextFontSize = edTextFontSize->value();
    c.TextBackgroundVisible = cbTextBackgroundVisible->isChecked();
    c.TextBackgroundColor = cbTextBackgroundColor->ColorValue();
    c.TextBorderVisible = cbTextBorderVisible->isChecked();
    c.TextBorderColor = cbTextBorderColor->ColorValue();
    c.ArrowColor = cbArrowColor->ColorValue();
    c.ArrowColor2 = cbArrowColor2->ColorValue();
    c.ArrowText = edArrowText->text();
    c.ArrowAutoText = btArrowAutoText->isChecked();
    c.ArrowBold = btArrowBold->isChecked();
    c.ArrowTextSize = edArrowTextSize->value();
    c.DotSize = edDotSize->value();
    c.DotColor = cbDotColor->ColorValue();
    c.DotBorderColor = cbDotBorderColor->ColorValue();
    return c;
}

void TFileViewerFrameTIFF::SetAnnotControls(const TAnnotControls& c) {
    const QSignalBlocker b1(edTextFontSize), b2(edArrowTextSize), b3(edDotSize), b4(edArrowText),
        b5(cbTextFont);
    cbHighlightColor->SetColorValue(c.HighlightColor);
    cbTextFont->setCurrentFont(QFont(c.TextFont));
    cbTextBold->setChecked(c.TextBold);
    cbTextItalic->setChecked(c.TextItalic);
    cbTextFontColor->SetColorValue(c.TextFontColor);
    edTextFontSize->setValue(c.TextFontSize);
    cbTextBackgroundVisible->setChecked(c.TextBackgroundVisible);
    cbTextBackgroundColor->SetColorValue(c.TextBackgroundColor);
    cbTextBorderVisible->setChecked(c.TextBorderVisible);
    cbTextBorderColor->SetColorValue(c.TextBorderColor);
    cbArrowColor->SetColorValue(c.ArrowColor);
    cbArrowColor2->SetColorValue(c.ArrowColor2);
    if (edArrowText->text() != c.ArrowText)
        edArrowText->setText(c.ArrowText);
    btArrowAutoText->setChecked(c.ArrowAutoText);
    btArrowBold->setChecked(c.ArrowBold);
    edArrowTextSize->setValue(c.ArrowTextSize);
    edDotSize->setValue(c.DotSize);
    cbDotColor->SetColorValue(c.DotColor);
    cbDotBorderColor->SetColorValue(c.DotBorderColor);
}

void TFileViewerFrameTIFF::setupAnnotations() {
    m_annot = std::make_unique<TAnnotLayer>(imCurrentPage->Model());
    m_annot->Env.ShowUndoOptions = [this] { ShowUndoOptions(); };
    // Content of a kind the annotations lack is kept on its page: it is said once per opening,
    // not at every showing of the page.
    m_annot->Env.RaiseError = [this](const QString& text) {
        if (m_saidUnknown.contains(text))
            return;
        m_saidUnknown.insert(text);
        Korvexutils::ShowError(text);
    };

    // The mode buttons form one group in which a pressed button can be released again.
    if (QActionGroup* group = btAddHighlight->actionGroup())
        group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);

    const auto on = [this](QAction* a, void (TFileViewerFrameTIFF::*handler)(QObject*)) {
        connect(a, &QAction::triggered, this,
                [this, a, handler] { Rtl::Guarded([&] { (this->*handler)(a); }, this); });
    };
    on(btAnnotUndo, &TFileViewerFrameTIFF::btAnnotUndoClick);
    on(btAnnotRedo, &TFileViewerFrameTIFF::btAnnotRedoClick);
    on(btAnnotVisible, &TFileViewerFrameTIFF::btAnnotVisibleClick);
    on(btAnnotEnable, &TFileViewerFrameTIFF::btAnnotEnableClick);
    on(btMouseMove, &TFileViewerFrameTIFF::btMouseMoveClick);
    on(btMouseZoom, &TFileViewerFrameTIFF::btMouseZoomClick);
    on(btMouseSelect, &TFileViewerFrameTIFF::btMouseSelectClick);
    on(btAddHighlight, &TFileViewerFrameTIFF::btAddHighlightClick);
    on(btAddText, &TFileViewerFrameTIFF::btAddTextClick);
    on(btAddDot, &TFileViewerFrameTIFF::btAddDotClick);
    on(btAddArrow, &TFileViewerFrameTIFF::btAddArrowClick);
    on(btAddImage, &TFileViewerFrameTIFF::btAddImageClick);
    on(btAnnotToFront, &TFileViewerFrameTIFF::btAnnotToFrontClick);
    on(btAnnotToBack, &TFileViewerFrameTIFF::btAnnotToBackClick);
    on(btAnnotDelete, &TFileViewerFrameTIFF::btAnnotDeleteClick);
    on(btHelperToFront, &TFileViewerFrameTIFF::btAnnotToFrontClick);
    on(btHelperToBack, &TFileViewerFrameTIFF::btAnnotToBackClick);
    on(btHelperDelete, &TFileViewerFrameTIFF::btAnnotDeleteClick);
    on(cbLoadImage, &TFileViewerFrameTIFF::cbLoadImageClick);
    on(btArrowAutoText, &TFileViewerFrameTIFF::btArrowAutoTextClick);

    // The helper bar's "Neue Anmerkung": the add button down, its handler without sender (so the
    // stamp list does not drop down).
    const auto helper = [this](QAction* entry, QAction* button,
                               void (TFileViewerFrameTIFF::*handler)(QObject*)) {
        connect(entry, &QAction::triggered, this, [this, button, handler] {
            Rtl::Guarded(
                [&] {
                    button->setChecked(true);
                    (this->*handler)(nullptr);
                },
                this);
        });
    };
    helper(btHelperAddHighlight, btAddHighlight, &TFileViewerFrameTIFF::btAddHighlightClick);
    helper(btHelperAddText, btAddText, &TFileViewerFrameTIFF::btAddTextClick);
    helper(btHelperAddDot, btAddDot, &TFileViewerFrameTIFF::btAddDotClick);
    helper(btHelperAddArrow, btAddArrow, &TFileViewerFrameTIFF::btAddArrowClick);
    helper(btHelperAddImage, btAddImage, &TFileViewerFrameTIFF::btAddImageClick);
    connect(btHelperMouseSelect, &QAction::triggered, this,
            [this] { Rtl::Guarded([&] { btMouseSelectClick(btHelperMouseSelect); }, this); });

    // The property editors.
    const auto property = [this](QObject* control, TAnnotProperty p) {
        Rtl::Guarded(
            [&] {
                if (FChangeGUI)
                    return;
                m_annot->ApplyProperty(p, AnnotControls(), control);
                cbTextBackgroundColor->setEnabled(cbTextBackgroundVisible->isChecked());
                cbTextBorderColor->setEnabled(cbTextBorderVisible->isChecked());
            },
            this);
    };
    const auto colour = [&](TVoskColorBox* box, TAnnotProperty p) {
        box->OnChange = [property, box, p] { property(box, p); };
    };
    colour(cbHighlightColor, TAnnotProperty::HighlightColor);
    colour(cbTextFontColor, TAnnotProperty::TextFontColor);
    colour(cbTextBackgroundColor, TAnnotProperty::TextBackground);
    colour(cbTextBorderColor, TAnnotProperty::TextBorder);
    colour(cbArrowColor, TAnnotProperty::ArrowColor);
    colour(cbArrowColor2, TAnnotProperty::ArrowColor2);
    colour(cbDotColor, TAnnotProperty::DotColor);
    colour(cbDotBorderColor, TAnnotProperty::DotBorderColor);
    const auto toggle = [&](QAction* a, TAnnotProperty p) {
        connect(a, &QAction::triggered, this, [property, a, p] { property(a, p); });
    };
    toggle(cbTextBold, TAnnotProperty::TextBold);
    toggle(cbTextItalic, TAnnotProperty::TextItalic);
    toggle(cbTextBackgroundVisible, TAnnotProperty::TextBackground);
    toggle(cbTextBorderVisible, TAnnotProperty::TextBorder);
    toggle(btArrowBold, TAnnotProperty::ArrowBold);
    const auto spin = [&](QSpinBox* s, TAnnotProperty p) {
        connect(s, &QSpinBox::valueChanged, this, [property, s, p] { property(s, p); });
    };
    spin(edTextFontSize, TAnnotProperty::TextFontSize);
    spin(edArrowTextSize, TAnnotProperty::ArrowTextSize);
    spin(edDotSize, TAnnotProperty::DotSize);
    connect(cbTextFont, &QFontComboBox::currentFontChanged, this,
            [property, this] { property(cbTextFont, TAnnotProperty::TextFont); });
    connect(edArrowText, &QLineEdit::textEdited, this,
            [this] { Rtl::Guarded([&] { edArrowTextChange(edArrowText); }, this); });
    connect(cbImageList, &QComboBox::currentIndexChanged, this,
            [this] { Rtl::Guarded([&] { cbImageListChange(cbImageList); }, this); });
    connect(cbImageList, &QComboBox::activated, this,
            [this] { Rtl::Guarded([&] { cbImageListCloseUp(cbImageList); }, this); });

    // The page canvas.
    TImageEnVect* c = imCurrentPage;
    c->OnNewObject = [this](int h) { Rtl::Guarded([&] { imCurrentPageNewObject(h); }, this); };
    c->OnSelectObject = [this](int) { Rtl::Guarded([&] { ShowOptions(); }, this); };
    c->OnZoomIn = c->OnZoomOut = [this](double& zoom) { zoom = CheckZoomRange(zoom); };
    c->OnMouseDown = [this](Qt::MouseButton b, Qt::KeyboardModifiers, QPointF) {
        if (b != Qt::LeftButton)
            return;
        m_annot->MouseDown();
        // A drawing begins (not the click that ends a text's editing).
        if (!imCurrentPage->IsMemoEditing() &&
            !imCurrentPage->MouseInteract().testAnyFlags(TIEMouseInteract(miScroll | miZoom | miSelectZoom)))
            for (TIEMouseInteractVtItem item : imCurrentPage->MouseInteractVt())
                if (IsAddingMode(quint8(item))) {
                    m_annot->PlacingStarts();
                    break;
                }
        if (FChangeBars == 0)
            FChangeBars = 1;
    };
    c->OnMouseUp = [this](Qt::MouseButton b, Qt::KeyboardModifiers, QPointF) {
        if (b != Qt::LeftButton)
            return;
        m_annot->MouseUp();
        const bool deferred = FChangeBars == 2;
        FChangeBars = 0;
        if (deferred)
            Rtl::Guarded([&] { ShowOptions(); }, this);
    };
    c->OnObjectMoveResize = [this](int h) { m_annot->ObjectMoveResize(h); };
    c->OnActivateTextEdit = [this] {
        m_annot->ActivateText();
        lbEditTextHint->show();
    };
    c->OnDeactivateTextEdit = [this] {
        m_annot->DeactivateText();
        lbEditTextHint->hide();
    };
    c->OnExit = [this] { Rtl::Guarded([&] { imCurrentPageExit(imCurrentPage); }, this); };
    c->OnKeyUp = [this](QKeyEvent* e) {
        Rtl::Guarded([&] { imCurrentPageKeyUp(imCurrentPage, e->key(), e->modifiers()); }, this);
    };
    imNavigator->OnKeyUp = [this](QKeyEvent* e) {
        Rtl::Guarded([&] { imCurrentPageKeyUp(imNavigator, e->key(), e->modifiers()); }, this);
    };
    c->OnObjectOver = [this](int h) { Rtl::Guarded([&] { imCurrentPageObjectOver(h); }, this); };
    c->OnMouseEnter = [] { QToolTip::hideText(); };
    lbEditTextHint->hide();

    imOverview->viewport()->installEventFilter(this);
}

// ---------------------------------------------------------------------------------------------
// Input modes and the ribbon state

void TFileViewerFrameTIFF::SetInputMode(quint8 mode) {
    m_annot->BeginInputMode(mode);
    QAction* button = nullptr;
    switch (mode) {
    case imPutBox:
        button = btAddHighlight;
        break;
    case imPutEllipse:
        button = btAddDot;
        break;
    case imPutBitmap:
        button = btAddImage;
        break;
    case imObjectSelect:
        button = btMouseSelect;
        break;
    case imPutMemo:
        button = btAddText;
        break;
    case imPutLineLabel:
        button = btAddArrow;
        break;
    case imMove:
        button = btMouseMove;
        break;
    case imZoom:
        button = btMouseZoom;
        break;
    default:
        break;
    }
    if (button)
        button->setChecked(true);
    if (mode == imMove) {
        imCurrentPage->SetMouseInteractVt({});
        imCurrentPage->SetMouseInteract(miScroll);
    } else if (mode == imZoom) {
        imCurrentPage->SetMouseInteractVt({});
        imCurrentPage->SetMouseInteract(TIEMouseInteract(miZoom | miSelectZoom));
    } else {
        imCurrentPage->SetMouseInteract(miNone);
        imCurrentPage->SetMouseInteractVt({TIEMouseInteractVtItem(mode)});
    }
    m_annot->EndInputMode(mode, AnnotControls());
    if (mode == imPutBitmap)
        cbImageListChange(nullptr);
    ShowOptions();
}

namespace {

struct KindTab {
    int kind;
    TVoskRibbonTab* tab;
    TVoskRibbonGroup* bar;
};

} // namespace

void TFileViewerFrameTIFF::ShowOptions() {
    TFlagScope gui(FChangeGUI);
    TIEVectModel& m = imCurrentPage->Model();
    const bool adding = imCurrentPage->isEnabled() && FAllowSave && btAnnotEnable->isChecked();
    for (QAction* a : {btAddHighlight, btAddText, btAddDot, btAddArrow, btAddImage})
        a->setEnabled(adding);
    btAnnotDelete->setEnabled(adding && m.SelObjectsCount() > 0);
    btHelperDelete->setEnabled(btAnnotDelete->isEnabled());
    ShowUndoOptions();

    if (FChangeBars != 0) {
        // A drag is on: the bars move when the button comes up.
        FChangeBars = 2;
    } else {
        int pressed = 0;
        if (btAddHighlight->isChecked())
            pressed = akHighlight;
        else if (btAddText->isChecked())
            pressed = akText;
        else if (btAddDot->isChecked())
            pressed = akDot;
        else if (btAddArrow->isChecked())
            pressed = akArrow;
        else if (btAddImage->isChecked())
            pressed = akImage;
        const TKindSet selected = m_annot->SelectedKinds(pressed);
        const KindTab tabs[] = {{akHighlight, ribMenuHighlight, tbHighlightProperty},
                                {akText, ribMenuText, tbTextProperty},
                                {akDot, ribMenuDot, tbDotProperty},
                                {akArrow, ribMenuArrow, tbArrowProperty},
                                {akImage, ribMenuImage, tbImageProperty}};
        ribMenuAnnotAddon->SetTabVisible(false);
        for (const KindTab& t : tabs)
            t.tab->RemoveGroup(tbAnnotationsHelper);
        const int single = TAnnotLayer::SingleKind(selected);
        for (const KindTab& t : tabs) {
            ribMenuAnnotation->RemoveGroup(t.bar);
            if (t.bar->Tab() != t.tab)
                t.tab->AddGroup(t.bar);
            t.tab->SetTabVisible(selected & KindBit(t.kind));
            if (t.kind == single && ribMenu->ActiveTab() != t.tab) {
                const QSignalBlocker block(ribMenu);
                ribMenu->SetActiveTab(t.tab);
            }
        }
        for (const KindTab& t : tabs)
            if (ribMenu->ActiveTab() == t.tab)
                t.tab->AddGroup(tbAnnotationsHelper);
        imCurrentPage->SetGripsVisible(
            m_annot->ApplyObjectStyles(btAnnotEnable->isChecked(), selected));
    }

    SetAnnotControls(m_annot->ControlsFromSelection(AnnotControls()));
    cbTextBackgroundColor->setEnabled(cbTextBackgroundVisible->isChecked());
    cbTextBorderColor->setEnabled(cbTextBorderVisible->isChecked());

    const QString status = m_annot->StatusText();
    if (status.isEmpty())
        ClearStatus(false);
    else
        SetStatus(status, 100, false);

    Qt::CursorShape cursor = Qt::ArrowCursor;
    const TIEMouseInteract general = imCurrentPage->MouseInteract();
    const auto vt = imCurrentPage->MouseInteractVt();
    if (general.testFlag(miScroll))
        cursor = Qt::SizeAllCursor;
    else if (general.testFlag(miZoom) || general.testFlag(miSelectZoom))
        cursor = Qt::CrossCursor;
    else if (vt.contains(miObjectSelect))
        cursor = Qt::PointingHandCursor;
    else if (!vt.isEmpty())
        cursor = Qt::DragMoveCursor;
    imCurrentPage->viewport()->setCursor(cursor);
}


// ---------------------------------------------------------------------------------------------
// Status line

void TFileViewerFrameTIFF::SetStatus(const QString& text, int percent, bool fullRefresh) {
    const qint64 now = tickCount();
    if (now - m_statusTick < 51 && lbStatus->text() == text)
        return;
    if (lbStatus->text().isEmpty() && !text.isEmpty())
        m_statusPaintTick = now;
    lbStatus->setText(text);
    pbStatusLoad->setValue(qBound(0, percent, 100));
    pbStatusLoad->setVisible(!text.isEmpty());
    // A repaint flushes every pending area of the window: a step that ends soon leaves the status
    // to the event loop, one that has run a while shows its progress at once.
    if (fullRefresh) {
        repaint();
    } else if (!text.isEmpty() && now - m_statusPaintTick >= 100) {
        pnStatus->repaint();
        m_statusPaintTick = now;
    } else {
        pnStatus->update();
    }
    if (pnShowScan->isVisible()) {
        pnShowScan->repaint();
        m_statusTick = now;
        if (Vcl::Tag(btBreakScan) == 3) {
            Vcl::SetTag(btBreakScan, 0);
            m_cancel.Arm();
        } else if (!m_cancel.Armed() && !btBreakScan->isEnabled()) {
            btBreakScan->setEnabled(true);
            m_cancel.Reset();
        }
    }
}

void TFileViewerFrameTIFF::SetStatusFmt(const QString& format, const QStringList& args, int percent,
                                        bool fullRefresh) {
    SetStatus(TDM1::FormatLogText(format, args), percent, fullRefresh);
}

void TFileViewerFrameTIFF::ClearStatus(bool fullRefresh) {
    SetStatus(QString(), 100, fullRefresh);
}

// ---------------------------------------------------------------------------------------------
// Undo and change tracking

void TFileViewerFrameTIFF::SaveUndo(QObject* Sender) {
    m_annot->SaveUndo(Sender);
}
void TFileViewerFrameTIFF::ResetUndo(bool DoUndo) {
    m_annot->ResetUndo(DoUndo);
}
void TFileViewerFrameTIFF::ClearUndo(bool CreateDummySavePoint) {
    m_annot->ClearUndo(CreateDummySavePoint);
}
bool TFileViewerFrameTIFF::CanUndo() const {
    return m_annot->CanUndo();
}

void TFileViewerFrameTIFF::ShowUndoOptions() {
    const TIEVectModel& m = imCurrentPage->Model();
    btAnnotUndo->setEnabled(FAllowSave && m.CanUndo());
    btAnnotRedo->setEnabled(FAllowSave && m.CanRedo());
}

bool TFileViewerFrameTIFF::CheckPageChanged() const {
    return ::CheckPageChanged(*m_pages->imOverview(), m_pages->FDeletedPages);
}

bool TFileViewerFrameTIFF::CheckAnnotChanged() const {
    return ::CheckAnnotChanged(*m_pages->imOverview(), m_pages->FDeletedPages);
}

void TFileViewerFrameTIFF::ListChangedAnnot(QStringList& Added, QStringList& Removed,
                                            bool IgnoreDuplicates) const {
    ::ListChangedAnnot(*m_pages->imOverview(), m_pages->FDeletedPages, Added, Removed,
                       IgnoreDuplicates);
}

// ---------------------------------------------------------------------------------------------
// Annotations placed by code

void TFileViewerFrameTIFF::AddAnnotHighlight(const QRect& Position, qint32 Color,
                                             const QString& Creator) {
    m_annot->AddAnnotHighlight(Position, Color, Creator);
}

void TFileViewerFrameTIFF::AddAnnotText(const QRect& Position, const QString& Text, qint32 Color,
                                        int Size, const QString& FontName, bool Bold, bool Italic,
                                        qint32 Background, qint32 Border, const QString& Creator) {
    m_annot->AddAnnotText(Position, Text, Color, Size, FontName, Bold, Italic, Background, Border,
                          Creator);
}

void TFileViewerFrameTIFF::AddAnnotDot(const QPoint& Position, int Size, qint32 Color,
                                       qint32 Border, const QString& Creator) {
    m_annot->AddAnnotDot(Position, Size, Color, Border, Creator);
}

void TFileViewerFrameTIFF::AddAnnotArrow(const QRect& Position, const QString& Text, bool AutoText,
                                         const QString& Mask, qint32 Color, qint32 Color2,
                                         bool Bold, int FontSize, const QString& Creator) {
    m_annot->AddAnnotArrow(Position, Text, AutoText, Mask, Color, Color2, Bold, FontSize, Creator);
}

void TFileViewerFrameTIFF::AddAnnotImage(const QRect& Position, QIODevice& Bitmap,
                                         const QString& ImageName, const QString& Creator) {
    Bitmap.seek(0);
    m_annot->AddAnnotImage(Position, Bitmap.readAll(), ImageName, Creator);
}

void TFileViewerFrameTIFF::AddAnnotImage(const QRect& Position, const QImage& Image,
                                         const QString& ImageName, const QString& Creator) {
    m_annot->AddAnnotImage(Position, Image, ImageName, Creator);
}

void TFileViewerFrameTIFF::AddAnnotImageRaw(const QRect& Position, QIODevice& RawImage,
                                            const QString& ImageName, const QString& Creator) {
    const qint64 at = RawImage.pos();
    RawImage.seek(0);
    const QByteArray raw = RawImage.readAll();
    RawImage.seek(at);
    m_annot->AddAnnotImageRaw(Position, raw, ImageName, Creator);
}

QSize TFileViewerFrameTIFF::GetPageSize() const {
    return m_annot->GetPageSize();
}

void TFileViewerFrameTIFF::LoadAnnot(int Page) {
    LoadImage(Page, true);
}

void TFileViewerFrameTIFF::updateAnnotEnvironment() {
    TAnnotEnvironment& env = m_annot->Env;
    TDokument* d = FDokument.data();
    env.HasDokument = d != nullptr;
    env.NewDokument = d && d->NewDocumentFlag();
    env.DokType = !d ? QString() : env.NewDokument ? d->InsertData().DokType : d->DokType();
    env.DokID = d && !env.NewDokument ? d->Id() : 0;
    env.RemoteFileName = d ? d->DMSRemoteFilename() : QString();
    env.EditablePages = m_pages->FEditablePages;
    env.OnAllowEdit =
        FOnAllowEdit ? [this](const QString& name, bool& allow) { FOnAllowEdit(this, name, allow); }
                     : std::function<void(const QString&, bool&)>();
    env.OnEditImage =
        FOnEditImage ? [this](const QString& name, bool& allow) { FOnEditImage(this, name, allow); }
                     : std::function<void(const QString&, bool&)>();
}

void TFileViewerFrameTIFF::SetAnnotationRights() {
    updateAnnotEnvironment();
    m_annot->SetAnnotationRights();
}

void TFileViewerFrameTIFF::CalcAutoText() {
    m_annot->CalcAutoText(edArrowText->text(), btArrowAutoText->isChecked());
}

void TFileViewerFrameTIFF::SaveAnnotationsOfPage(int Page) {
    TPageData* data = TPageData::_Get(m_pages->imOverview(), Page, -1);
    if (!data || !data->Loadet)
        return;
    // Stored annotations this program cannot read stay as they are, unless the user, having
    // annotated the page, agrees to replace them.
    if (data->AnnotUnreadable) {
        if (imCurrentPage->Model().ObjectsCount() == 0)
            return;
        if (!Korvexutils::RaiseQuestionYes(
                QStringLiteral("Die gespeicherten Anmerkungen der Seite %1 können nicht gelesen "
                               "werden. Sollen sie durch die neuen Anmerkungen ersetzt werden?\n\n"
                               "Nein: Die gespeicherten Anmerkungen bleiben unverändert, die neuen "
                               "auf dieser Seite werden verworfen.")
                    .arg(Page + 1),
                false, QString())) {
            m_annot->LoadAnnotations(data->CurAnnot, Page, false);
            ClearUndo(false);
            return;
        }
        data->AnnotUnreadable = false;
    }
    RotateToDefault();
    m_annot->SaveAnnotations(data->CurAnnot, data->CurAnnotX);
}

// ---------------------------------------------------------------------------------------------
// The annotation toolbar

void TFileViewerFrameTIFF::btAnnotUndoClick(QObject*) {
    imCurrentPageExit(nullptr);
    ResetUndo(true);
    ShowOptions();
}

void TFileViewerFrameTIFF::btAnnotRedoClick(QObject*) {
    imCurrentPageExit(nullptr);
    ResetUndo(false);
    ShowOptions();
}

void TFileViewerFrameTIFF::btAnnotVisibleClick(QObject*) {
    m_annot->SetAllVisible(btAnnotVisible->isChecked());
}

void TFileViewerFrameTIFF::btAnnotEnableClick(QObject*) {
    if (!btMouseMove->isChecked() && !btMouseZoom->isChecked() && !btMouseSelect->isChecked())
        SetInputMode(imMove);
    else
        ShowOptions();
}

void TFileViewerFrameTIFF::btMouseMoveClick(QObject*) {
    SetInputMode(imMove);
}
void TFileViewerFrameTIFF::btMouseZoomClick(QObject*) {
    SetInputMode(imZoom);
}

void TFileViewerFrameTIFF::btMouseSelectClick(QObject*) {
    imCurrentPage->Model().UnSelAllObjects();
    SetInputMode(imObjectSelect);
}

void TFileViewerFrameTIFF::btAddHighlightClick(QObject*) {
    SetInputMode(btAddHighlight->isChecked() ? imPutBox : imObjectSelect);
}
void TFileViewerFrameTIFF::btAddTextClick(QObject*) {
    SetInputMode(btAddText->isChecked() ? imPutMemo : imObjectSelect);
}
void TFileViewerFrameTIFF::btAddDotClick(QObject*) {
    SetInputMode(btAddDot->isChecked() ? imPutEllipse : imObjectSelect);
}
void TFileViewerFrameTIFF::btAddArrowClick(QObject*) {
    SetInputMode(btAddArrow->isChecked() ? imPutLineLabel : imObjectSelect);
}

void TFileViewerFrameTIFF::btAddImageClick(QObject* Sender) {
    if (!btAddImage->isChecked()) {
        SetInputMode(imObjectSelect);
        return;
    }
    SetInputMode(imPutBitmap);
    if (!Sender)
        return;
    // The user pressed it: the stamp list opens for the choice.
    QApplication::processEvents();
    ribMenu->SetActiveTab(ribMenuImage);
    cbImageList->setFocus();
    cbImageList->showPopup();
    throw EAbort();
}

void TFileViewerFrameTIFF::btAnnotToFrontClick(QObject* Sender) {
    m_annot->BringSelectedToFront(Sender);
    ShowOptions();
}

void TFileViewerFrameTIFF::btAnnotToBackClick(QObject* Sender) {
    m_annot->SendSelectedToBack(Sender);
    ShowOptions();
}

void TFileViewerFrameTIFF::btAnnotDeleteClick(QObject* Sender) {
    updateAnnotEnvironment();
    const TAnnotEnvironment& env = m_annot->Env;
    std::function<void(int)> rights;
    if (env.HasDokument && !env.NewDokument)
        rights = [this](int h) {
            const TAnnotData& d = m_annot->AnnotData(h);
            const TAnnotEnvironment& e = m_annot->Env;
            // The rights layer raises on a refusal; a refusal it only reports counts the same.
            if (!TUserRights::CanDoDMSStampAction(e.DokType, d.Mask, d.Creator, e.DokID, 3, true))
                throw EAbort();
        };
    m_annot->DeleteSelected(Sender, rights);
    ShowOptions();
}

void TFileViewerFrameTIFF::cbLoadImageClick(QObject*) {
    if (FChangeGUI)
        return;
    throw EImagesException(QStringLiteral("not implemented"));
}

void TFileViewerFrameTIFF::edArrowTextChange(QObject* Sender) {
    if (FChangeGUI)
        return;
    m_annot->ApplyArrowText(edArrowText->text(), btArrowAutoText->isChecked(), Sender);
}

void TFileViewerFrameTIFF::btArrowAutoTextClick(QObject* Sender) {
    if (FChangeGUI)
        return;
    m_annot->ApplyArrowAutoText(btArrowAutoText->isChecked(), edArrowText->text(), Sender);
}

// ---------------------------------------------------------------------------------------------
// The stamp choice

void TFileViewerFrameTIFF::cbImageListChange(QObject* Sender) {
    if (FChangeGUI)
        return;
    TIEVObject& next = imCurrentPage->Model().ObjRef(-1);
    auto vt = imCurrentPage->MouseInteractVt();
    const QString name = cbImageList->currentIndex() >= 0 ? cbImageList->currentText() : QString();
    if (!FDokument || name.isEmpty()) {
        if (DM1())
            DM1()->LogEvent(QStringLiteral("TFileViewerFrameTIFF: load Annot-Image (none)"));
        // A grey box stands for the stamp until one is chosen.
        next.Kind = iekBOX;
        next.BoxHighlight = false;
        next.PenStyle = TPenStyle::psClear;
        next.BrushStyle = TBrushStyle::bsSolid;
        next.BrushColor = 8421504;
        next.Bitmap = QImage();
        next.SetRect(next.Left, next.Top, 70, 70);
        if (vt.contains(miPutBitmap)) {
            vt.replace(vt.indexOf(miPutBitmap), miPutBox);
            imCurrentPage->SetMouseInteractVt(vt);
        }
        imCurrentPage->Model().Update();
        return;
    }
    try {
        updateAnnotEnvironment();
        const TAnnotEnvironment& env = m_annot->Env;
        TUserRights::CanDoDMSStampAction(env.DokType, TUserRights::UserKey(), name, env.DokID, 2,
                                         true);
        if (FOnEditImage) {
            bool allow = true;
            FOnEditImage(this, name, allow);
            if (!allow)
                Korvexutils::RaiseCriticalError(
                    makeText(17101, QStringLiteral("Bild nicht erlaubt")));
        }
        TImageListLoader::CheckPassword(name);
        if (!FOnGetImage)
            throw EImagesException(17100, makeText(17100, QStringLiteral("Bilderliste fehlt")));
        if (DM1())
            DM1()->LogEvent(
                QStringLiteral("TFileViewerFrameTIFF: load Annot-Image \"%1\"").arg(name));
        QByteArray bytes;
        {
            QBuffer stream(&bytes);
            stream.open(QIODevice::ReadWrite);
            FOnGetImage(this, name, &stream);
        }
        const QImage picture = QImage::fromData(bytes);
        if (picture.isNull())
            throw EImagesException(17106, makeText(17106, QStringLiteral("Ungültiges Bild")));
        TIEVObject& t = imCurrentPage->Model().ObjRef(-1);
        t.Kind = iekBITMAP;
        t.BrushStyle = TBrushStyle::bsClear;
        t.Bitmap = picture;
        t.SetRect(t.Left, t.Top, picture.width(), picture.height());
        if (vt.contains(miPutBox)) {
            vt.replace(vt.indexOf(miPutBox), miPutBitmap);
            imCurrentPage->SetMouseInteractVt(vt);
        }
        imCurrentPage->Model().Update();
    } catch (const EAbort&) {
        // Already told (refused password, refused picture): the choice goes, nothing more.
        {
            const QSignalBlocker block(cbImageList);
            cbImageList->setCurrentIndex(-1);
        }
        cbImageListChange(Sender);
        throw;
    } catch (const std::exception&) {
        const QString cause = Rtl::ExceptionMessage(std::current_exception());
        {
            const QSignalBlocker block(cbImageList);
            cbImageList->setCurrentIndex(-1);
        }
        cbImageListChange(Sender);
        throw EImagesException(17195,
                               makeText(17195, QStringLiteral("Fehler beim Laden des Stempels.")) +
                                   QStringLiteral("\r\n\r\n") + cause);
    }
}

void TFileViewerFrameTIFF::cbImageListCloseUp(QObject*) {
    const auto vt = imCurrentPage->MouseInteractVt();
    if (vt.contains(miPutBitmap) || (ribMenuImage->IsTabVisible() && vt.contains(miPutBox)))
        return;
    // After the list has closed: the stamp tool.
    PostSetInputMode(imPutBitmap);
}

// ---------------------------------------------------------------------------------------------
// The page canvas

void TFileViewerFrameTIFF::imCurrentPageNewObject(int h) {
    if (h >= 0)
        m_annot->CheckAnnotationData(h);
    TIEVectModel& m = imCurrentPage->Model();
    const int kind = m.Obj(h).Kind;
    const QSize picture = m.Obj(-1).Bitmap.size();
    if (QGuiApplication::keyboardModifiers() != Qt::ControlModifier) {
        m.ObjRef(-1).Kind = iekNONE;
        SetInputMode(imObjectSelect);
    }
    TIEVObject& o = m.ObjRef(h);
    o.UserData = QVariant();
    o.UserDataLen = 0;
    const QRect r = TAnnotLayer::FitNewObject(kind, QRect(o.Left, o.Top, o.Width(), o.Height()),
                                              m.Bitmap().size(), picture);
    o.SetRect(r.x(), r.y(), r.width(), r.height());
    m_annot->CheckAnnotationData(h);
    TAnnotData& d = m_annot->AnnotData(h);
    if (kind == iekBITMAP) {
        d.Mask =
            ShortString(cbImageList->currentIndex() >= 0 ? cbImageList->currentText() : QString());
    } else if (kind == iekLINELABEL) {
        d.AutoText = btArrowAutoText->isChecked() ? 1 : 0;
        if (d.AutoText)
            d.Mask = ShortString(edArrowText->text());
        CalcAutoText();
    }
    m.Update();
    if (kind == iekMEMO) {
        // The new text is written at once; starting that edit is part of the placing.
        const int before = m.UndoCount();
        imCurrentPage->MemoEdit(h);
        m_annot->TrimUndo(before);
    }
    m_annot->ObjectPlaced();
    ShowOptions();
}

void TFileViewerFrameTIFF::imCurrentPageExit(QObject*) {
    if (imCurrentPage->IsMemoEditing())
        return;
    auto exit = std::move(imCurrentPage->OnExit);
    imCurrentPage->OnExit = nullptr;
    const auto rehook = qScopeGuard([&] { imCurrentPage->OnExit = std::move(exit); });
    imCurrentPage->CancelInteracts();
    if (imCurrentPage->OnMouseUp)
        imCurrentPage->OnMouseUp(Qt::LeftButton, {}, {});
    const int page = m_pages->imOverview()->SelectedImage();
    if (tcPages->Count() > 0 && page >= 0 && FAllowSave && m_annot->Changed())
        SaveAnnotationsOfPage(page);
}

void TFileViewerFrameTIFF::imCurrentPageKeyUp(QObject* Sender, int Key,
                                              Qt::KeyboardModifiers Shift) {
    const Qt::KeyboardModifiers mods = Shift & ~Qt::KeypadModifier;
    const bool keypad = Shift & Qt::KeypadModifier;
    if (Key == Qt::Key_Delete && mods == Qt::NoModifier) {
        if (btAnnotEnable->isEnabled() && Sender == imCurrentPage)
            btAnnotDeleteClick(btAnnotDelete);
        return;
    }
    if (mods == Qt::ControlModifier) {
        if (Key == Qt::Key_0) {
            if (btZoom100->isEnabled())
                btZoom100Click(btZoom100);
            return;
        }
        if (keypad && Key == Qt::Key_Plus) {
            if (btZoomIn->isEnabled())
                btZoomInClick(btZoomIn);
            return;
        }
        if (keypad && Key == Qt::Key_Minus) {
            if (btZoomOut->isEnabled())
                btZoomOutClick(btZoomOut);
            return;
        }
    }
    int key = Key;
    FormKeyUp(Sender, key, Shift);
}

void TFileViewerFrameTIFF::imCurrentPageObjectOver(int h) {
    if (h < 0)
        return;
    imCurrentPage->ShowHint(m_annot->HoverText(h));
}

bool TFileViewerFrameTIFF::imOverviewMouseWheel(int delta, Qt::KeyboardModifiers modifiers) {
    if (!(modifiers & Qt::ControlModifier))
        return false;
    TPageList* pages = m_pages->imOverview();
    int width = pages->ThumbnailSize().width();
    width = delta > 0 ? std::min(width + 10, 500) : std::max(width - 10, 80);
    const QSize size(width, width * 120 / 100 + 10);
    pages->SetThumbnailSize(size);
    imOverview->setIconSize(size);
    imOverview->setGridSize(size + QSize(20, 30));
    return true;
}

// ---------------------------------------------------------------------------------------------
// Barcode settings

void TFileViewerFrameTIFF::SetBarcodeFilter(TBarcodeFilter Filter, const TBarcodeTypes& BarTypes,
                                            bool CheckDigit, int Density,
                                            TIFirstOnly OnlyFirstPage) {
    FBarcodeFilter = std::move(Filter);
    FBarcodeTypes = BarTypes;
    FBarcodeCheckDigit = CheckDigit;
    FBarcodeDensity = Density;
    FBarcodeOnlyFirst = OnlyFirstPage;
}

bool TFileViewerFrameTIFF::ManualBarcodeFilter(const TBarcodeData& Code, int Count) {
    return Korvexutils::RaiseQuestionYes(
        TDM1::FormatLogText(QStringLiteral("Barcode %d erlauben/markieren?\n\n%s = \"%s\""),
                            {QString::number(Count), Code.SymbologyName, Code.Text}));
}
