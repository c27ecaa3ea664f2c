#include "UFileViewerTIFF.h"

#include "UFilePreview.h"
#include "UFileViewerTIFF.PageSelector.h"
#include "UFileViewerTIFF.Stamps.h"

#include <Dataclient_files.h>
#include <IEAcquire.h>
#include <IEScale.h>
#include <DMSys.h>
#include <EventGuard.h>
#include <Korvexutils.h>
#include <PageCodec.h>
#include <StrUtils.h>
#include <TUserRights.h>
#include <TVoskColorBox.h>
#include <TVoskRibbon.h>
#include <UDM1.h>
#include <Ukorvexclasses.Dokument.h>
#include <Uloadform.h>
#include <Vcl.Components.h>
#include <UnitTable.h>
#include <cxPC.h>
#include <view/TImageEnVect.h>

#include <QActionGroup>
#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFontComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QSplitter>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <optional>

namespace {

// The document's pages as the data server holds them.
class TDokumentPageSource final : public IPageSource {
public:
    explicit TDokumentPageSource(TDokument* dokument) : m_dokument(dokument) {}
    bool IsNewDokument() const override { return m_dokument && m_dokument->NewDocumentFlag(); }
    QString RemoteFilename() const override {
        return m_dokument ? m_dokument->DMSRemoteFilename() : QString();
    }
    void CheckRemoteStructure() override {
        if (m_dokument)
            m_dokument->DMSCheckRemoteStructure();
    }
    bool FileExists(const QString& name) override {
        return !name.isEmpty() && DCFileMethods().FileExists(name);
    }
    int GetImageCount(const QString& name) override { return DCFileMethods().GetImageCount(name); }
    QByteArray ReadFile(const QString& name) override { return DCFileMethods().ReadFile(name); }
    QByteArray ReadImage(const QString& name, int page) override {
        return DCFileMethods().ReadImage(name, page);
    }
    QByteArray ReadAnnotation(const QString& name, int page) override {
        return DCFileMethods().ReadAnnotation(name, page);
    }
    QList<QByteArray> ReadAnnotations(const QString& name, int count) override {
        return DCFileMethods().ReadAnnotations(name, count);
    }

private:
    QPointer<TDokument> m_dokument;
};

// A linked document's pages, read from its file outside the store (the file's existence is
// checked as the document object checks it). Links carry no annotations.
class TLinkPageSource final : public IPageSource {
public:
    explicit TLinkPageSource(const TDokument& dokument) : m_path(dokument.Path()) {}
    bool IsNewDokument() const override { return false; }
    QString RemoteFilename() const override { return m_path; }
    void CheckRemoteStructure() override {}
    bool FileExists(const QString& name) override { return QFileInfo(name).isFile(); }
    int GetImageCount(const QString& name) override {
        // As the store counts: a file that is no TIFF has no pages and is read whole.
        try {
            Imaging::TTiffReader reader(ReadFile(name));
            return reader.PageCount();
        } catch (const Imaging::ETiffError&) {
            return 0;
        }
    }
    QByteArray ReadFile(const QString& name) override {
        if (m_bytes.isEmpty()) {
            QFile file(name);
            if (file.open(QIODevice::ReadOnly))
                m_bytes = file.readAll();
        }
        return m_bytes;
    }
    QByteArray ReadImage(const QString& name, int page) override {
        Imaging::TTiffReader reader(ReadFile(name));
        reader.OpenPage(page);
        if (reader.CanCopyRaw())
            return reader.ExtractPage();
        Imaging::TTiffWriter writer;
        writer.WritePage(reader.Decode(), reader.Params());
        return writer.Finish();
    }
    QByteArray ReadAnnotation(const QString&, int) override { return {}; }

private:
    QString m_path;
    QByteArray m_bytes;
};

bool isLinkOnly(const TDokument* d) { return d && d->isFileLink() && !d->isDMSDokument(); }

QIcon themeIcon(const char* name) { return QIcon::fromTheme(QString::fromLatin1(name)); }

QAction* checkable(QAction* a, bool checked) {
    a->setCheckable(true);
    a->setChecked(checked);
    return a;
}

QSpinBox* spinEdit(QWidget* parent, const char* name, int min, int max, int step, int value) {
    auto* e = new QSpinBox(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setRange(min, max);
    e->setSingleStep(step);
    e->setValue(value);
    return e;
}

TVoskColorBox* colorBox(QWidget* parent, const char* name, qint32 value) {
    auto* c = new TVoskColorBox(parent);
    c->setObjectName(QString::fromLatin1(name));
    c->SetColorValue(value);
    return c;
}

constexpr qint32 kInfoBackground = qint32(0xFF000018);

const QString kTextStillEdited = QStringLiteral(
    "Anmerkung (Text) befindet sich noch im Bearbeitungsmodus. Seite kann so (leider) nicht "
    "gespeichert werden. Bitte klicken sie neben das Eingabefeld, um dieses zu deaktiveren.");

} // namespace

QString TFileViewerFrameTIFF::TextStillEdited() { return makeText(17177, kTextStillEdited); }

// ---------------------------------------------------------------------------------------------
// Construction

TFileViewerFrameTIFF::TFileViewerFrameTIFF(QObject* ParentAndOwner, TDokument* Dokument,
                                           bool EditablePages, TLoadForm* _LoadForm)
    : TFileViewerFrame(
          [&]() -> QObject* {
              if (_LoadForm)
                  _LoadForm->SetStatus(QStringLiteral("TFileViewerFrameTIFF.Create -> Constructor"));
              return ParentAndOwner;
          }(),
          Dokument, EditablePages, _LoadForm),
      m_pages(new TViewerPages(this, this)) {
    std::optional<THourGlass> hourglass;
    hourglass.emplace();
    setObjectName(QStringLiteral("FileViewerFrameTIFF"));
    buildForm();
    setupAnnotations();
    // The form binds these itself; FinishCreate binds the rest to the base's handlers.
    OnCloseQuery = [this](QObject* s, bool& c) { FormCloseQuery(s, c); };
    OnDestroy = [this](QObject* s) { FormDestroy(s); };
    OnHide = [this](QObject* s) { FormHide(s); };
    OnKeyUp = [this](QObject* s, int& k, Qt::KeyboardModifiers m) { FormKeyUp(s, k, m); };
    OnResize = [this](QObject* s) { FormResize(s); };
    FinishCreate();

    EmbedIn(ParentAndOwner);
    SetBorderStyle(Vcl::bsNone);

    FDMSScan_BarcodeMode = 255;
    FAllowSave = true;
    FPrintMeasure = 1;
    FPrintMargin[0] = 0.25;
    FPrintMargin[1] = 0.25;
    FPrintMargin[2] = 0.25;
    FPrintMargin[3] = 0.5;
    ribMenu->SetActiveTab(ribMenuPage);
    imCurrentPage->SetMaxSelectionDistance(25);
    imCurrentPage->Model().SetUndoLimit(125);
    TImageListLoader::LoadImages(this);

    Recreate(Dokument, EditablePages);
    SetInputMode(imMove);

    hourglass.reset();
    ribMenu->SetMinimized(DM1() && DM1()->Connected() &&
                          DM1()->LoadLastValBool(QStringLiteral("TFileViewerFrame.CloseRibMenu"), false));
    ribMenuEdit->SetCaption(makeText(21030, QStringLiteral("Scannen / Löschen")));
    ribMenuPage->SetCaption(makeText(21031, QStringLiteral("Seite / Ansicht")));
    ribMenuAnnotation->SetCaption(makeText(21032, QStringLiteral("Anmerkungen")));
}

TFileViewerFrameTIFF::~TFileViewerFrameTIFF() {
    SaveRibMenuClosed(ribMenu->IsMinimized());
    // Closing the window takes the focus from the page while the base classes are destroyed:
    // this viewer's members are gone by then.
    imCurrentPage->OnExit = nullptr;
    imCurrentPage->OnKeyUp = nullptr;
    imNavigator->OnKeyUp = nullptr;
}

void TFileViewerFrameTIFF::buildForm() {
    resize(1039, 654);
    setFont(QFont(QStringLiteral("Tahoma")));
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    ribMenu = Vcl::Owned(this, new TVoskRibbon(this), QStringLiteral("ribMenu"));
    root->addWidget(ribMenu);

    spOverview = Vcl::Owned(this, new QSplitter(Qt::Horizontal, this), QStringLiteral("spOverview"));
    root->addWidget(spOverview, 1);

    imOverview = Vcl::Owned(this, new QListView(spOverview), QStringLiteral("imOverview"));
    imOverview->setModel(m_pages->imOverview());
    imOverview->setViewMode(QListView::IconMode);
    imOverview->setFlow(QListView::TopToBottom);
    imOverview->setWrapping(false);
    imOverview->setMovement(QListView::Static);
    imOverview->setUniformItemSizes(true);
    imOverview->setSelectionMode(QAbstractItemView::SingleSelection);
    imOverview->setIconSize(m_pages->imOverview()->ThumbnailSize());
    imOverview->setGridSize(m_pages->imOverview()->ThumbnailSize() + QSize(20, 30));
    imOverview->setMinimumWidth(120);
    imOverview->setAccessibleName(QStringLiteral("Seitenübersicht"));
    imOverview->setToolTip(QStringLiteral("Seitenübersicht"));
    imOverview->hide();
    connect(imOverview->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && current.row() != m_pages->imOverview()->SelectedImage())
                    Rtl::Guarded([&] { imOverviewImageSelect(current.row()); }, this);
            });
    connect(m_pages->imOverview(), &TPageList::selectedImageChanged, this, [this](int index) {
        const QModelIndex i = m_pages->imOverview()->index(index);
        if (imOverview->currentIndex() != i) {
            const QSignalBlocker block(imOverview->selectionModel());
            imOverview->setCurrentIndex(i);
        }
    });

    pnPages = Vcl::Owned(this, new QWidget(spOverview), QStringLiteral("pnPages"));
    auto* pages = new QVBoxLayout(pnPages);
    pages->setContentsMargins(0, 0, 0, 0);
    pages->setSpacing(0);
    pnPage2 = Vcl::Owned(this, new QWidget(pnPages), QStringLiteral("pnPage2"));
    auto* page2 = new QVBoxLayout(pnPage2);
    page2->setContentsMargins(0, 0, 0, 0);
    imCurrentPage = Vcl::Owned(this, new Imaging::TImageEnVect(pnPage2), QStringLiteral("imCurrentPage"));
    imCurrentPage->setAccessibleName(QStringLiteral("Seite"));
    imCurrentPage->setToolTip(QString());
    imCurrentPage->setEnabled(false);
    page2->addWidget(imCurrentPage);
    pages->addWidget(pnPage2, 1);

    // The scan panel lies over the page while a scan or load runs.
    // Over the page, but not inside the page view: that is disabled while it shows no page, and
    // the break button must stay clickable.
    pnShowScan = Vcl::Owned(this, new QFrame(pnPage2), QStringLiteral("pnShowScan"));
    static_cast<QFrame*>(pnShowScan)->setFrameShape(QFrame::StyledPanel);
    pnShowScan->setAutoFillBackground(true);
    auto* scan = new QVBoxLayout(pnShowScan);
    lbShowScan = Vcl::Owned(this, new QLabel(pnShowScan), QStringLiteral("lbShowScan"));
    pbShowScan = Vcl::Owned(this, new QProgressBar(pnShowScan), QStringLiteral("pbShowScan"));
    pbShowScan->setAccessibleName(QStringLiteral("Fortschritt"));
    pbShowScan->setToolTip(QStringLiteral("Fortschritt"));
    btBreakScan = Vcl::Owned(this, new QPushButton(QStringLiteral("&Abbrechen"), pnShowScan),
                             QStringLiteral("btBreakScan"));
    btBreakScan->setToolTip(QStringLiteral("Abbrechen"));
    connect(btBreakScan, &QPushButton::clicked, this, [this] { btBreakScanClick(); });
    scan->addWidget(lbShowScan);
    scan->addWidget(pbShowScan);
    scan->addWidget(btBreakScan, 0, Qt::AlignRight);
    pnShowScan->resize(360, 110);
    pnShowScan->hide();

    tcPages = Vcl::Owned(this, new TPageSelector(pnPages), QStringLiteral("tcPages"));
    tcPages->setToolTip(QStringLiteral("Seiten"));
    tcPages->SetCaptionSource([this](int page) { return m_pages->TabText(page); });
    connect(tcPages, &TPageSelector::currentChanged, this,
            [this](int index) { Rtl::Guarded([&] { tcPagesChange(index); }, this); });
    connect(tcPages, &TPageSelector::closeRequested, this,
            [this] { Rtl::Guarded([&] { tcPagesCanClose(); }, this); });
    pages->addWidget(tcPages);

    lbEditTextHint = Vcl::Owned(this, new QLabel(pnPages), QStringLiteral("lbEditTextHint"));
    lbEditTextHint->setText(QStringLiteral("Achtung: Die Beabeitung von Anmerkungen (Text) unbedingt "
                                           "abschließen - auf das Bild klicken, neben dem Text"));
    lbEditTextHint->setToolTip(lbEditTextHint->text());
    lbEditTextHint->setStyleSheet(QStringLiteral("color: red"));
    lbEditTextHint->hide();
    pages->addWidget(lbEditTextHint);

    pnNavigator = Vcl::Owned(this, new QGroupBox(QStringLiteral(" Navigator "), pnPages),
                             QStringLiteral("pnNavigator"));
    auto* nav = new QVBoxLayout(pnNavigator);
    nav->setContentsMargins(4, 4, 4, 4);
    imNavigator = Vcl::Owned(this, new TPageNavigator(pnNavigator), QStringLiteral("imNavigator"));
    imNavigator->setAccessibleName(QStringLiteral("Navigator"));
    imNavigator->setToolTip(QStringLiteral("Navigator"));
    nav->addWidget(imNavigator);
    pnNavigator->hide();

    pnRelation = Vcl::Owned(this, new QWidget(spOverview), QStringLiteral("pnRelation"));
    auto* relation = new QVBoxLayout(pnRelation);
    gbOpenWorkflow = Vcl::Owned(this, new QGroupBox(makeText(1817, QStringLiteral("Meine Workflowaufgaben")), pnRelation),
                                QStringLiteral("gbOpenWorkflow"));
    gbRelatedDoks = Vcl::Owned(this, new QGroupBox(makeText(11048, QStringLiteral("Dokumente-Beziehungen")), pnRelation),
                               QStringLiteral("gbRelatedDoks"));
    relation->addWidget(gbOpenWorkflow);
    relation->addWidget(gbRelatedDoks);
    pnRelation->hide();

    spOverview->setStretchFactor(0, 0);
    spOverview->setStretchFactor(1, 1);
    spOverview->setStretchFactor(2, 0);

    pnStatus = Vcl::Owned(this, new QWidget(this), QStringLiteral("pnStatus"));
    auto* status = new QHBoxLayout(pnStatus);
    status->setContentsMargins(4, 2, 4, 2);
    lbStatus = Vcl::Owned(this, new QLabel(pnStatus), QStringLiteral("lbStatus"));
    lbStatus->setAccessibleName(QStringLiteral("Status"));
    pbStatusLoad = Vcl::Owned(this, new QProgressBar(pnStatus), QStringLiteral("pbStatusLoad"));
    pbStatusLoad->setFixedWidth(200);
    pbStatusLoad->setAccessibleName(QStringLiteral("Ladefortschritt"));
    pbStatusLoad->setToolTip(QStringLiteral("Ladefortschritt"));
    // Showing progress changes no layout: the bar keeps its place while hidden, the text's
    // length does not count.
    QSizePolicy keep = pbStatusLoad->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    pbStatusLoad->setSizePolicy(keep);
    lbStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lbStatus->setMinimumHeight(pbStatusLoad->sizeHint().height());
    pbStatusLoad->hide();
    status->addWidget(lbStatus, 1);
    status->addWidget(pbStatusLoad);
    root->addWidget(pnStatus);

    buildRibbon();
}

void TFileViewerFrameTIFF::buildRibbon() {
    const auto button = [](TVoskRibbonGroup* g, const char* name, const QString& caption,
                           const char* icon, TVoskRibbonGroup::ItemSize size = TVoskRibbonGroup::Large) {
        QToolButton* b = g->AddButton(QString::fromLatin1(name), caption, themeIcon(icon), {}, size);
        return b->defaultAction();
    };

    ribMenuEdit = ribMenu->AddTab(QStringLiteral("ribMenuEdit"), QStringLiteral("Scannen / Löschen"));
    tbEdit = ribMenuEdit->AddGroup(QStringLiteral("tbEdit"), QStringLiteral("Seiten Editieren"));
    btFileScan = button(tbEdit, "btFileScan", QStringLiteral("Scannen"), "scanner");
    btEditScanDialog = checkable(button(tbEdit, "btEditScanDialog", QStringLiteral("Scan- Vorschau"),
                                        "document-preview", TVoskRibbonGroup::Small),
                                 false);
    connect(btEditScanDialog, &QAction::triggered, this,
            [this] { Rtl::Guarded([&] { btEditScanDialogClick(btEditScanDialog); }, this); });

    ribMenuPage = ribMenu->AddTab(QStringLiteral("ribMenuPage"), QStringLiteral("Seite / Ansicht"));
    tbPage = ribMenuPage->AddGroup(QStringLiteral("tbPage"), QStringLiteral("Seite"));
    btShowOverview = checkable(button(tbPage, "btShowOverview", QStringLiteral("Übersicht"), "view-list-icons"), false);
    connect(btShowOverview, &QAction::triggered, this,
            [this] { Rtl::Guarded([&] { btShowOverviewClick(btShowOverview); }, this); });
    btFilePrint = button(tbPage, "btFilePrint", QStringLiteral("Drucken"), "document-print");
    btFilePrint->setToolTip(QStringLiteral("Das Dokument mit seinen Anmerkungen drucken"));
    connect(btFilePrint, &QAction::triggered, this,
            [this] { Rtl::Guarded([&] { btFilePrintClick(btFilePrint); }, this); });
    btFileExport = button(tbPage, "btFileExport", QStringLiteral("Export"), "document-export");
    btFileExport->setToolTip(QStringLiteral("Das Dokument als PDF, PostScript, TIFF oder PNG speichern"));
    connect(btFileExport, &QAction::triggered, this,
            [this] { Rtl::Guarded([&] { btFileExportClick(btFileExport); }, this); });
    tbView = ribMenuPage->AddGroup(QStringLiteral("tbView"), QStringLiteral("Ansicht"));
    auto* zoomGroup = new QActionGroup(this);
    btZoom100 = checkable(button(tbView, "btZoom100", QStringLiteral("100 %"), "zoom-original", TVoskRibbonGroup::Small), false);
    btZoomFull = checkable(button(tbView, "btZoomFull", QStringLiteral("Ganze Seite"), "zoom-fit-best", TVoskRibbonGroup::Small), false);
    btZoomWidth = checkable(button(tbView, "btZoomWidth", QStringLiteral("Seitenbreite"), "zoom-fit-width", TVoskRibbonGroup::Small), true);
    for (QAction* a : {btZoom100, btZoomFull, btZoomWidth})
        zoomGroup->addAction(a);
    connect(btZoom100, &QAction::triggered, this, [this] { Rtl::Guarded([&] { btZoom100Click(btZoom100); }, this); });
    connect(btZoomFull, &QAction::triggered, this, [this] { Rtl::Guarded([&] { btZoomFullClick(btZoomFull); }, this); });
    connect(btZoomWidth, &QAction::triggered, this, [this] { Rtl::Guarded([&] { btZoomWidthClick(btZoomWidth); }, this); });
    cbZoom = new QToolButton(tbView);
    cbZoom->setObjectName(QStringLiteral("cbZoom"));
    cbZoom->setText(QStringLiteral("100 %"));
    cbZoom->setAutoRaise(true);
    cbZoom->setFocusPolicy(Qt::NoFocus);
    tbView->AddWidget(cbZoom, QStringLiteral("Zoom"));
    btShowNavigator = checkable(button(tbView, "btShowNavigator", QStringLiteral("Navigator"), "zoom-select"), false);
    connect(btShowNavigator, &QAction::triggered, this,
            [this] { Rtl::Guarded([&] { btShowNavigatorClick(btShowNavigator); }, this); });
    auto* navGroup = new QActionGroup(this);
    btNavigatorSmall = checkable(button(tbView, "btNavigatorSmall", QStringLiteral("kleiner Navigator"), "zoom-out", TVoskRibbonGroup::Small), true);
    btNavigatorMedium = checkable(button(tbView, "btNavigatorMedium", QStringLiteral("mittlerer Navigator"), "zoom-original", TVoskRibbonGroup::Small), false);
    btNavigatorLarge = checkable(button(tbView, "btNavigatorLarge", QStringLiteral("großer Navigator"), "zoom-in", TVoskRibbonGroup::Small), false);
    for (QAction* a : {btNavigatorSmall, btNavigatorMedium, btNavigatorLarge}) {
        navGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, a] { Rtl::Guarded([&] { btNavigatorClick(a); }, this); });
    }

    ribMenuAnnotation = ribMenu->AddTab(QStringLiteral("ribMenuAnnotation"), QStringLiteral("Anmerkungen"));
    tbAnnotations = ribMenuAnnotation->AddGroup(QStringLiteral("tbAnnotations"), QStringLiteral("Anmerkungen"));
    btAnnotUndo = button(tbAnnotations, "btAnnotUndo", QStringLiteral("Rückgängig"), "edit-undo", TVoskRibbonGroup::Small);
    btAnnotRedo = button(tbAnnotations, "btAnnotRedo", QStringLiteral("Wiederherstellen"), "edit-redo", TVoskRibbonGroup::Small);
    btAnnotVisible = checkable(button(tbAnnotations, "btAnnotVisible", QStringLiteral("Anzeigen"), "visibility", TVoskRibbonGroup::Small), true);
    btAnnotEnable = checkable(button(tbAnnotations, "btAnnotEnable", QStringLiteral("Änderbar"), "document-edit", TVoskRibbonGroup::Small), true);
    auto* mouseGroup = new QActionGroup(this);
    btMouseMove = checkable(button(tbAnnotations, "btMouseMove", QStringLiteral("Verschieben"), "transform-move", TVoskRibbonGroup::Small), true);
    btMouseZoom = checkable(button(tbAnnotations, "btMouseZoom", QStringLiteral("Vergrößern"), "zoom-in", TVoskRibbonGroup::Small), false);
    btMouseSelect = checkable(button(tbAnnotations, "btMouseSelect", QStringLiteral("Auswählen"), "edit-select", TVoskRibbonGroup::Small), false);
    btAddHighlight = checkable(button(tbAnnotations, "btAddHighlight", QStringLiteral("Markieren"), "draw-highlight"), false);
    btAddText = checkable(button(tbAnnotations, "btAddText", QStringLiteral("Text"), "draw-text"), false);
    btAddDot = checkable(button(tbAnnotations, "btAddDot", QStringLiteral("Punkt"), "draw-circle"), false);
    btAddArrow = checkable(button(tbAnnotations, "btAddArrow", QStringLiteral("Pfeil"), "draw-arrow"), false);
    btAddImage = checkable(button(tbAnnotations, "btAddImage", QStringLiteral("Bild"), "insert-image"), false);
    for (QAction* a : {btMouseMove, btMouseZoom, btMouseSelect, btAddHighlight, btAddText, btAddDot,
                       btAddArrow, btAddImage})
        mouseGroup->addAction(a);
    btAnnotToFront = button(tbAnnotations, "btAnnotToFront", QStringLiteral("Nach vorn"), "object-order-raise", TVoskRibbonGroup::Small);
    btAnnotToBack = button(tbAnnotations, "btAnnotToBack", QStringLiteral("Nach hinten"), "object-order-lower", TVoskRibbonGroup::Small);
    btAnnotDelete = button(tbAnnotations, "btAnnotDelete", QStringLiteral("Löschen"), "edit-delete", TVoskRibbonGroup::Small);

    ribMenuHighlight = ribMenu->AddTab(QStringLiteral("ribMenuHighlight"), QStringLiteral("Markierung"));
    tbHighlightProperty = ribMenuHighlight->AddGroup(QStringLiteral("tbHighlightProperty"), QStringLiteral("Markierung"));
    cbHighlightColor = colorBox(tbHighlightProperty, "cbHighlightColor", 65535);
    tbHighlightProperty->AddWidget(cbHighlightColor, QStringLiteral("Marker-Farbe"));

    ribMenuText = ribMenu->AddTab(QStringLiteral("ribMenuText"), QStringLiteral("Text"));
    tbTextProperty = ribMenuText->AddGroup(QStringLiteral("tbTextProperty"), QStringLiteral("Text"));
    cbTextFont = Vcl::Owned(this, new QFontComboBox(this), QStringLiteral("cbTextFont"));
    cbTextFont->setCurrentFont(QFont(QStringLiteral("Arial")));
    cbTextFont->setToolTip(QStringLiteral("Schriftart"));
    cbTextFont->setAccessibleName(QStringLiteral("Schriftart"));
    cbTextFont->hide(); // not on the ribbon: the text tool uses the remembered font
    cbTextBold = checkable(button(tbTextProperty, "cbTextBold", QStringLiteral("Fett"), "format-text-bold", TVoskRibbonGroup::Small), false);
    cbTextItalic = checkable(button(tbTextProperty, "cbTextItalic", QStringLiteral("Kursiv"), "format-text-italic", TVoskRibbonGroup::Small), false);
    cbTextFontColor = colorBox(tbTextProperty, "cbTextFontColor", 0);
    tbTextProperty->AddWidget(cbTextFontColor, QStringLiteral("Textfarbe"));
    edTextFontSize = spinEdit(tbTextProperty, "edTextFontSize", 4, 128, 2, 34);
    tbTextProperty->AddWidget(edTextFontSize, QStringLiteral("Textgröße"));
    cbTextBackgroundVisible = checkable(button(tbTextProperty, "cbTextBackgroundVisible", QStringLiteral("Hintergrund"), "fill-color", TVoskRibbonGroup::Small), false);
    cbTextBackgroundColor = colorBox(tbTextProperty, "cbTextBackgroundColor", kInfoBackground);
    tbTextProperty->AddWidget(cbTextBackgroundColor, QStringLiteral("Farbe"));
    cbTextBorderVisible = checkable(button(tbTextProperty, "cbTextBorderVisible", QStringLiteral("Rahmen"), "draw-rectangle", TVoskRibbonGroup::Small), true);
    cbTextBorderColor = colorBox(tbTextProperty, "cbTextBorderColor", 0);
    tbTextProperty->AddWidget(cbTextBorderColor, QStringLiteral("Farbe"));
    cbTextBackgroundColor->setAccessibleName(QStringLiteral("Hintergrundfarbe"));
    cbTextBackgroundColor->setToolTip(QStringLiteral("Hintergrundfarbe"));
    cbTextBorderColor->setAccessibleName(QStringLiteral("Rahmenfarbe"));
    cbTextBorderColor->setToolTip(QStringLiteral("Rahmenfarbe"));

    ribMenuDot = ribMenu->AddTab(QStringLiteral("ribMenuDot"), QStringLiteral("Punkt"));
    tbDotProperty = ribMenuDot->AddGroup(QStringLiteral("tbDotProperty"), QStringLiteral("Punkt"));
    edDotSize = spinEdit(tbDotProperty, "edDotSize", 10, 100, 1, 10);
    tbDotProperty->AddWidget(edDotSize, QStringLiteral("Größe"));
    cbDotColor = colorBox(tbDotProperty, "cbDotColor", 255);
    tbDotProperty->AddWidget(cbDotColor, QStringLiteral("Füllfarbe"));
    cbDotBorderColor = colorBox(tbDotProperty, "cbDotBorderColor", 0);
    tbDotProperty->AddWidget(cbDotBorderColor, QStringLiteral("Rahmenfarbe"));

    ribMenuArrow = ribMenu->AddTab(QStringLiteral("ribMenuArrow"), QStringLiteral("Pfeil"));
    tbArrowProperty = ribMenuArrow->AddGroup(QStringLiteral("tbArrowProperty"), QStringLiteral("Pfeil"));
    cbArrowColor = colorBox(tbArrowProperty, "cbArrowColor", 255);
    tbArrowProperty->AddWidget(cbArrowColor, QStringLiteral("Füllfarbe"));
    cbArrowColor2 = colorBox(tbArrowProperty, "cbArrowColor2", 0);
    tbArrowProperty->AddWidget(cbArrowColor2, QStringLiteral("Rahmenfarbe"));
    edArrowText = new QLineEdit(tbArrowProperty);
    edArrowText->setObjectName(QStringLiteral("edArrowText"));
    tbArrowProperty->AddWidget(edArrowText, QStringLiteral("Text"));
    btArrowAutoText = checkable(new QAction(QStringLiteral("AutoText"), this), false);
    btArrowAutoText->setObjectName(QStringLiteral("btArrowAutoText"));
    btArrowAutoText->setToolTip(QStringLiteral(
        "Fügt einen fortlaufend zählenden Wert in alle gleichen Pfeiltexte ein (entweder bei einem \"*\" "
        "oder am Ende)"));
    btArrowBold = checkable(button(tbArrowProperty, "btArrowBold", QStringLiteral("Fett"), "format-text-bold", TVoskRibbonGroup::Small), false);
    edArrowTextSize = spinEdit(tbArrowProperty, "edArrowTextSize", 4, 128, 2, 26);
    tbArrowProperty->AddWidget(edArrowTextSize, QStringLiteral("Textgröße"));

    ribMenuImage = ribMenu->AddTab(QStringLiteral("ribMenuImage"), QStringLiteral("Bild"));
    tbImageProperty = ribMenuImage->AddGroup(QStringLiteral("tbImageProperty"), QStringLiteral("Bild"));
    cbImageList = new QComboBox(tbImageProperty);
    cbImageList->setObjectName(QStringLiteral("cbImageList"));
    cbImageList->setMinimumWidth(180);
    tbImageProperty->AddWidget(cbImageList, QStringLiteral("Datei"));
    cbLoadImage = button(tbImageProperty, "cbLoadImage", QStringLiteral("Laden"), "document-open", TVoskRibbonGroup::Small);
    cbLoadImage->setEnabled(false);

    ribMenuAnnotAddon = ribMenu->AddTab(QStringLiteral("ribMenuAnnotAddon"), QStringLiteral("AnnotAddon"));
    tbAnnotationsHelper = ribMenuAnnotAddon->AddGroup(QStringLiteral("tbAnnotationsHelper"), QStringLiteral(" Anmerkungen"));
    btHelperToFront = button(tbAnnotationsHelper, "btHelperToFront", QStringLiteral("Nach vorn"), "object-order-raise", TVoskRibbonGroup::Small);
    btHelperToBack = button(tbAnnotationsHelper, "btHelperToBack", QStringLiteral("Nach hinten"), "object-order-lower", TVoskRibbonGroup::Small);
    btHelperDelete = button(tbAnnotationsHelper, "btHelperDelete", QStringLiteral("Löschen"), "edit-delete", TVoskRibbonGroup::Small);
    btHelperSave = button(tbAnnotationsHelper, "btHelperSave", QStringLiteral("Speichern"), "document-save", TVoskRibbonGroup::Small);
    QToolButton* helperNew = tbAnnotationsHelper->AddButton(QStringLiteral("btHelperNew"), QStringLiteral("Neue Anmerkung"),
                                                            themeIcon("list-add"), {}, TVoskRibbonGroup::Large);
    mnHelperNew = new QMenu(helperNew);
    mnHelperNew->setObjectName(QStringLiteral("mnHelperNew"));
    const auto helper = [this](const char* name, const QString& caption, const char* icon) {
        QAction* a = mnHelperNew->addAction(themeIcon(icon), caption);
        a->setObjectName(QString::fromLatin1(name));
        a->setToolTip(caption);
        return a;
    };
    btHelperAddHighlight = helper("btHelperAddHighlight", QStringLiteral("Markieren"), "draw-highlight");
    btHelperAddText = helper("btHelperAddText", QStringLiteral("Text"), "draw-text");
    btHelperAddDot = helper("btHelperAddDot", QStringLiteral("Punkt"), "draw-circle");
    btHelperAddArrow = helper("btHelperAddArrow", QStringLiteral("Pfeil"), "draw-arrow");
    btHelperAddImage = helper("btHelperAddImage", QStringLiteral("Bild"), "insert-image");
    btHelperMouseSelect = helper("btHelperMouseSelect", QStringLiteral("Auswählen"), "edit-select");
    helperNew->setMenu(mnHelperNew);
    helperNew->setPopupMode(QToolButton::InstantPopup);
    ribMenuAnnotAddon->SetTabVisible(false);
    // The property tabs show only while an object of their kind is selected.
    for (TVoskRibbonTab* t : {ribMenuHighlight, ribMenuText, ribMenuDot, ribMenuArrow, ribMenuImage})
        t->SetTabVisible(false);
    buildNavigationCommands();
    buildSaveCommands();
    buildFileCommands();
    buildScanCommands();
}

// ---------------------------------------------------------------------------------------------
// Loading a document

QString TFileViewerFrameTIFF::GetSavePath(bool root) const {
    const QString base = QStringLiteral("TFileViewerFrameTIFF~");
    if (root)
        return base;
    if (parentWidget() && Vcl::InheritsFromName(parentWidget(), QStringLiteral("TcxTabSheet")))
        return base + QStringLiteral("Inline~");
    return base + (m_editTabVisible ? QStringLiteral("Edit~") : QStringLiteral("View~"));
}

void TFileViewerFrameTIFF::setEditTabVisible(bool visible) {
    m_editTabVisible = visible;
    ribMenuEdit->SetTabVisible(visible);
    btFileScan->setVisible(visible);
}

void TFileViewerFrameTIFF::Recreate(TDokument* Dokument, bool EditablePages) {
    // The tabs this sets are no user's tab change: the strip and input mode are set here.
    const QSignalBlocker quietTabs(ribMenu);
    if (Dokument) {
        try {
            if (!Dokument->NewDocumentFlag()) {
                TUserRights::CanDoDMSFileAction(Dokument->DokType(), Dokument->Id(), 0, true);
                if (EditablePages &&
                    !TUserRights::CanDoDMSFileAction(Dokument->DokType(), Dokument->Id(), 1, false))
                    EditablePages = false;
            } else {
                TUserRights::CanDoDMSFileAction(Dokument->InsertData().DokType, 0, 2, true);
            }
            if (isLinkOnly(Dokument)) {
                // The file is not the store's to change: it is shown, never saved.
                EditablePages = false;
                Dokument->DMSGetFile(); // refuses a link whose file is gone
            }
        } catch (...) {
            Recreate(nullptr, false);
            throw;
        }
    }
    if (FDokument)
        disconnect(FDokument, nullptr, this, nullptr);
    // Loading the document shown again (after a save, or to annotate) is the same opening;
    // its revisions share one revision id.
    const qint64 opened = !Dokument ? 0 : Dokument->RevisionId() ? Dokument->RevisionId() : Dokument->Id();
    if (!Dokument || Dokument != FDokument || opened != m_saidForId)
        m_saidUnknown.clear();
    m_saidForId = opened;
    FHasBeenSaved = false;
    SetDokument(Dokument);
    if (isLinkOnly(Dokument))
        m_source = std::make_unique<TLinkPageSource>(*Dokument);
    else
        m_source.reset(Dokument ? new TDokumentPageSource(Dokument) : nullptr);
    m_pages->SetSource(m_source.get());
    if (Dokument)
        connect(Dokument, &QObject::destroyed, this, [this] { m_pages->SetSource(nullptr); });
    m_pages->FEditablePages = !Dokument ? 0 : (EditablePages ? 2 : 1);

    const bool editable = m_pages->FEditablePages == 2;
    setEditTabVisible(editable);
    if (editable) {
        ribMenu->SetActiveTab(ribMenuEdit);
        // The strip is shown here; ReloadImages below reads the first page, the strip the pages
        // of the thumbnails it draws.
        if (!imOverview->isVisible()) {
            const QSignalBlocker block(btShowOverview);
            btShowOverview->setChecked(true);
            imOverview->show();
        }
    } else {
        ribMenu->SetActiveTab(ribMenuPage);
    }
    ReloadImages(0);
    restoreSettings();
    cbImageListChange(nullptr);
    ShowRelatedDokuments();
}

void TFileViewerFrameTIFF::restoreSettings() {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        return;
    const QString p = GetSavePath();
    btEditScanDialogClick(nullptr);
    btNavigatorClick(nullptr);
    // All of this place's values in one query; what is not stored takes the form's default.
    const QHash<QString, QString> stored = dm->LoadLastVals(p);
    const auto text = [&](const char* key, const QString& def) {
        return stored.value(p + QString::fromLatin1(key), def);
    };
    const auto boolean = [&](const char* key, bool def) {
        return Rtl::StrToBoolDef(text(key, QString()), def);
    };
    const auto integer = [&](const char* key, int def) {
        bool ok = false;
        const int v = text(key, QString()).toInt(&ok);
        return ok ? v : def;
    };

    const QString zoom = text("Zoom", QStringLiteral("Width"));
    if (zoom == QLatin1String("100"))
        btZoom100Click(nullptr);
    else if (zoom == QLatin1String("Width"))
        btZoomWidthClick(nullptr);
    else if (zoom == QLatin1String("Full"))
        btZoomFullClick(nullptr);

    const bool overview = boolean("btShowOverview", false);
    if (ribMenu->ActiveTab() != ribMenuEdit) {
        btShowOverview->setChecked(overview);
        btShowOverviewClick(nullptr);
    } else {
        FLastAI = !overview;
    }
    btShowNavigator->setChecked(boolean("btShowNavigator", false));
    btShowNavigatorClick(nullptr);

    // The annotation defaults; writing them into the controls is no user's change.
    const auto color = [&](TVoskColorBox* box, const char* key, int def) {
        box->SetColorValue(integer(key, def));
    };
    const auto flag = [&](QAction* a, const char* key, bool def) {
        const QSignalBlocker block(a);
        a->setChecked(boolean(key, def));
    };
    const auto number = [&](QSpinBox* e, const char* key, int def) {
        const QSignalBlocker block(e);
        e->setValue(integer(key, def));
    };
    color(cbHighlightColor, "cbHighlightColor", 65535);
    flag(cbTextBold, "cbTextBold", false);
    flag(cbTextItalic, "cbTextItalic", false);
    color(cbTextFontColor, "cbTextFontColor", 0);
    number(edTextFontSize, "edTextFontSize", 34);
    {
        const QSignalBlocker block(cbTextFont);
        cbTextFont->setCurrentFont(QFont(text("cbTextFont", QStringLiteral("Arial"))));
    }
    flag(cbTextBackgroundVisible, "cbTextBackgroundVisible", false);
    color(cbTextBackgroundColor, "cbTextBackgroundColor", kInfoBackground);
    flag(cbTextBorderVisible, "cbTextBorderVisible", true);
    color(cbTextBorderColor, "cbTextBorderColor", 0);
    number(edDotSize, "edDotSize", 10);
    color(cbDotColor, "cbDotColor", 255);
    color(cbDotBorderColor, "cbDotBorderColor", 0);
    color(cbArrowColor, "cbArrowColor", 255);
    color(cbArrowColor2, "cbArrowColor2", 0);
    {
        const QSignalBlocker block(edArrowText);
        edArrowText->setText(text("edArrowText", QString()));
    }
    flag(btArrowAutoText, "btArrowAutoText", false);
    flag(btArrowBold, "btArrowBold", false);
    number(edArrowTextSize, "edArrowTextSize", 26);
    {
        // A stamp with a password is never chosen for the user.
        const QString stamp = text("cbImageList", QString());
        const QSignalBlocker block(cbImageList);
        const int index = stamp.isEmpty() || StampHasPassword(stamp) ? -1 : cbImageList->findText(stamp);
        cbImageList->setCurrentIndex(index);
    }
}

void TFileViewerFrameTIFF::saveSettings() {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        return;
    const QString p = GetSavePath();
    dm->SaveLastValBool(p + QStringLiteral("btShowOverview"),
                        ribMenu->ActiveTab() == ribMenuEdit ? !FLastAI : btShowOverview->isChecked());
    dm->SaveLastValBool(p + QStringLiteral("btShowNavigator"), btShowNavigator->isChecked());
    dm->SaveLastValInt(p + QStringLiteral("cbHighlightColor"), cbHighlightColor->ColorValue());
    dm->SaveLastValBool(p + QStringLiteral("cbTextBold"), cbTextBold->isChecked());
    dm->SaveLastValBool(p + QStringLiteral("cbTextItalic"), cbTextItalic->isChecked());
    dm->SaveLastValInt(p + QStringLiteral("cbTextFontColor"), cbTextFontColor->ColorValue());
    dm->SaveLastValInt(p + QStringLiteral("edTextFontSize"), edTextFontSize->value());
    dm->SaveLastVal(p + QStringLiteral("cbTextFont"), cbTextFont->currentFont().family());
    dm->SaveLastValBool(p + QStringLiteral("cbTextBackgroundVisible"), cbTextBackgroundVisible->isChecked());
    dm->SaveLastValInt(p + QStringLiteral("cbTextBackgroundColor"), cbTextBackgroundColor->ColorValue());
    dm->SaveLastValBool(p + QStringLiteral("cbTextBorderVisible"), cbTextBorderVisible->isChecked());
    dm->SaveLastValInt(p + QStringLiteral("cbTextBorderColor"), cbTextBorderColor->ColorValue());
    dm->SaveLastValInt(p + QStringLiteral("edDotSize"), edDotSize->value());
    dm->SaveLastValInt(p + QStringLiteral("cbDotColor"), cbDotColor->ColorValue());
    dm->SaveLastValInt(p + QStringLiteral("cbDotBorderColor"), cbDotBorderColor->ColorValue());
    dm->SaveLastValInt(p + QStringLiteral("cbArrowColor"), cbArrowColor->ColorValue());
    dm->SaveLastValInt(p + QStringLiteral("cbArrowColor2"), cbArrowColor2->ColorValue());
    dm->SaveLastVal(p + QStringLiteral("edArrowText"), edArrowText->text());
    dm->SaveLastValBool(p + QStringLiteral("btArrowAutoText"), btArrowAutoText->isChecked());
    dm->SaveLastValBool(p + QStringLiteral("btArrowBold"), btArrowBold->isChecked());
    dm->SaveLastValInt(p + QStringLiteral("edArrowTextSize"), edArrowTextSize->value());
    dm->SaveLastVal(p + QStringLiteral("cbImageList"), cbImageList->currentText());
}

void TFileViewerFrameTIFF::SetAllowSave(bool Value) {
    if (Value == FAllowSave)
        return;
    FAllowSave = Value;
    ReloadImages(0);
}

void TFileViewerFrameTIFF::SetOnAllowEdit(TAllowEditEvent e) {
    FOnAllowEdit = std::move(e);
    SetAnnotationRights();
}

void TFileViewerFrameTIFF::SetOnEditImage(TAllowEditEvent e) {
    FOnEditImage = std::move(e);
    SetAnnotationRights();
}

void TFileViewerFrameTIFF::SetOnGetImage(TGetImageEvent e) {
    FOnGetImage = std::move(e);
    SetAnnotationRights();
}

Rtl::HookSlot<bool(const QString&)> TFileViewerFrameTIFF::StampHasPassword;
Rtl::HookSlot<void(TFileViewerFrameTIFF*)> TFileViewerFrameTIFF::SavePages;
Rtl::HookSlot<void(TFileViewerFrameTIFF*, bool)> TFileViewerFrameTIFF::Rescan;
Rtl::HookSlot<void(TFileViewerFrameTIFF*)> TFileViewerFrameTIFF::ChooseScanSource;

// ---------------------------------------------------------------------------------------------
// Form events

void TFileViewerFrameTIFF::FormResize(QObject* Sender) {
    TFileViewerFrame::FormResize(Sender);
    if (btZoom100->isChecked())
        btZoom100Click(nullptr);
    else if (btZoomWidth->isChecked())
        btZoomWidthClick(nullptr);
    else if (btZoomFull->isChecked())
        btZoomFullClick(nullptr);
    if (pnNavigator->isVisible())
        applyNavigatorSize();
}

void TFileViewerFrameTIFF::FormHide(QObject* Sender) {
    if (!FDoCloseEvent)
        return;
    FDoCloseEvent = false;
    Rtl::Guarded([this] { saveSettings(); }, this);
    TFileViewerFrame::FormHide(Sender);
}

void TFileViewerFrameTIFF::FormKeyUp(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift) {
    if (Key == Qt::Key_Escape) {
        if (imCurrentPage->IsMemoEditing())
            imCurrentPage->MemoEditEnd();
        imCurrentPage->Model().UnSelAllObjects();
        // The first Escape out of moving, zooming or placing returns to selecting; only the
        // next one closes.
        const QList<Imaging::TIEMouseInteractVtItem> vt = imCurrentPage->MouseInteractVt();
        if (imCurrentPage->MouseInteract() != Imaging::miNone ||
            (!vt.isEmpty() && vt != QList<Imaging::TIEMouseInteractVtItem>{Imaging::miObjectSelect})) {
            SetInputMode(imObjectSelect);
            FEscapeWasPressed = false;
            Key = 0;
            return;
        }
        EscapeKeyUp(Key);
        return;
    }
    // On the page, Page Down and Page Up turn the page, Ctrl+Home and Ctrl+End go to the first
    // and the last one; the host window never sees Page Up and Page Down.
    const Qt::KeyboardModifiers mods = Shift & ~Qt::KeypadModifier;
    const bool turn = Key == Qt::Key_PageUp || Key == Qt::Key_PageDown;
    const bool end = mods == Qt::ControlModifier && (Key == Qt::Key_Home || Key == Qt::Key_End);
    if ((turn && mods == Qt::NoModifier) || end) {
        QWidget* focus = QApplication::focusWidget();
        const auto within = [&](QWidget* w) {
            return Sender == w || focus == w || (focus && w->isAncestorOf(focus));
        };
        const bool onPage = within(imCurrentPage) || within(imNavigator);
        if (onPage && !imCurrentPage->IsMemoEditing()) {
            const int current = imOverviewPages()->SelectedImage();
            const int last = imOverviewPages()->ImageCount() - 1;
            turnToPage(Key == Qt::Key_PageUp     ? current - 1
                       : Key == Qt::Key_PageDown ? current + 1
                       : Key == Qt::Key_Home     ? 0
                                                 : last);
            Key = 0;
        }
    }
    if (turn)
        Key = 0;
    TFileViewerFrame::FormKeyUp(Sender, Key, Shift);
}

void TFileViewerFrameTIFF::FormDestroy(QObject* Sender) {
    if (pnShowScan->isVisible()) {
        btBreakScanClick();
        QCoreApplication::processEvents();
    }
    TFileViewerFrame::FormDestroy(Sender);
}

// ---------------------------------------------------------------------------------------------
// Pages

void TFileViewerFrameTIFF::ReloadImages(int Page) { m_pages->ReloadImages(Page); }
void TFileViewerFrameTIFF::LoadImage(int Page, bool LoadIntoView) { m_pages->LoadImage(Page, LoadIntoView); }
void TFileViewerFrameTIFF::RemoveAllImages() { m_pages->RemoveAllImages(); }
void TFileViewerFrameTIFF::ClearAllPages() { m_pages->ClearAllPages(); }

bool TFileViewerFrameTIFF::CheckImageFormatAndSetName(int Page, const QString& CodeSource) {
    return m_pages->CheckImageFormatAndSetName(Page, CodeSource);
}

bool TFileViewerFrameTIFF::PageFormatCheck(const QString& X, int Page, int ImageWidth,
                                           int ImageHeight, double Scaling, double Resolution) {
    return TViewerPages::PageFormatCheck(X, Page, ImageWidth, ImageHeight, Scaling, Resolution);
}

bool TFileViewerFrameTIFF::LoadAllImages() {
    if (imOverview->isVisible())
        return false;
    btShowOverview->setChecked(true);
    btShowOverviewClick(btShowOverview);
    return true;
}

void TFileViewerFrameTIFF::RefreshTabs() {
    const int count = m_pages->imOverview()->ImageCount();
    tcPages->SetPages(count, m_pages->imOverview()->SelectedImage(), m_pages->TabText(-1));
    tcPages->setEnabled(count > 0);
    // A tab's close button deletes its page, so it is offered only where pages may be edited.
    tcPages->SetClosable(count > 0 && m_editTabVisible);
}

void TFileViewerFrameTIFF::SetTab(int Page) { tcPages->ShowCurrent(Page); }

void TFileViewerFrameTIFF::tcPagesChange(int index) {
    const int shown = m_pages->imOverview()->SelectedImage();
    if (imCurrentPage->IsMemoEditing()) {
        // The text being edited would be lost with its page: the tab stays.
        SetTab(shown);
        Korvexutils::ShowError(makeText(17177, kTextStillEdited));
        return;
    }
    if (shown >= 0 && shown != index)
        imOverviewImageDeselect(shown);
    if (index >= 0 && index < m_pages->imOverview()->ImageCount())
        LoadImage(index, true);
}

void TFileViewerFrameTIFF::tcPagesCanClose() {
    // The selector never drops a page itself: it goes through the page-delete command, which
    // works on the page shown.
    btEditDeleteClick(tcPages);
}

void TFileViewerFrameTIFF::imCurrentPageProgress(int percent) {
    if (isVisible() && parentWidget() && parentWidget()->isVisible())
        SetStatus(makeText(17111, QStringLiteral("Bild in Anzeige laden")), percent, false);
}

void TFileViewerFrameTIFF::imOverviewImageSelect(int index) {
    const int shown = m_pages->imOverview()->SelectedImage();
    if (imCurrentPage->IsMemoEditing()) {
        {
            const QSignalBlocker block(imOverview->selectionModel());
            imOverview->setCurrentIndex(m_pages->imOverview()->index(shown));
        }
        Korvexutils::RaiseCriticalError(makeText(17177, kTextStillEdited));
    }
    if (shown >= 0 && shown != index)
        imOverviewImageDeselect(shown);
    LoadImage(index, true);
}

void TFileViewerFrameTIFF::imOverviewImageDeselect(int index) {
    // The page going is the one on the canvas; its edits go into its page data.
    if (index == m_pages->imOverview()->SelectedImage() && FAllowSave && m_annot->Changed())
        SaveAnnotationsOfPage(index);
    LoadImage(-1, true);
}

void TFileViewerFrameTIFF::DoPageRotate(const QString& X, int Page, bool Load) {
    if (Load)
        LoadImage(Page, true);
    PagesLogEvent(TDM1::FormatLogText(QStringLiteral("TFileViewerFrameTIFF.DoPageRotate %s : Seite %d drehen"),
                                      {X, QString::number(Page)}));
    // The page as shown turns a quarter to the right; it is stored so with the next save.
    TPageData* data = m_pages->imOverview()->UserData(Page);
    const QImage shown = m_pages->CurrentImage();
    if (!data || shown.isNull())
        return;
    Imaging::TIOParams params = m_pages->imOverview()->Params(Page);
    const QImage turned = shown.transformed(QTransform().rotate(90));
    Imaging::TTiffWriter writer;
    writer.WritePage(turned, params);
    data->CurImage = writer.Finish();
    m_pages->imOverview()->InvalidateImage(Page);
    m_pages->SetDecoded(Page, turned);
    m_pages->FEditablePages = 3;
    // The page's annotations turn with it: a point (x, y) of the old page is (height - y, x).
    if (m_pages->imOverview()->SelectedImage() == Page && data->Loadet &&
        imCurrentPage->Model().ObjectsCount() > 0) {
        RotateToDefault();
        Imaging::TIEVectModel& canvas = imCurrentPage->Model();
        const int height = shown.height();
        for (int i = 0; i < canvas.ObjectsCount(); ++i) {
            Imaging::TIEVObject& o = canvas.ObjAtRef(i);
            const QPoint a(height - o.Top, o.Left), b(height - o.Bottom, o.Right);
            if (o.Kind == Imaging::iekLINELABEL || o.Kind == Imaging::iekLINE) {
                o.Left = a.x(), o.Top = a.y(), o.Right = b.x(), o.Bottom = b.y();
                continue;
            }
            o.Left = std::min(a.x(), b.x()), o.Right = std::max(a.x(), b.x());
            o.Top = std::min(a.y(), b.y()), o.Bottom = std::max(a.y(), b.y());
            if (o.Kind == Imaging::iekBITMAP && !o.Bitmap.isNull())
                o.Bitmap = o.Bitmap.transformed(QTransform().rotate(90));
        }
        SaveAnnotationsOfPage(Page);
    }
    LoadImage(Page, true);
}

void TFileViewerFrameTIFF::SetImageList(const QStringList& Images) {
    cbImageList->clear();
    const QColor background = cbImageList->palette().color(QPalette::Base);
    const QList<TStampPicture> stamps = TViewerPages::BuildImageList(
        Images,
        FOnGetImage ? std::function<QByteArray(const QString&)>([this](const QString& name) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            FOnGetImage(this, name, &buffer);
            return bytes;
        })
                    : std::function<QByteArray(const QString&)>(),
        background, QSize(32, 32));
    for (const TStampPicture& s : stamps)
        cbImageList->addItem(s.Picture.isNull() ? QIcon() : QIcon(QPixmap::fromImage(s.Picture)), s.Name, s.Name);
    cbImageList->setCurrentIndex(-1);
}

int TFileViewerFrameTIFF::DoPageAdd(const QImage& Bitmap, const QString& DMSSource,
                                    const QString& CodeSource) {
    checkPageCommand();
    TPageList* list = m_pages->imOverview();
    // Pictures the TIFF writer takes as they are; any other form goes in as 24 bits.
    QImage image = Bitmap;
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
    case QImage::Format_Grayscale8:
    case QImage::Format_RGB888:
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        break;
    default:
        image = Imaging::FlattenOnWhite(image).convertToFormat(QImage::Format_RGB888);
    }
    const int index = list->AppendImage();
    TPageData* data = TPageData::_Get(list, index, -1);
    const QString cs = CodeSource.isEmpty() ? QStringLiteral("TFileViewerFrameTIFF.DoPageAdd") : CodeSource;
    PagesLogEvent(QStringLiteral("TFileViewerFrameTIFF.DoPageAdd: Code-Source = ") + cs);
    Imaging::TIOParams& params = list->Params(index);
    params.TIFF_ImageDescription = (QStringLiteral("Code-Source: ") + cs).toLatin1();
    params.PixelFormat = Imaging::PixelFormatOf(image);
    if (image.depth() <= 4 || (image.format() == QImage::Format_Indexed8 && image.colorCount() <= 16)) {
        params.TIFF_Compression = Imaging::ioTIFF_LZW;
        PagesLogEvent(QStringLiteral("TFileViewerFrameTIFF.DoPageAdd: Compression = LZW"));
    } else {
        params.TIFF_Compression = Imaging::ioTIFF_JPEG;
        PagesLogEvent(QStringLiteral("TFileViewerFrameTIFF.DoPageAdd: Compression = JPEG"));
    }
    Imaging::TTiffWriter writer;
    writer.WritePage(image, params);
    data->CurImage = writer.Finish();
    data->Loadet = true;
    // The page is shown from the picture itself, not decoded again.
    m_pages->SetDecoded(index, image);
    if (FDokument && FDokument->InsertData().Source.isEmpty())
        FDokument->InsertData().Source = DMSSource;
    ++m_pages->FNewPage;
    list->SetImageInfoText(index, TDM1::FormatLogText(makeText(17114, QStringLiteral("Seite %d")),
                                                      {QString::number(m_pages->FNewPage)}));
    RefreshTabs();
    LoadImage(index, true);
    ClearStatus();
    FormResize(nullptr);
    return index;
}

// ---------------------------------------------------------------------------------------------
// The page model's host

bool TFileViewerFrameTIFF::OverviewVisible() const { return !imOverview->isHidden(); }

void TFileViewerFrameTIFF::SetViewerEnabled(bool enabled) {
    // While pages load the viewer takes no input. Disabling the form instead would repaint every
    // control of it twice for nothing: loading runs on this thread and shows no other state.
    if (enabled) {
        if (m_inputBlocked > 0 && --m_inputBlocked == 0)
            qApp->removeEventFilter(this);
    } else if (m_inputBlocked++ == 0) {
        qApp->installEventFilter(this);
    }
}

bool TFileViewerFrameTIFF::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::Wheel && watched == imOverview->viewport() && m_inputBlocked == 0) {
        auto* wheel = static_cast<QWheelEvent*>(e);
        return imOverviewMouseWheel(wheel->angleDelta().y(), wheel->modifiers());
    }
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride: {
        auto* w = qobject_cast<QWidget*>(watched);
        return w && (w == this || isAncestorOf(w));
    }
    default:
        return TFileViewerFrame::eventFilter(watched, e);
    }
}

void TFileViewerFrameTIFF::ShowPage(int page, const QImage& image, TPageData* data) {
    FRotated = 0;
    imCurrentPage->Model().RemoveAllObjects();
    imCurrentPageProgress(0);
    imCurrentPage->Model().SetBitmap(image);
    imCurrentPageProgress(100);
    imCurrentPage->setEnabled(true);
    imNavigator->SetPage(image);
    updateAnnotEnvironment();
    m_annot->LoadAnnotations(data ? data->CurAnnot : QByteArray(), page,
                             !data || !data->AnnotUnreadable);
    if (data)
        data->AnnotUnreadable = m_annot->Unreadable();
    m_annot->SetAnnotationRights();
    CalcAutoText();
    imCurrentPage->ScrollToTopLeft();
}

void TFileViewerFrameTIFF::EmptyView() {
    if (m_annot)
        m_annot->LoadAnnotations({}, -1);
    imCurrentPage->Model().RemoveAllObjects();
    imCurrentPage->Model().SetBitmap(QImage());
    imCurrentPage->setEnabled(false);
    imNavigator->SetPage(QImage());
}

void TFileViewerFrameTIFF::PageShown() {
    FChangeBars = 0;
    ClearUndo(false);
    ShowOptions();
    FormResize(nullptr);
}

void TFileViewerFrameTIFF::SetStatus(const QString& text, int percent) {
    SetStatus(text, percent, false);
    // Loads show their progress here; a break ends them here too.
    m_cancel.Poll();
}

void TFileViewerFrameTIFF::ClearStatus() { ClearStatus(false); }

void TFileViewerFrameTIFF::btBreakScanClick() {
    Vcl::SetTag(btBreakScan, 3);
    btBreakScan->setEnabled(false);
    m_cancel.Arm();
}

// ---------------------------------------------------------------------------------------------
// View commands

double TFileViewerFrameTIFF::CheckZoomRange(double value) {
    const double v = qBound(1.0, value, 800.0);
    cbZoom->setText(QLocale(QLocale::German).toString(qRound(v)) + QStringLiteral(" %"));
    return v;
}

void TFileViewerFrameTIFF::btZoom100Click(QObject* Sender) {
    btZoom100->setChecked(true);
    imCurrentPage->SetZoom(CheckZoomRange(100));
    imCurrentPage->ScrollToTopLeft();
    if (Sender && DM1())
        DM1()->SaveLastVal(GetSavePath() + QStringLiteral("Zoom"), QStringLiteral("100"));
}

void TFileViewerFrameTIFF::btZoomWidthClick(QObject* Sender) {
    btZoomWidth->setChecked(true);
    imCurrentPage->FitToWidth();
    imCurrentPage->SetZoom(CheckZoomRange(imCurrentPage->Zoom()));
    imCurrentPage->verticalScrollBar()->setValue(0);
    if (Sender && DM1())
        DM1()->SaveLastVal(GetSavePath() + QStringLiteral("Zoom"), QStringLiteral("Width"));
}

void TFileViewerFrameTIFF::btZoomFullClick(QObject* Sender) {
    btZoomFull->setChecked(true);
    imCurrentPage->Fit();
    imCurrentPage->SetZoom(CheckZoomRange(imCurrentPage->Zoom()));
    if (Sender && DM1())
        DM1()->SaveLastVal(GetSavePath() + QStringLiteral("Zoom"), QStringLiteral("Full"));
}

void TFileViewerFrameTIFF::btShowOverviewClick(QObject*) {
    const bool want = btShowOverview->isChecked();
    if (want != !imOverview->isHidden()) {
        if (want) {
            TPageList* list = m_pages->imOverview();
            const int page = qMax(0, list->SelectedImage());
            imOverview->show();
            try {
                // The strip reads the pages of the thumbnails it draws; pages changed here are
                // kept. Only a viewer without pages loads again.
                if (list->ImageCount() == 0 && m_pages->FEditablePages != 3)
                    ReloadImages(page);
            } catch (...) {
                imOverview->hide();
                btShowOverview->setChecked(false);
                throw;
            }
        } else {
            imOverview->hide();
        }
    }
    FormResize(nullptr);
}

void TFileViewerFrameTIFF::btShowNavigatorClick(QObject*) {
    if (imCurrentPage->Model().Bitmap().isNull() && btShowNavigator->isChecked()) {
        const QSignalBlocker block(btShowNavigator);
        btShowNavigator->setChecked(false);
        return;
    }
    if (btShowNavigator->isChecked()) {
        imNavigator->SetView(imCurrentPage);
        applyNavigatorSize();
        pnNavigator->show();
        pnNavigator->raise();
    } else {
        pnNavigator->hide();
        imNavigator->SetView(nullptr);
    }
}

void TFileViewerFrameTIFF::btNavigatorClick(QObject* Sender) {
    QString value;
    if (Sender == btNavigatorSmall && btNavigatorSmall->isChecked())
        value = QStringLiteral("small");
    else if (Sender == btNavigatorMedium && btNavigatorMedium->isChecked())
        value = QStringLiteral("medium");
    else if (Sender == btNavigatorLarge && btNavigatorLarge->isChecked())
        value = QStringLiteral("large");
    const QString key = GetSavePath() + QStringLiteral("Navigator");
    if (!value.isEmpty() && DM1())
        DM1()->SaveLastVal(key, value);
    const QString stored = DM1() && DM1()->Connected() ? DM1()->LoadLastVal(key, QStringLiteral("small"))
                                                       : QStringLiteral("small");
    {
        const QSignalBlocker b1(btNavigatorSmall), b2(btNavigatorMedium), b3(btNavigatorLarge);
        const bool medium = stored.compare(QLatin1String("medium"), Qt::CaseInsensitive) == 0;
        const bool large = stored.compare(QLatin1String("large"), Qt::CaseInsensitive) == 0;
        btNavigatorMedium->setChecked(medium);
        btNavigatorLarge->setChecked(large);
        btNavigatorSmall->setChecked(!medium && !large);
    }
    applyNavigatorSize();
    if (Sender && !pnNavigator->isVisible()) {
        btShowNavigator->setChecked(true);
        btShowNavigatorClick(Sender);
    }
}

void TFileViewerFrameTIFF::applyNavigatorSize() {
    const int height = btNavigatorLarge->isChecked() ? 450 : btNavigatorMedium->isChecked() ? 300 : 230;
    const QMargins frame = pnNavigator->contentsMargins() + pnNavigator->layout()->contentsMargins();
    const int viewHeight = height - frame.top() - frame.bottom();
    const int width = viewHeight * 210 / 297 + frame.left() + frame.right();
    pnNavigator->resize(width, height);
    pnNavigator->move(qMax(0, pnPages->width() - width - 20), qMax(0, pnPages->height() - height - 20));
}

void TFileViewerFrameTIFF::btEditScanDialogClick(QObject* Sender) {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        return;
    const QString key = GetSavePath(true) + QStringLiteral("ScanDialog");
    if (Sender)
        dm->SaveLastValBool(key, btEditScanDialog->isChecked());
    const QSignalBlocker block(btEditScanDialog);
    btEditScanDialog->setChecked(dm->LoadLastValBool(key, false));
}

// ---------------------------------------------------------------------------------------------
// Navigator

TPageNavigator::TPageNavigator(QWidget* parent) : QWidget(parent) {
    setMinimumSize(80, 100);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::ClickFocus);
}

void TPageNavigator::SetView(Imaging::TImageEnVect* view) {
    if (m_view)
        disconnect(m_view->horizontalScrollBar(), nullptr, this, nullptr),
            disconnect(m_view->verticalScrollBar(), nullptr, this, nullptr);
    m_view = view;
    if (view) {
        connect(view->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { update(); });
        connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { update(); });
    }
    update();
}

void TPageNavigator::SetSmooth(bool smooth) {
    m_smooth = smooth;
    m_thumb = QImage();
    update();
}

void TPageNavigator::SetPage(const QImage& page) {
    // The small picture is made when the navigator is first painted with this page.
    m_page = page;
    m_pageSize = page.size();
    m_thumb = QImage();
    update();
}

QRectF TPageNavigator::pageRect() const {
    if (m_pageSize.isEmpty())
        return {};
    const QSizeF s = QSizeF(m_pageSize).scaled(QSizeF(size()), Qt::KeepAspectRatio);
    return QRectF(QPointF((width() - s.width()) / 2, (height() - s.height()) / 2), s);
}

void TPageNavigator::paintEvent(QPaintEvent*) {
    if (m_thumb.isNull() && !m_page.isNull())
        m_thumb = Imaging::ScaledDown(m_page, QSize(450, 450), m_smooth);
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    const QRectF r = pageRect();
    if (r.isEmpty())
        return;
    p.setRenderHint(QPainter::SmoothPixmapTransform, m_smooth);
    p.drawImage(r, m_thumb);
    if (!m_view || m_pageSize.isEmpty())
        return;
    // The part of the page the view shows, outside it dimmed.
    const QRectF shown = m_view->mapToScene(m_view->viewport()->rect()).boundingRect();
    const double sx = r.width() / m_pageSize.width(), sy = r.height() / m_pageSize.height();
    const QRectF mark(r.left() + shown.left() * sx, r.top() + shown.top() * sy, shown.width() * sx,
                      shown.height() * sy);
    QPainterPath outside;
    outside.addRect(r);
    QPainterPath inside;
    inside.addRect(mark.intersected(r));
    p.fillPath(outside.subtracted(inside), QColor(0, 0, 0, 60));
    p.setPen(QPen(QColor(Qt::red), 2));
    p.drawRect(mark.intersected(r));
}

void TPageNavigator::moveViewTo(QPointF pos) {
    const QRectF r = pageRect();
    if (!m_view || r.isEmpty() || m_pageSize.isEmpty())
        return;
    m_view->centerOn((pos.x() - r.left()) * m_pageSize.width() / r.width(),
                     (pos.y() - r.top()) * m_pageSize.height() / r.height());
    update();
}

void TPageNavigator::mousePressEvent(QMouseEvent* e) { moveViewTo(e->position()); }

void TPageNavigator::keyReleaseEvent(QKeyEvent* e) {
    if (OnKeyUp)
        OnKeyUp(e);
    else
        QWidget::keyReleaseEvent(e);
}
void TPageNavigator::mouseMoveEvent(QMouseEvent* e) {
    if (e->buttons() & Qt::LeftButton)
        moveViewTo(e->position());
}

namespace {

TFileViewerFrame* makeTiffViewer(TFormFilePreview* dialog, bool fromScanner) {
    QWidget* host = dialog->findChild<QWidget*>(QStringLiteral("pnViewer"));
    return new TFileViewerFrameTIFF(host ? host : dialog, nullptr, fromScanner, nullptr);
}

const QStringList kTiffExtensions{QStringLiteral(".tiff"), QStringLiteral(".tif"), QStringLiteral("."), QString()};

void InitUnit() {
    for (const QString& ext : kTiffExtensions)
        UFilePreview::RegisterViewer(ext, &makeTiffViewer);
}

void FiniUnit() {
    for (const QString& ext : kTiffExtensions)
        UFilePreview::UnregisterViewer(ext);
}

} // namespace

KORVEX_UNIT("hadrel", "UFileViewerTIFF", InitUnit, FiniUnit);
