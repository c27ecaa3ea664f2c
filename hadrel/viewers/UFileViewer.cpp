#include "UFileViewer.h"

#include <EventGuard.h>
#include <Korvexcommonvcl.h>
#include <VoskQuery2.h>
#include <TVoskTaskDialog.h>
#include <UDM1.h>
#include <Korvexutils.h>
#include <UnitTable.h>
#include <Uloadform.h>
#include <Ukorvexclasses.Dokument.h>
#include <Vcl.Components.h>
#include <VoskExceptions.h>

#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QTableWidget>
#include <QFileInfo>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace {

QObject* withStatus(TLoadForm* loadForm, const QString& text, QObject* owner) {
    if (loadForm)
        loadForm->SetStatus(text);
    return owner;
}

} // namespace

TFileViewerFrame::TFileViewerFrame(QObject* ParentAndOwner, TDokument*, bool, TLoadForm* _LoadForm)
    : TVoskBaseForm(withStatus(_LoadForm, QStringLiteral("TFileViewerFrame.Create => TCustomForm.Create"),
                               ParentAndOwner),
                    nullptr),
      m_loadForm(_LoadForm) {
    UFileViewer::InstallKeyPreview();
}

TFileViewerFrame::~TFileViewerFrame() = default;

void TFileViewerFrame::FinishCreate() {
    if (m_loadForm)
        m_loadForm->SetStatus(QStringLiteral("TFileViewerFrame.Create => Success"));
    // The handlers are called through the virtual slots, so a viewer's override gets the event.
    if (!OnShow)
        OnShow = [this](QObject* s) { FormShow(s); };
    if (!OnResize)
        OnResize = [this](QObject* s) { FormResize(s); };
    if (!OnHide)
        OnHide = [this](QObject* s) { FormHide(s); };
    if (!OnKeyDown)
        OnKeyDown = [this](QObject* s, int& k, Qt::KeyboardModifiers m) { FormKeyDown(s, k, m); };
    if (!OnKeyUp)
        OnKeyUp = [this](QObject* s, int& k, Qt::KeyboardModifiers m) { FormKeyUp(s, k, m); };
    if (!OnActivate)
        OnActivate = [this](QObject* s) { FormActivate(s); };
    if (!OnCloseQuery)
        OnCloseQuery = [this](QObject* s, bool& c) { FormCloseQuery(s, c); };
    if (!OnClose)
        OnClose = [this](QObject* s, Vcl::TCloseAction& a) { FormClose(s, a); };
    if (!OnDestroy)
        OnDestroy = [this](QObject* s) { FormDestroy(s); };
}

void TFileViewerFrame::SetDokument(TDokument* dokument) { FDokument = dokument; }

void TFileViewerFrame::FormShow(QObject* Sender) {
    FDoCloseEvent = true;
    FormResize(Sender);
}

void TFileViewerFrame::FormResize(QObject*) {}

void TFileViewerFrame::FormHide(QObject*) {
    if (!FOnDokumentEvent || !FDokument)
        return;
    try {
        FOnDokumentEvent(this, FDokument.data(), FHasBeenSaved ? demCloseSaved : demCloseUnsaved, {});
    } catch (const EAbort&) {
        // The receiver told the user already.
    } catch (...) {
        const std::exception_ptr e = std::current_exception();
        Korvexutils::ShowError(Rtl::ExceptionClassName(e) +
                               QStringLiteral(" in TFormFilePreview.OnCloseEvent: ") +
                               Rtl::ExceptionMessage(e));
    }
}

void TFileViewerFrame::FormKeyDown(QObject*, int& Key, Qt::KeyboardModifiers) {
    if (Key == Qt::Key_Escape) {
        Key = 0;
        FEscapeWasPressed = true;
    }
}

void TFileViewerFrame::FormKeyUp(QObject*, int&, Qt::KeyboardModifiers) {}

void TFileViewerFrame::EmbedIn(QObject* parentAndOwner) {
    auto* parentWidget = qobject_cast<QWidget*>(parentAndOwner);
    if (!parentWidget)
        return;
    setParent(parentWidget, Qt::Widget);
    if (!parentWidget->layout()) {
        auto* fill = new QVBoxLayout(parentWidget);
        fill->setContentsMargins(0, 0, 0, 0);
    }
    parentWidget->layout()->addWidget(this);
}

void TFileViewerFrame::EscapeKeyUp(int& Key) {
    if (!parentWidget()) {
        close();
    } else if (FEscapeWasPressed) {
        QWidget* form = Vcl::ParentForm(parentWidget());
        if (form && !Vcl::ClassNameIs(form, QStringLiteral("TFormDokverwaltung")))
            form->close();
    }
    FEscapeWasPressed = false;
    Key = 0;
}

void TFileViewerFrame::SaveRibMenuClosed(bool closed) {
    if (Vcl::ClassNameIs(Vcl::Owner(this), QStringLiteral("TFormStempPlantafInteraktiv")) || !DM1() ||
        !DM1()->Connected())
        return;
    Rtl::Guarded([closed] { DM1()->SaveLastValBool(QStringLiteral("TFileViewerFrame.CloseRibMenu"), closed); });
}

void TFileViewerFrame::FormActivate(QObject*) { FEscapeWasPressed = false; }

void TFileViewerFrame::FormCloseQuery(QObject*, bool& CanClose) {
    // Windows opened from here (a page split off into a new document, a related document) go
    // with this viewer. They close first, each asking its own question, so that a new document
    // not yet stored is not dropped unasked; one that stays open keeps this viewer open.
    for (QObject* c : Vcl::Components(this))
        if (auto* w = qobject_cast<QWidget*>(c); w && w->isWindow() && w->isVisible() && !w->close()) {
            CanClose = false;
            return;
        }
}

void TFileViewerFrame::FormClose(QObject*, Vcl::TCloseAction& Action) {
    if (Action != Vcl::caFree)
        FormHide(nullptr);
}

void TFileViewerFrame::FormDestroy(QObject*) { FormHide(nullptr); }

void TFileViewerFrame::PreviewKeyDown(int& Key, Qt::KeyboardModifiers Shift) {
    if (OnKeyDown)
        OnKeyDown(this, Key, Shift);
}

void TFileViewerFrame::PreviewKeyUp(int& Key, Qt::KeyboardModifiers Shift) {
    if (OnKeyUp)
        OnKeyUp(this, Key, Shift);
}

void TFileViewerFrame::resizeEvent(QResizeEvent* e) {
    TVoskBaseForm::resizeEvent(e);
    if (OnResize)
        Rtl::Guarded([this] { OnResize(this); }, this);
}

void TFileViewerFrame::BeforeDestruction() {
    if (OnDestroy)
        OnDestroy(this);
}

namespace UFileViewer {

namespace {

class TKeyPreview final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* obj, QEvent* e) override {
        const QEvent::Type type = e->type();
        if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
            return false;
        auto* w = qobject_cast<QWidget*>(obj);
        if (!w)
            return false;
        // A key the control ignored travels up to its parents: the form saw it already.
        if (e == m_last && m_receiver && w->isAncestorOf(m_receiver))
            return false;
        auto* form = dynamic_cast<IKeyPreviewForm*>(w->window());
        if (!form)
            return false;
        m_last = e;
        m_receiver = w;
        auto* k = static_cast<QKeyEvent*>(e);
        int key = k->key();
        Rtl::Guarded(
            [&] {
                if (type == QEvent::KeyPress)
                    form->PreviewKeyDown(key, k->modifiers());
                else
                    form->PreviewKeyUp(key, k->modifiers());
            },
            w->window());
        return key == 0;
    }

private:
    const QEvent* m_last = nullptr;
    QPointer<QWidget> m_receiver;
};

void InitUnit() { Vcl::RegisterClass(QStringLiteral("UFileViewer.TFileViewerFrame"), &TFileViewerFrame::staticMetaObject); }
void FiniUnit() { Vcl::UnRegisterClass(QStringLiteral("UFileViewer.TFileViewerFrame")); }

} // namespace

void InstallKeyPreview() {
    static QPointer<QObject> filter;
    if (filter || !qApp)
        return;
    filter = new TKeyPreview(qApp);
    qApp->installEventFilter(filter);
}

} // namespace UFileViewer

KORVEX_UNIT("hadrel", "UFileViewer", UFileViewer::InitUnit, UFileViewer::FiniUnit);

namespace UFileViewer {
QString MailAttachmentName(const QString& dokName, const QString& localFile) {
    const QString suffix = QFileInfo(localFile).suffix();
    const qsizetype dot = dokName.lastIndexOf(u'.');
    const QString base = dot > 0 ? dokName.left(dot) : dokName;
    return suffix.isEmpty() ? base : base + u'.' + suffix;
}
} // namespace UFileViewer

void TFileViewerFrame::SendByMail() {
    TDokument* doc = Dokument();
    if (!doc)
        return;
    const QString local = doc->DMSGetFile({}, true, true);
    TDM1* dm = DM1();
    const QString body =
        dm ? dm->LoadVar(QStringLiteral("SELECT belarzu__zu_tit__gettxt(:ident, curr_lang(), FALSE)"),
                         {{QStringLiteral("ident"), QStringLiteral("DOKU_SEND_EMAILTXT")}})
                 .toString()
           : QString();
    TVoskTaskDialog::FVoskSendMail({}, {}, body, {local},
                                   {UFileViewer::MailAttachmentName(doc->Caption(), local)});
}

// ---- related documents ---------------------------------------------------------------------

QTableWidget* TFileViewerFrame::BuildRelatedDoksGrid(QGroupBox* box) {
    auto* layout = new QVBoxLayout(box);
    auto* grid = Vcl::Owned(this, new QTableWidget(0, 4, box), QStringLiteral("gridRelatedDoks"));
    grid->setHorizontalHeaderLabels({QStringLiteral("pd_id"), QStringLiteral("pd_doktype"),
                                     QStringLiteral("Dokumenttyp"), QStringLiteral("Pfad")});
    grid->setColumnHidden(0, true);
    grid->setColumnHidden(1, true);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->viewport()->setCursor(Qt::PointingHandCursor);
    grid->setToolTip(QStringLiteral("Doppelklick zum öffnen"));
    grid->setAccessibleName(QStringLiteral("Dokumente-Beziehungen"));
    connect(grid, &QTableWidget::cellDoubleClicked, this,
            [this, grid](int row, int) { Rtl::Guarded([&] { OpenRelatedDokument(grid, row); }, this); });
    layout->addWidget(grid);
    return grid;
}

bool TFileViewerFrame::FillRelatedDokuments(QTableWidget* grid) {
    grid->setRowCount(0);
    TDokument* doc = Dokument();
    TDM1* dm = DM1();
    // A document still being inserted has no relations yet; the record it may still show is the
    // template's.
    if (!doc || doc->NewDocumentFlag() || !doc->HasRecord() || !dm || !dm->Connected())
        return false;
    const QString kw = dm->LoadVar(QStringLiteral("SELECT dt_relateddokkeyword FROM dokutypes WHERE dt_id=:doktype"),
                                   {{QStringLiteral("doktype"), doc->DokType()}})
                           .toString();
    if (kw.isEmpty())
        return false;
    const QVariant dbrid = doc->FieldByName(QStringLiteral("dbrid")).Value();
    const QString value =
        dm->LoadVar(QStringLiteral("SELECT r_descr FROM recnokeyword WHERE r_dbrid=:dokudbrid AND r_kategorie=:kat"),
                    {{QStringLiteral("dokudbrid"), dbrid}, {QStringLiteral("kat"), kw}})
            .toString();
    TVoskQuery2 q(&dm->Database(),
                  QStringLiteral("SELECT DISTINCT\npd_id,\npd_doktype,\ndt_descr,\n"
                                 "COALESCE(pd_path_user, pd_path) AS pd_path\nFROM picndoku\n"
                                 "JOIN recnokeyword ON picndoku.dbrid = r_dbrid\n"
                                 "JOIN dokutypes ON dt_id = pd_doktype\nWHERE r_kategorie = :kategorie\n"
                                 "AND r_descr = :value\nAND r_dbrid <> :currentdbrid\n"
                                 "AND NOT pd_deletable\nORDER BY pd_doktype"));
    q.ParamByName(QStringLiteral("kategorie")) = kw;
    q.ParamByName(QStringLiteral("value")) = value;
    q.ParamByName(QStringLiteral("currentdbrid")) = dbrid;
    q.Open();
    for (q.First(); !q.Eof(); q.Next()) {
        const int row = grid->rowCount();
        grid->insertRow(row);
        const char* fields[] = {"pd_id", "pd_doktype", "dt_descr", "pd_path"};
        for (int c = 0; c < 4; ++c)
            grid->setItem(row, c, new QTableWidgetItem(q.FieldByName(QString::fromLatin1(fields[c])).AsString()));
    }
    return grid->rowCount() > 0;
}

void TFileViewerFrame::OpenRelatedDokument(QTableWidget* grid, int row) {
    QTableWidgetItem* idItem = grid->item(row, 0);
    if (!idItem)
        return;
    TDokument* shared = TDokument::Instance();
    shared->AssignToDokId(idItem->text().toInt());
    if (!shared->isDMSViewDokument()) {
        shared->OpenDokument(this, true);
        return;
    }
    if (QObject* shown = shared->ShowDokument(this))
        Korvexcommonvcl::DoSplitScreen(Korvexutils::KorvexGetForm(this, true), qobject_cast<QWidget*>(shown));
}
