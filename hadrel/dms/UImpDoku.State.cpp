// The document window's state display: what the focused node shows and allows, the drawn
// columns of the tree, its keys, and the in-place change of a document's type (unit UImpDoku).

#include "UImpDoku.h"

#include "TDMSELO.h"

#include <DMSys.h>
#include <EventGuard.h>
#include <TVoskDocumentViewer.h>
#include <TVoskRibbon.h>
#include <UDM1.h>
#include <Ukorvexclasses.Dokument.h>

#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

using namespace DokState;

namespace {

// Draws the three columns the tree paints itself: the state icons, the type with its drop-down
// arrow, and the drag handle of documents; edits the type with a list of the table's types.
class TDokuTreeDelegate final : public QStyledItemDelegate {
public:
    explicit TDokuTreeDelegate(TFormDokments* form) : QStyledItemDelegate(form), m_form(form) {}

    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        switch (index.column()) {
        case TDokuTreeModel::colStates: paintStates(p, option, index); return;
        case TDokuTreeModel::colDragSource: paintHandle(p, option, index); return;
        case TDokuTreeModel::colDokType:
            QStyledItemDelegate::paint(p, option, index);
            if (index.data(TDokuTreeModel::EditingRole).toBool() &&
                !(option.state & QStyle::State_Editing))
                paintArrow(p, option);
            return;
        default: QStyledItemDelegate::paint(p, option, index);
        }
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        if (index.column() != TDokuTreeModel::colDokType)
            return QStyledItemDelegate::createEditor(parent, option, index);
        bool allowed = false;
        Rtl::Guarded([&] { allowed = m_form->TreeDocumentsDoktypePropertiesInitPopup(); }, m_form);
        if (!allowed)
            return nullptr;
        auto* combo = new QComboBox(parent);
        combo->setObjectName(QStringLiteral("TreeDocumentsDoktypeEditor"));
        combo->setAccessibleName(QStringLiteral("Dokumenttyp"));
        combo->setToolTip(QStringLiteral("Dokumenttyp des Dokuments"));
        combo->setMaxVisibleItems(15);
        combo->addItem(QString());
        combo->addItems(m_form->DokTypeDescriptions());
        return combo;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* combo = qobject_cast<QComboBox*>(editor))
            combo->setCurrentText(index.data(Qt::EditRole).toString());
        else
            QStyledItemDelegate::setEditorData(editor, index);
    }
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
        auto* combo = qobject_cast<QComboBox*>(editor);
        if (!combo || combo->currentText() == index.data(Qt::EditRole).toString())
            return;
        // The change posts the document, and a post rebuilds the tree: it runs once the editor
        // is closed, never under it, on the document that was edited (by its id: the focus may
        // have moved on with the closing editor).
        const QString descr = combo->currentText();
        const QString id = index.data(TDokuTreeModel::IdRole).toString();
        QPointer<TFormDokments> form = m_form;
        QTimer::singleShot(0, m_form, [form, descr, id] {
            if (form)
                Rtl::Guarded(
                    [&] {
                        if (form->TreeMenuSelect(id))
                            form->TreeDocumentsDoktypePropertiesValidate(descr);
                    },
                    form);
        });
    }

private:
    static void focusRect(QPainter* p, const QStyleOptionViewItem& option) {
        if (!(option.state & QStyle::State_HasFocus))
            return;
        QStyleOptionFocusRect fr;
        fr.rect = option.rect;
        fr.state = option.state;
        fr.backgroundColor = option.palette.color(QPalette::Base);
        option.widget->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &fr, p, option.widget);
    }
    // As the style draws the caption's icon: a selected row's pictures stay visible on it.
    static QIcon::Mode iconMode(const QStyleOptionViewItem& option) {
        return option.state & QStyle::State_Selected ? QIcon::Selected : QIcon::Normal;
    }
    static void background(QPainter* p, const QStyleOptionViewItem& option) {
        QStyleOptionViewItem o = option;
        o.text.clear();
        o.icon = QIcon();
        option.widget->style()->drawControl(QStyle::CE_ItemViewItem, &o, p, option.widget);
    }
    void paintStates(QPainter* p, const QStyleOptionViewItem& opt,
                     const QModelIndex& index) const {
        QStyleOptionViewItem option = opt;
        initStyleOption(&option, index);
        background(p, option);
        const QList<int> icons = StateIcons(index.data(TDokuTreeModel::StatesRole).toInt());
        const QRect r = option.rect;
        int offset = 0;
        for (int image : icons) {
            const QIcon icon = DMSys()->ImageList()->Icon(image);
            if (!icon.isNull() && r.left() + offset < r.right())
                icon.paint(p, QRect(r.left() + offset, r.top() + 2, 16, 16), Qt::AlignCenter,
                           iconMode(option));
            offset += 16;
        }
        if (StateIconsOverflow(int(icons.size()), r.left(), r.right()))
            p->fillRect(QRect(r.right() - 2, r.top(), 4, r.height()), QColor(255, 0, 0));
        focusRect(p, option);
    }
    void paintHandle(QPainter* p, const QStyleOptionViewItem& opt,
                     const QModelIndex& index) const {
        QStyleOptionViewItem option = opt;
        initStyleOption(&option, index);
        background(p, option);
        if (index.data(TDokuTreeModel::KindRole).toInt() == nkDocument) {
            const int x = option.rect.left() + (option.rect.width() - 1 - 16) / 2;
            DMSys()->ImageList()->Icon(3).paint(p, QRect(x, option.rect.top() + 2, 16, 16),
                                                Qt::AlignCenter, iconMode(option));
        }
        focusRect(p, option);
    }
    static void paintArrow(QPainter* p, const QStyleOptionViewItem& option) {
        QStyleOption arrow;
        arrow.rect = QRect(option.rect.right() - 14, option.rect.top(), 12, option.rect.height());
        arrow.palette = option.palette;
        arrow.palette.setColor(QPalette::ButtonText, QColor(128, 128, 128));
        arrow.state = QStyle::State_Enabled;
        option.widget->style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, p,
                                              option.widget);
    }

    TFormDokments* m_form;
};

} // namespace

int TFormDokments::GetDokumentState(const TDokument& doc) const {
    return DokState::GetDokumentState(doc, _TableName, _InitialPath);
}

void TFormDokments::installTreeHandlers() {
    TreeDocuments->setItemDelegate(new TDokuTreeDelegate(this));
    connect(TreeDocuments->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (IsLoading)
                    return;
                TDokuTreeNode* node = TreeModel->NodeOf(current);
                Rtl::Guarded([&] { TreeDocumentsFocusedNodeChanged(TreeDocuments, node); }, this);
            });
    connect(TreeDocuments, &QAbstractItemView::doubleClicked, this,
            [this] { Rtl::Guarded([this] { TreeDocumentsDblClick(); }, this); });
}

void TFormDokments::TreeDocumentsFocusedNodeChanged(QObject* sender, TDokuTreeNode* node) {
    if (IsLoading)
        return;
    if (!isVisible()) {
        PreviewLater(0);
        return;
    }
    const int kind = node ? node->Kind : nkNone;
    const bool isDok = kind == nkDocument || kind == nkCustomFolder;
    if (isDok) {
        if (node->Id != Dokument1()->IdText()) {
            bool numeric = false;
            const int id = node->Id.toInt(&numeric);
            Dokument1()->AssignToDokId(numeric ? id : 0, _TableName, _RecId);
        }
    } else if (Dokument1()->Active()) {
        Dokument1()->Close();
    }

    NodeFacts f;
    f.kind = kind;
    if (isDok && Dokument1()->HasRecord()) {
        f.dmsViewDokument = Dokument1()->isDMSViewDokument();
        f.dmsEditDokument = Dokument1()->isDMSEditDokument();
        f.fileLink = Dokument1()->isFileLink();
        f.locked = Dokument1()->isLocked(false);
        // A check-out of the user's on another machine is handled here as another's.
        const bool elsewhere = Dokument1()->LockedElsewhere();
        f.lockedByMe = Dokument1()->isLockedByMe() && !elsewhere;
        f.lockedPath = Dokument1()->GetLockedPath();
        f.checkoutFileName = elsewhere ? QString() : Dokument1()->CheckoutPath();
        f.standard = Dokument1()->IsStandard();
        f.eloFieldNull = Dokument1()->EloRef().isEmpty();
    }
    f.initialFolder = node && !_InitialPath.isEmpty() && node->Id == _InitialPath;
    // Asked once per tree build: the setting is read from the database.
    if (!m_eloInstalled)
        m_eloInstalled = TDMSELO::isELOInstalled();
    f.eloInstalled = *m_eloInstalled;
    const ActionState a = ActionRules(f);

    if (isDok) {
        RibbonTabEdit->SetTabVisible(!barDocumentEdit->Items().isEmpty());
        if (sender)
            RibbonDokumentMain->SetActiveTab(a.isLockedDok && RibbonTabEdit->IsTabVisible()
                                                 ? RibbonTabEdit
                                                 : RibbonTabView);
    } else {
        if (sender || RibbonDokumentMain->ActiveTab() == RibbonTabEdit)
            RibbonDokumentMain->SetActiveTab(RibbonTabView);
        RibbonTabEdit->SetTabVisible(false);
    }

    BarFileActionsSmall->setProperty("ruleVisible", a.barFileActionsSmall);
    BarFileActions->setProperty("ruleVisible", a.barFileActions);
    barDocumentView->setProperty("ruleVisible", a.barDocumentView);
    barDocumentExport->setProperty("ruleVisible", a.barDocumentExport);
    BarDocuTree->setProperty("ruleVisible", a.barDocuTree);
    barDocumentEdit->setProperty("ruleVisible", a.barDocumentEdit);
    updateGroupVisibility();

    acDocEditRevisionImport->setEnabled(a.docEditRevisionImportEnabled);
    acDocumentViewIntern->setVisible(a.documentViewInternVisible);
    acDocumentViewExtern->setEnabled(a.documentViewExternEnabled);
    acDocumentViewElo->setVisible(a.documentViewEloVisible);
    acDocumentViewElo->setEnabled(a.documentViewEloEnabled);
    acDocumentInfoProperties->setVisible(a.documentInfoPropertiesVisible);
    acDocumentPreviewIs->setEnabled(a.documentPreviewIsEnabled);
    acDocumentPreviewIs->setChecked(a.documentPreviewIsChecked);
    for (QAction* e : {acDocumentExportPrint, acDocumentExportMail, acDocumentExportFileSaveAs})
        e->setEnabled(a.exportEnabled);
    acFolderInitial->setEnabled(a.folderInitialEnabled);
    acFolderInitial->setChecked(a.folderInitialChecked);
    acFolderNew->setEnabled(a.folderNewEnabled);
    acDocEditImportlinkedFile->setEnabled(a.docEditImportLinkedFileEnabled);
    acDocEditInternal->setVisible(a.docEditInternalVisible);
    acDocEditRevisionExternal->setEnabled(a.docEditRevisionExternalEnabled);
    acDocEditRevisionBlock->setEnabled(a.docEditRevisionExternalEnabled);
    acDocEditRevisionExternal2->setVisible(a.docEditRevisionCheckoutVisible);
    acDocEditRevisionOpenDir->setVisible(a.docEditRevisionCheckoutVisible);
    acDocEditRevisionUpdate->setEnabled(a.docEditRevisionCheckoutVisible);
    acDocEditRevisionUnlock->setEnabled(a.docEditRevisionUnlockEnabled);
    acDocEditRevisionUnlock->setText(a.docEditRevisionUnlockCaption);
    acDocEditDeleteDoc->setEnabled(a.deleteRenameEnabled);
    acDocEditRename->setEnabled(a.deleteRenameEnabled);

    // The default way to open: the viewer when it can show the document, else the desktop.
    const bool viewIntern = acDocumentViewIntern->isVisible() && acDocumentViewIntern->isEnabled();
    pmTreeDocuments->setDefaultAction(viewIntern ? miView : miOpen);
    for (QToolButton* b : barDocumentView->findChildren<QToolButton*>()) {
        const bool bold =
            b->defaultAction() == (viewIntern ? acDocumentViewIntern : acDocumentViewExtern);
        if (b->font().bold() != bold) {
            QFont font = b->font();
            font.setBold(bold);
            b->setFont(font);
        }
    }

    const auto setLinksImage = [this](int image) {
        // Only a change: a new icon lays the tab row out anew.
        if (RegDokuLinks->property("TabImage").toInt() == image)
            return;
        RegDokuLinks->setProperty("TabImage", image);
        pcDokTree->setTabIcon(pcDokTree->indexOf(RegDokuLinks),
                              image < 0 ? QIcon() : DMSys()->ImageList()->Icon(image));
    };
    if (!node) {
        lbDokuStates->clear();
        lbDokuStates->setToolTip(QStringLiteral("Status des Dokuments"));
        setLinksImage(-1);
        PreviewLater(0);
        return;
    }
    const int s = node->States;
    QString linked;
    if (isDok && Dokument1()->HasRecord()) {
        if (TDM1* dm = DM1())
            linked = dm->GetTableAlias(Dokument1()->TableName());
        if (linked.isEmpty())
            linked = Dokument1()->TableName();
    }
    QString text = StatesText(s, isDok ? Dokument1()->Report() : QString(), linked);
    // Where the user's own check-out is, when it is not on this machine.
    if (isDok && Dokument1()->HasRecord() && Dokument1()->LockedElsewhere())
        text += QStringLiteral("\r\n") + Dokument1()->GetLockedInfo();
    lbDokuStates->setText(text);
    lbDokuStates->setToolTip(text.isEmpty() ? QStringLiteral("Status des Dokuments") : text);
    setLinksImage((s & ListOutputActive) ? 28 : (s & ListOutputDefined) ? 229 : -1);
    PreviewLater(kind == nkDocument ? Dokument1()->Id() : 0);
}

void TFormDokments::PreviewLater(int pdId) {
    m_previewId = pdId;
    if (m_previewPending)
        return;
    m_previewPending = true;
    QTimer::singleShot(0, this, [this] {
        m_previewPending = false;
        Rtl::Guarded(
            [this] {
                if (m_previewId > 0)
                    VoskDocumentViewer1->LoadDocument(m_previewId);
                else
                    VoskDocumentViewer1->DisableDocument();
            },
            this);
    });
}

void TFormDokments::updateGroupVisibility() {
    for (TVoskRibbonGroup* g : {BarFileActions, BarFileActionsSmall, barDocumentView,
                                barDocumentExport, BarDocuTree, barDocumentEdit}) {
        const QVariant rule = g->property("ruleVisible");
        g->setVisible(!g->Items().isEmpty() && (!rule.isValid() || rule.toBool()));
    }
}

bool TFormDokments::TreeDocumentsCanSelectNode(TDokuTreeNode* node) {
    return !IsLoading && node;
}

void TFormDokments::TreeDocumentsDblClick() {
    if (!NodeIsDocument(FocusedNode()))
        return;
    if (acDocumentViewIntern->isVisible() && acDocumentViewIntern->isEnabled())
        acDocumentViewIntern->trigger();
    else if (acDocumentViewExtern->isEnabled())
        acDocumentViewExtern->trigger();
}

bool TFormDokments::TreeDocumentsKeyDown(int key) {
    const QModelIndex index = TreeDocuments->currentIndex();
    if (!index.isValid() || !TreeModel->hasChildren(index.siblingAtColumn(0)))
        return false;
    const QModelIndex first = index.siblingAtColumn(0);
    if (key == Qt::Key_Left && TreeDocuments->isExpanded(first)) {
        // Collapses the whole branch, so that it opens one level again.
        std::function<void(const QModelIndex&)> collapse = [&](const QModelIndex& i) {
            for (int r = 0; r < TreeModel->rowCount(i); ++r)
                collapse(TreeModel->index(r, 0, i));
            TreeDocuments->collapse(i);
        };
        collapse(first);
        return true;
    }
    if (key == Qt::Key_Right && !TreeDocuments->isExpanded(first)) {
        TreeDocuments->expand(first);
        return true;
    }
    return false;
}

void TFormDokments::TreeDocumentsKeyUp(int key) {
    TDokuTreeNode* node = FocusedNode();
    if (key == Qt::Key_Delete && NodeIsDocument(node) && acDocEditDeleteDoc->isEnabled())
        acDocEditDeleteDoc->trigger();
    else if (key == Qt::Key_F2 && node && node->Kind == nkDocument && miDokuType->isEnabled())
        miDokuType->trigger();
}

bool TFormDokments::TreeDocumentsDoktypePropertiesInitPopup() {
    TDokuTreeNode* node = FocusedNode();
    if (!node || node->Kind != nkDocument || !Dokument1()->HasRecord() ||
        !Dokument1()->ChangeAllowed())
        return false;
    return Dokument1()->TableName().isEmpty() ||
           Dokument1()->TableName().compare(_TableName, Qt::CaseInsensitive) == 0;
}

void TFormDokments::TreeDocumentsDoktypePropertiesValidate(const QString& descr) {
    CheckDokument1Assignment();
    const TVoskDataField type = Dokument1()->FieldByName(QString::fromLatin1(TDokument::fnDokType));
    try {
        if (descr.isEmpty()) {
            if (!type.IsNull()) {
                Dokument1()->Edit();
                type.Clear();
                Dokument1()->Post();
            }
        } else if (SqlDokuTypes->Locate(QStringLiteral("dt_descr"), descr)) {
            const QString dtId = SqlDokuTypes->FieldByName(QStringLiteral("dt_id")).AsString();
            if (dtId != type.AsString()) {
                Dokument1()->Edit();
                type.SetValue(dtId);
                Dokument1()->Post();
            }
        }
    } catch (...) {
        if (Dokument1()->InEdit())
            Dokument1()->Cancel();
        throw;
    }
    CheckNodeAndUpdate();
}

void TFormDokments::CheckDokument1Assignment(TDokuTreeNode* node) {
    if (!node)
        node = FocusedNode();
    if (node && node->IsDocument()) {
        if (!Dokument1()->HasRecord()) {
            bool numeric = false;
            const int id = node->Id.toInt(&numeric);
            if (numeric)
                Dokument1()->AssignToDokId(id, _TableName, _RecId);
            // Deleted by another user since the tree was built: said once, and the tree is
            // built again without it.
            if (!Dokument1()->HasRecord()) {
                QTimer::singleShot(
                    0, this, [this] { Rtl::Guarded([this] { TreeMenuCreate(false); }, this); });
                throw EVoskException(17432, QStringLiteral("Dokument nicht gefunden."));
            }
        }
        if (!Dokument1()->HasRecord() || Dokument1()->IdText() != node->Id)
            throw EVoskException(QStringLiteral("TFormDokments.CheckDokument1Assignment: pd_id "
                                                "nicht ausgerichtet (Dokument: %1 / Node: %2)")
                                     .arg(Dokument1()->IdText(), node->Id));
        if (Dokument1()->IsChanged()) {
            Dokument1()->AssignToDokId(Dokument1()->Id(), _TableName, _RecId);
            if (!Dokument1()->IsChanged())
                CheckNodeAndUpdate();
        }
        return;
    }
    if (Dokument1()->HasRecord())
        throw EVoskException(QStringLiteral("TFormDokments.CheckDokument1Assignment: pd_id nicht "
                                            "ausgerichtet (Dokument: none / Node: %1)")
                                 .arg(node ? node->Id : QString()));
}
