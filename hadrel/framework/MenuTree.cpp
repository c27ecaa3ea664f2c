#include "MenuTree.h"

#include "UModulForm.Start.h"
#include "UModulFormSeams.h"

#include <Korvexcommonvcl.h>
#include <Korvexutils.h>
#include <TRecNoClasses.h>
#include <TVoskDBGrid2.h>
#include <TVoskDBNavigator.h>
#include <UDM1.h>
#include <UnitTable.h>
#include <Vcl.Components.h>
#include <Vcl.Services.h>
#include <VoskExceptions.h>
#include <VoskTimer.h>

#include <EventGuard.h>

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr QRgb CategoryColor = qRgb(138, 207, 131); // 8638346

// Paints the notes of the window's category and puts the table alias before the subject of a
// note that another table's record gave.
class ContactsDelegate final : public QStyledItemDelegate {
public:
    ContactsDelegate(TMenuForm* form, QObject* parent)
        : QStyledItemDelegate(parent), m_form(form) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (m_form->GridContactsCustomDrawCell(index.row()))
            option->backgroundBrush = QBrush(QColor(CategoryColor));
        const int col = m_form->RecNoComment1->FieldIndex(QStringLiteral("rc_betreff"));
        if (index.column() == col)
            option->text = m_form->GridContactsrc_betreffGetDisplayText(index.row());
    }

private:
    TMenuForm* m_form;
};

QToolButton* toolButton(QWidget* parent, const QString& name, const QString& text,
                        const QString& tip) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(tip);
    b->setAccessibleName(text);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return b;
}

TDM1* connectedDM() {
    TDM1* dm = DM1();
    return dm && dm->Connected() ? dm : nullptr;
}

} // namespace

TMenuForm::TMenuForm(QObject* owner) : TFormKorvexGundForm(owner, nullptr) {
    setObjectName(QStringLiteral("MenuForm"));
    setWindowTitle(QStringLiteral("Informationen"));
    resize(820, 460);
    RecNoComment1 = Vcl::Owned(this, new TRecNoComment(this), QStringLiteral("RecNoComment1"));
    RecNoKeyWord1 = Vcl::Owned(this, new TRecNoKeyword(this), QStringLiteral("RecNoKeyWord1"));
    RecNoProp1 = Vcl::Owned(this, new TRecNoProp(this), QStringLiteral("RecNoProp1"));

    VoskPageControl1 =
        Vcl::Owned(this, new QTabWidget(ClientArea()), QStringLiteral("VoskPageControl1"));
    VoskPageControl1->setAccessibleName(QStringLiteral("Informationen"));
    VoskPageControl1->setToolTip(QStringLiteral("Notizen, Schlüsselbegriffe und Eigenschaften"));
    ClientLayout()->addWidget(VoskPageControl1, 1);
    BuildVerlauf();
    BuildTags();
    BuildEigenschaften();
    VoskPageControl1->setCurrentWidget(RegVerlauf);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    BtEnd = Vcl::Owned(this,
                       toolButton(ClientArea(), QStringLiteral("BtEnd"),
                                  QStringLiteral("Schließen"), QStringLiteral("Fenster schließen")),
                       QStringLiteral("BtEnd"));
    bottom->addWidget(BtEnd);
    ClientLayout()->addLayout(bottom);
    connect(BtEnd, &QToolButton::clicked, this, [this] { BtEndClick(); });
    connect(VoskPageControl1, &QTabWidget::currentChanged, this,
            [this] { Rtl::Guarded([this] { VoskPageControl1Change(); }, this); });
}

TMenuForm::~TMenuForm() = default;

void TMenuForm::BuildVerlauf() {
    RegVerlauf = Vcl::Owned(this, new QWidget(VoskPageControl1), QStringLiteral("RegVerlauf"));
    auto* lay = new QVBoxLayout(RegVerlauf);
    auto* bar = new QHBoxLayout;
    NavContacts = Vcl::Owned(this, new TVoskDBNavigator(RegVerlauf), QStringLiteral("NavContacts"));
    NavContacts->SetDataSource(RecNoComment1);
    NavContacts->SetVisibleButtons(
        NavBtnSet(nbFirst | nbPrior | nbNext | nbLast | nbDelete | nbPost | nbCancel | nbRefresh));
    bar->addWidget(NavContacts);
    BtEditComment = Vcl::Owned(this,
                               toolButton(RegVerlauf, QStringLiteral("BtEditComment"),
                                          QStringLiteral("Notiz bearbeiten"),
                                          QStringLiteral("Notiz bearbeiten oder neu anlegen")),
                               QStringLiteral("BtEditComment"));
    bar->addWidget(BtEditComment);
    bar->addStretch(1);
    cbHinweisAlsDialog = Vcl::Owned(
        this,
        new QCheckBox(makeText(26680, QStringLiteral("Letzten Hinweis als Dialog")), RegVerlauf),
        QStringLiteral("cbHinweisAlsDialog"));
    cbHinweisAlsDialog->setAccessibleName(cbHinweisAlsDialog->text());
    cbHinweisAlsDialog->setToolTip(
        QStringLiteral("Die neueste Notiz eines Datensatzes im Editor statt im Hinweisfenster "
                       "zeigen"));
    bar->addWidget(cbHinweisAlsDialog);
    lay->addLayout(bar);
    GridContacts = Vcl::Owned(this, new TVoskDBGrid2(RegVerlauf), QStringLiteral("GridContacts"));
    GridContacts->setAccessibleName(QStringLiteral("Notizen"));
    GridContacts->setToolTip(QStringLiteral("Notizen des Datensatzes"));
    GridContacts->SetDataClass(RecNoComment1);
    GridContacts->SetHiddenFields(
        {QStringLiteral("dbrid"), QStringLiteral("rc_user"), QStringLiteral("insert_by")});
    GridContacts->setItemDelegate(new ContactsDelegate(this, GridContacts));
    GridContacts->setSelectionBehavior(QAbstractItemView::SelectRows);
    GridContacts->setSelectionMode(QAbstractItemView::ExtendedSelection);
    GridContacts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lay->addWidget(GridContacts, 1);
    VoskPageControl1->addTab(RegVerlauf, QStringLiteral("Verlauf - Kontaktinformationen"));

    PopupComment = Vcl::Owned(this, new TVoskPopupMenu(this), QStringLiteral("PopupComment"));
    moEditCategoryMenu = PopupComment->addMenu(makeText(17618, QStringLiteral("Kategorie")));
    moEditCategoryMenu->setObjectName(QStringLiteral("moEditCategoryMenu"));
    GridContacts->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(GridContacts, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        PopupCommentPopup();
        PopupComment->popup(GridContacts->viewport()->mapToGlobal(p));
    });

    auto edit = [this] { Rtl::Guarded([this] { BtEditCommentClick(BtEditComment); }, this); };
    connect(BtEditComment, &QToolButton::clicked, this, edit);
    connect(GridContacts, &QAbstractItemView::doubleClicked, this, edit);
    connect(cbHinweisAlsDialog, &QCheckBox::toggled, this,
            [this] { Rtl::Guarded([this] { cbHinweisAlsDialogChange(); }, this); });
}

void TMenuForm::BuildTags() {
    RegTags = Vcl::Owned(this, new QWidget(VoskPageControl1), QStringLiteral("RegTags"));
    auto* lay = new QVBoxLayout(RegTags);
    FrameDBNavKeyWords =
        Vcl::Owned(this, new TVoskDBNavigator(RegTags), QStringLiteral("FrameDBNavKeyWords"));
    FrameDBNavKeyWords->SetDataSource(RecNoKeyWord1);
    lay->addWidget(FrameDBNavKeyWords);
    GridKeyWords = Vcl::Owned(this, new TVoskDBGrid2(RegTags), QStringLiteral("GridKeyWords"));
    GridKeyWords->setAccessibleName(QStringLiteral("Schlüsselbegriffe"));
    GridKeyWords->setToolTip(QStringLiteral("Schlüsselbegriffe des Datensatzes"));
    GridKeyWords->SetDataClass(RecNoKeyWord1);
    GridKeyWords->SetHiddenFields({QStringLiteral("r_tablename"), QStringLiteral("r_dbrid")});
    lay->addWidget(GridKeyWords, 1);
    VoskPageControl1->addTab(RegTags, QStringLiteral("RegTags-Schlüsselbegriffe"));
    RecNoKeyWord1->BeforePost = [this](TVoskClass*) { RecNoKeyWord1BeforePost(); };
    // A new keyword belongs to the record the window shows.
    connect(FrameDBNavKeyWords->ButtonControl(nbInsert), &QAction::triggered, this, [this] {
        if (RecNoKeyWord1->IsNewRecord()) {
            RecNoKeyWord1->Cancel();
            RecNoKeyWord1->AppendKeyword();
        }
    });
}

void TMenuForm::BuildEigenschaften() {
    RegEigenschaften =
        Vcl::Owned(this, new QWidget(VoskPageControl1), QStringLiteral("RegEigenschaften"));
    auto* lay = new QVBoxLayout(RegEigenschaften);
    PopUpEigenschaften =
        Vcl::Owned(this, new TVoskPopupMenu(this), QStringLiteral("PopUpEigenschaften"));
    miDeleteAll =
        Vcl::Owned(this, PopUpEigenschaften->AddItem(QStringLiteral("Alle löschen"), 11837),
                   QStringLiteral("miDeleteAll"));
    connect(miDeleteAll, &QAction::triggered, this,
            [this] { Rtl::Guarded([this] { miDeleteAllClick(); }, this); });
    QWidget* grid = nullptr;
    frRecnoParams = UModulFormSeams::FrameRecnoParams(RegEigenschaften, RecNoProp1);
    // After the frame's own defaults, the new parameter's name is looked up.
    RecNoProp1->AfterInsert = [this, frameStep = RecNoProp1->AfterInsert](TVoskClass* c) {
        if (frameStep)
            frameStep(c);
        RecNoProp1AfterInsert();
    };
    if (frRecnoParams) {
        lay->addWidget(frRecnoParams->Frame(), 1);
        grid = frRecnoParams->Grid();
    } else {
        GridEigenschaften = Vcl::Owned(this, new TVoskDBGrid2(RegEigenschaften),
                                       QStringLiteral("GridEigenschaften"));
        GridEigenschaften->setAccessibleName(QStringLiteral("Eigenschaften"));
        GridEigenschaften->setToolTip(QStringLiteral("Eigenschaften des Datensatzes"));
        GridEigenschaften->SetDataClass(RecNoProp1);
        GridEigenschaften->setEditTriggers(QAbstractItemView::NoEditTriggers);
        GridEigenschaften->SetHiddenFields(
            {QStringLiteral("r_id"), QStringLiteral("r_tablename"), QStringLiteral("r_dbrid"),
             QStringLiteral("r_kategorie"), QStringLiteral("r_not"), QStringLiteral("r_max"),
             QStringLiteral("r_reg_pname"), QStringLiteral("reg_default")});
        lay->addWidget(GridEigenschaften, 1);
        grid = GridEigenschaften;
    }
    if (grid) {
        grid->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(grid, &QWidget::customContextMenuRequested, this,
                [this, grid](const QPoint& p) { PopUpEigenschaften->popup(grid->mapToGlobal(p)); });
    }
    VoskPageControl1->addTab(RegEigenschaften, makeText(3298, QStringLiteral("Eigenschaften")));
}

TMenuForm* TMenuForm::Create(QObject* owner, const QString& TableName, const QString& RecID,
                             bool AutoOpenComment, bool AutoShow, bool _ShowModal,
                             const QString& FormClass, const QString& Category) {
    auto* form = TFormKorvexGundForm::Create<TMenuForm>(owner);
    try {
        form->MenuCreate(TableName, RecID, FormClass, Category);
        TVoskColumnHandler::InitColumns(form->GridContacts);
    } catch (...) {
        delete form;
        throw;
    }
    form->_AutoOpenCommentOnShow = AutoOpenComment;
    if (AutoShow) {
        if (_ShowModal)
            Korvexcommonvcl::ShowModal(form);
        else
            form->show();
    }
    return form;
}

QString TMenuForm::HinweisAlsDialogKey(const QString& ownerName) {
    return QStringLiteral("%1~TMenuForm~cbHinweisAlsDialog").arg(ownerName);
}

void TMenuForm::MenuCreate(const QString& TableName, const QString& RecID, const QString& FormClass,
                           const QString& Category) {
    _tablename = TableName;
    _RecId = RecID;
    _TForm = FormClass;
    _Category = Category;
    if (RecID.isEmpty())
        throw EVoskException(
            QStringLiteral("Record has no id, please save and refresh/restart Module"));
    if (TableName.isEmpty())
        throw EVoskException(QStringLiteral("no tablename/sqltable given"));
    RecNoComment1->AssignToData(TableName, RecID);
    if (!Category.isEmpty())
        RecNoComment1->Locate(QStringLiteral("rc_category"), Category);
}

void TMenuForm::FormCreate(QObject* sender) {
    TFormKorvexGundForm::FormCreate(sender);
    setWindowTitle(QStringLiteral("Informationen"));
    TDM1* dm = connectedDM();
    if (!dm)
        return;
    TVoskQuery2 q(&dm->Database());
    q.SetSQLByKey(QStringLiteral("System.CommentsKategorien"));
    q.Open();
    TVoskMenuItem::LoadItemsFromQuery(moEditCategoryMenu, q, [this](TVoskMenuItem* item) {
        Rtl::Guarded([this, item] { moEditCategoryClick(item); }, this);
    });
}

void TMenuForm::RefreshNotes() {
    if (RecNoComment1->Active() && !RecNoComment1->InEdit())
        RecNoComment1->Refresh();
}

void TMenuForm::FormActivate(QObject* sender) {
    TFormKorvexGundForm::FormActivate(sender);
    // A new note the user is still typing in its editor stays; one left behind is dropped.
    if (RecNoComment1->IsNewRecord() && !m_commentEditor)
        RecNoComment1->Cancel();
    RefreshNotes();
    if (_AutoOpenCommentOnShow) {
        _AutoOpenCommentOnShow = false;
        BtEditCommentClick(nullptr);
    }
    TDM1* dm = connectedDM();
    const bool forced =
        dm && dm->GetBoolSetting(QStringLiteral("recnocomments_cbHinweisAlsDialog"), false);
    const QSignalBlocker block(cbHinweisAlsDialog);
    cbHinweisAlsDialog->setChecked(forced);
    cbHinweisAlsDialog->setEnabled(!forced);
    if (!forced && dm) {
        const QString owner = Vcl::Owner(this) ? Vcl::Owner(this)->objectName() : QString();
        cbHinweisAlsDialog->setChecked(dm->LoadLastValBool(HinweisAlsDialogKey(owner), false));
    }
}

void TMenuForm::cbHinweisAlsDialogChange() {
    TDM1* dm = connectedDM();
    if (!dm || !cbHinweisAlsDialog->isEnabled())
        return;
    const QString owner = Vcl::Owner(this) ? Vcl::Owner(this)->objectName() : QString();
    dm->SaveLastValBool(HinweisAlsDialogKey(owner), cbHinweisAlsDialog->isChecked());
}

void TMenuForm::VoskPageControl1Change() {
    QWidget* page = VoskPageControl1->currentWidget();
    if (page == RegVerlauf)
        RecNoComment1->AssignToData(_tablename, _RecId);
    else if (page == RegTags)
        RecNoKeyWord1->AssignToData(_tablename, _RecId, QString());
    else if (page == RegEigenschaften) {
        if (frRecnoParams)
            frRecnoParams->Attach(_tablename, _RecId, _TForm);
        else
            RecNoProp1->AssignToData(_tablename, _RecId, _TForm);
    }
}

void TMenuForm::InsertNote() {
    RecNoComment1->AppendNote();
    RecNoComment1AfterInsert();
}

void TMenuForm::BtEditCommentClick(QObject* sender) {
    if (!RecNoComment1->Active())
        return;
    if (RecNoComment1->IsEmpty()) {
        InsertNote();
        return;
    }
    if (!sender && !_Category.isEmpty() && !RecNoComment1->IsNewRecord() &&
        RecNoComment1->FieldByName(QStringLiteral("rc_category")).AsString() != _Category) {
        InsertNote();
        return;
    }
    OpenCommentEditor();
}

void TMenuForm::RecNoComment1AfterInsert() {
    if (!_Category.isEmpty() &&
        RecNoComment1->FieldByName(QStringLiteral("rc_category")).AsString().isEmpty())
        RecNoComment1->FieldByName(QStringLiteral("rc_category")).SetAsString(_Category);
    OpenCommentEditor();
}

void TMenuForm::OpenCommentEditor() {
    if (m_commentEditor) {
        m_commentEditor->raise();
        m_commentEditor->activateWindow();
        return;
    }
    if (!UModulFormSeams::FormRecnoComments.Assigned()) {
        // Nothing may stay behind of a note nobody can write.
        if (RecNoComment1->IsNewRecord())
            RecNoComment1->Cancel();
        Korvexutils::RaiseInformation(
            QStringLiteral("Der Notizeditor ist in dieser Installation nicht verfügbar."));
        return;
    }
    if (RecNoComment1->InEdit() &&
        RecNoComment1->FieldByName(QStringLiteral("rc_betreff")).AsString().isEmpty())
        RecNoComment1->FieldByName(QStringLiteral("rc_betreff"))
            .SetAsString(makeText(1396, QStringLiteral("Informationen")));
    m_commentEditor = UModulFormSeams::FormRecnoComments(this, RecNoComment1);
    if (m_commentEditor)
        m_commentEditor->show();
}

void TMenuForm::RecNoKeyWord1BeforePost() {
    if (RecNoKeyWord1->FieldByName(QStringLiteral("r_descr")).AsString().trimmed().isEmpty()) {
        Korvexutils::RaiseInformation(makeText(15725, QStringLiteral("*")));
        // The message alone would let the keyword through without its text.
        throw EAbort();
    }
}

void TMenuForm::RecNoProp1AfterInsert() {
    if (frRecnoParams && frRecnoParams->NameField())
        MakeF2(this, frRecnoParams->NameField(), true, false, QString(), QStringList(), QString());
}

void TMenuForm::miDeleteAllClick() {
    if (Vcl::Ask(Vcl::mtConfirmation, {}, QStringLiteral("Alle Eigenschaften löschen?"),
                 Vcl::mbYesNo, Vcl::mbNo) != Vcl::mrYes)
        return;
    if (frRecnoParams) {
        frRecnoParams->DeleteAll();
        return;
    }
    TDM1* dm = connectedDM();
    if (!dm || !RecNoProp1->Active())
        return;
    dm->ExecSQL(QStringLiteral("DELETE FROM recnokeyword WHERE r_tablename = :t AND r_dbrid = :d "
                               "AND r_reg_pname IS NOT NULL"),
                {{QStringLiteral("t"), _tablename}, {QStringLiteral("d"), _RecId}});
    RecNoProp1->Refresh(false);
}

void TMenuForm::PopupCommentPopup() {
    const QStringList hidden = GridContacts->HiddenFields();
    const int col = GridContacts->columnByFieldName(QStringLiteral("rc_category"));
    moEditCategoryMenu->menuAction()->setVisible(col >= 0 && !GridContacts->isColumnHidden(col) &&
                                                 !hidden.contains(QStringLiteral("rc_category")));
}

void TMenuForm::moEditCategoryClick(TVoskMenuItem* item) {
    if (!item || !Korvexcommonvcl::RaiseQuestion(item->text()))
        return;
    TDM1* dm = connectedDM();
    if (!dm || !RecNoComment1->Active())
        return;
    QList<int> rows;
    for (const QModelIndex& i : GridContacts->selectionModel()->selectedRows())
        rows << i.row();
    if (rows.isEmpty() && RecNoComment1->CurrentRow() >= 0)
        rows << RecNoComment1->CurrentRow();
    const int idCol = RecNoComment1->FieldIndex(QStringLiteral("rc_id"));
    TVoskDatabase& db = dm->Database();
    // All chosen notes change, or none.
    db.StartTransaction();
    try {
        TVoskQuery2 q(&db, QStringLiteral("UPDATE recnocomments SET rc_category=:VALUE WHERE "
                                          "rc_id=:id"));
        for (int row : rows) {
            q.Bind(QStringLiteral("VALUE"), item->Value());
            q.Bind(QStringLiteral("id"), RecNoComment1->Value(row, idCol));
            q.ExecSQL();
        }
        db.Commit();
    } catch (...) {
        db.Rollback();
        throw;
    }
    RefreshNotes();
}

bool TMenuForm::GridContactsCustomDrawCell(int row) const {
    if (_Category.isEmpty() || row < 0 || row >= RecNoComment1->RecordCount())
        return false;
    const int col = RecNoComment1->FieldIndex(QStringLiteral("rc_category"));
    return col >= 0 && RecNoComment1->Value(row, col).toString() == _Category;
}

QString TMenuForm::GridContactsrc_betreffGetDisplayText(int row) const {
    const int subject = RecNoComment1->FieldIndex(QStringLiteral("rc_betreff"));
    const int table = RecNoComment1->FieldIndex(QStringLiteral("rc_tablename"));
    if (subject < 0 || row < 0 || row >= RecNoComment1->RecordCount())
        return {};
    const QString text = RecNoComment1->Value(row, subject).toString();
    const QString noteTable = table >= 0 ? RecNoComment1->Value(row, table).toString() : QString();
    if (noteTable.isEmpty() || noteTable == RecNoComment1->TableName())
        return text;
    TDM1* dm = connectedDM();
    QString alias = dm ? dm->GetFieldAlias(QString(), noteTable) : QString();
    if (alias.isEmpty())
        alias = noteTable;
    return alias + QStringLiteral(": ") + text;
}

void TMenuForm::FormKeyDown(QObject* sender, int& Key, Qt::KeyboardModifiers Shift) {
    if (Key == Qt::Key_Escape && !RecNoComment1->InEdit() && !RecNoKeyWord1->InEdit() &&
        !RecNoProp1->InEdit()) {
        Key = 0;
        close();
    } else if ((Key == Qt::Key_Return || Key == Qt::Key_Enter) && ActiveControl() &&
               (ActiveControl() == GridContacts || GridContacts->isAncestorOf(ActiveControl()))) {
        // Enter on a note opens it, as a double click does.
        Key = 0;
        BtEditCommentClick(GridContacts);
    }
    TFormKorvexGundForm::FormKeyDown(sender, Key, Shift);
}

void TMenuForm::BtEndClick() {
    close();
}

// ---- unit --------------------------------------------------------------------------------

namespace {

void UnitInit() {
    TVoskMenuItem::MenuFormClass.Set([](QObject* owner) -> Vcl::TForm* {
        return TFormKorvexGundForm::Create<TMenuForm>(owner);
    });
}

void UnitFini() {
    TVoskMenuItem::MenuFormClass.Reset();
}

} // namespace

KORVEX_UNIT("hadrel", "MenuTree", UnitInit, UnitFini);
