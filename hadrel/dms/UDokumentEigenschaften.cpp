#include "UDokumentEigenschaften.h"

#include "FrameDBNavigate.h"
#include "UDokuPopupMenu.h"
#include "UnitTable.h"
#include "Vcl.Classes.h"

#include <DMSys.h>
#include <Dataclient_files.h>
#include <EventGuard.h>
#include <Korvexutils.h>
#include <TQ32Control.h>
#include <TRecNoClasses.h>
#include <TServSQL2.h>
#include <TUserRights.h>
#include <TVoskCompEventListener.h>
#include <VoskKeyControls.h>
#include <TVoskDBDateTimeEdit.h>
#include <TVoskDBEdit.h>
#include <TVoskDBGrid2.h>
#include <TVoskDBLookupComboBox.h>
#include <TVoskDBMemo.h>
#include <TVoskGridCellDelegate.h>
#include <TVoskPopupMenu.h>
#include <UDM1.h>
#include <Ukorvexclasses.Dokument.h>
#include <Vcl.Components.h>
#include <Vcl.Services.h>
#include <VoskDatabase.h>
#include <VoskExceptions.h>
#include <VoskGridValues.h>
#include <VoskQuery2.h>
#include <VoskTransaction.h>

#include <libpq-fe.h>

#include <QComboBox>
#include <QCompleter>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScopeGuard>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The text of a keyword: typed in upper case, or picked with the ellipsis button from the texts
// the category already has elsewhere (typing narrows the list).
class TKeywordTextEditor final : public QWidget {
public:
    TKeywordTextEditor(QWidget* parent, const QString& category) : QWidget(parent) {
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(0);
        Edit = new QLineEdit(this);
        Edit->setObjectName(QStringLiteral("edKeywordText"));
        Edit->setAccessibleName(QStringLiteral("Schlüsselwort"));
        Edit->setToolTip(QStringLiteral("Schlüsselwort"));
        Button = new QToolButton(this);
        Button->setObjectName(QStringLiteral("btKeywordValues"));
        Button->setText(QStringLiteral("…"));
        Button->setFocusPolicy(Qt::NoFocus);
        const QString tip = QStringLiteral("Vorhandene Schlüsselworte der Kategorie wählen");
        Button->setToolTip(tip);
        Button->setAccessibleName(tip);
        row->addWidget(Edit, 1);
        row->addWidget(Button);
        setFocusProxy(Edit);
        Completer = new QCompleter(Values(category), this);
        Completer->setCaseSensitivity(Qt::CaseInsensitive);
        Completer->setCompletionMode(QCompleter::PopupCompletion);
        Edit->setCompleter(Completer);
        Button->setEnabled(Completer->model()->rowCount() > 0);
        connect(Button, &QToolButton::clicked, this, [this] {
            // The whole list, whatever is typed.
            Completer->setCompletionPrefix(QString());
            Completer->complete();
        });
    }
    // The texts of the category's keywords on any record, placeholders left out.
    static QStringList Values(const QString& category) {
        QStringList list;
        if (category.isEmpty() || !DM1() || !DM1()->Connected())
            return list;
        TVoskQuery2 q(&DM1()->Database(),
                      QStringLiteral("SELECT DISTINCT r_descr FROM recnokeyword\n"
                                     "WHERE r_kategorie = :kategorie AND r_reg_pname IS NULL\n"
                                     "  AND coalesce(r_descr, '') NOT IN ('', '!')\n"
                                     "ORDER BY r_descr LIMIT 1000"));
        q.ParamByName(QStringLiteral("kategorie")).SetAsString(category);
        q.Open();
        for (; !q.Eof(); q.Next())
            list << q.FieldByName(QStringLiteral("r_descr")).AsString();
        return list;
    }

    QLineEdit* Edit;
    QToolButton* Button;
    QCompleter* Completer;
};

// The keyword grid: the category is chosen from the keyword categories, the text is kept in
// upper case, and a placeholder the user still has to replace is painted as a warning.
class TKeywordDelegate final : public TVoskGridCellDelegate {
public:
    explicit TKeywordDelegate(TVoskDBGrid2* grid) : TVoskGridCellDelegate(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        if (fieldOf(index) == QLatin1String("r_descr")) {
            TVoskClass* c = m_grid ? m_grid->DataClass() : nullptr;
            const int cat = c ? c->FieldIndex(QStringLiteral("r_kategorie")) : -1;
            auto* text = new TKeywordTextEditor(
                parent, cat < 0 ? QString() : index.sibling(index.row(), cat).data().toString());
            // Return inside the composite editor ends the edit as in a plain cell.
            auto* self = const_cast<TKeywordDelegate*>(this);
            connect(text->Edit, &QLineEdit::returnPressed, self, [self, text] {
                emit self->commitData(text);
                emit self->closeEditor(text, QAbstractItemDelegate::SubmitModelCache);
            });
            return text;
        }
        if (fieldOf(index) != QLatin1String("r_kategorie"))
            return TVoskGridCellDelegate::createEditor(parent, option, index);
        auto* box = new QComboBox(parent);
        box->setEditable(false);
        box->addItem(QString());
        box->addItems(Categories());
        box->setAccessibleName(QStringLiteral("Kategorie"));
        return box;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            const QString v = index.data(Qt::EditRole).toString();
            if (box->findText(v) < 0)
                box->addItem(v);
            box->setCurrentText(v);
            return;
        }
        if (auto* text = dynamic_cast<TKeywordTextEditor*>(editor)) {
            text->Edit->setText(index.data(Qt::EditRole).toString());
            return;
        }
        TVoskGridCellDelegate::setEditorData(editor, index);
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            model->setData(index, box->currentText(), Qt::EditRole);
            // GridSuchBegriffeColr_kategoriePropertiesEditValueChanged: a stored keyword takes
            // its new category at once; a new one waits for its text.
            TVoskClass* c = m_grid ? m_grid->DataClass() : nullptr;
            if (c && c->InEdit() && !c->IsNewRecord())
                Rtl::Guarded([c] { c->Post(false); }, m_grid);
            return;
        }
        if (auto* text = dynamic_cast<TKeywordTextEditor*>(editor)) {
            model->setData(index, text->Edit->text().toUpper(), Qt::EditRole);
            return;
        }
        TVoskGridCellDelegate::setModelData(editor, model, index);
    }
    // GridKeyWordsCustomDrawCell
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        TVoskGridCellDelegate::initStyleOption(option, index);
        if (index.data(Qt::DisplayRole).toString() ==
            QLatin1String(TFrameDokumentEigenschaften::KeywordPlaceholder))
            option->backgroundBrush = QColor(255, 200, 120);
    }

    static QStringList Categories() {
        QStringList list;
        if (!DM1())
            return list;
        TVoskQuery2 q(&DM1()->Database(),
                      QStringLiteral("SELECT rck_b FROM recnokeywordcategory WHERE NOT "
                                     "rck_internal ORDER BY rck_b"));
        q.Open();
        for (; !q.Eof(); q.Next())
            list << q.FieldByName(QStringLiteral("rck_b")).AsString();
        return list;
    }

private:
    QString fieldOf(const QModelIndex& index) const {
        TVoskClass* c = m_grid ? m_grid->DataClass() : nullptr;
        return c && index.column() < c->FieldCount() ? c->FieldNames().value(index.column())
                                                     : QString();
    }
};

QWidget* holder(QWidget* parent) {
    auto* w = new QWidget(parent);
    auto* l = new QHBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    return w;
}

QToolButton* MakeButton(QObject* owner, QWidget* parent, const QString& name, int image,
                        const QString& text, const QString& tip) {
    auto* b = Vcl::Owned(owner, new QToolButton(parent), name);
    if (image >= 0 && TDMSys::HasThemeIcon(image) && DMSys())
        b->setIcon(DMSys()->ImageList()->Icon(image));
    else
        b->setText(text);
    b->setToolTip(tip);
    b->setAccessibleName(tip);
    return b;
}

} // namespace

TFrameDokumentEigenschaften::TFrameDokumentEigenschaften(QObject* owner, QWidget* parent)
    : QFrame(parent) {
    Vcl::SetOwner(this, owner);
    setObjectName(QStringLiteral("FrameDokumentEigenschaften"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(2);

    FrameDBNav1 = Vcl::Owned(this, new TFrameDBNav(this, this), QStringLiteral("FrameDBNav1"));
    FrameDBNav1->SetBtSkip(false);
    FrameDBNav1->SetBtInsert(false);
    FrameDBNav1->SetBtDelete(false);
    FrameDBNav1->SetBtRefresh(true);
    outer->addWidget(FrameDBNav1);

    auto* top = new QHBoxLayout;
    outer->addLayout(top);
    pnlMainTopEdit = new QWidget(this);
    pnlMainTopEdit->setObjectName(QStringLiteral("pnlMainTopEdit"));
    pnlLabels = pnlMainTopEdit; // the captions share the editors' grid so that rows line up
    auto* grid = new QGridLayout(pnlMainTopEdit);
    grid->setContentsMargins(4, 4, 4, 4);
    top->addWidget(pnlMainTopEdit, 1);
    buildFields(grid);
    buildAdminPanel();
    top->addWidget(AdminPanel);

    buildPages();
    outer->addWidget(Label_keywords);
    outer->addWidget(pageLinks, 1);

    sqlDokTypes = Vcl::Owned(this, new TVoskClass2(this), QStringLiteral("sqlDokTypes"));
    sqlDokTypes->SetSqlTable(QStringLiteral("dokutypes"));
    sqlDokTypes->SetReadOnly(true);
    sqlDokTypes->SetQuerySql(QStringLiteral("SELECT dbrid, dt_id, dt_descr, dt_abteilung, "
                                            "dt_forcekeyword\nFROM dokutypes\nORDER BY dt_descr"));
    pd_doktype->SetListSource(sqlDokTypes);
    pd_doktype->SetKeyField(QStringLiteral("dt_id"));
    pd_doktype->SetListField(QStringLiteral("dt_descr"));
    connect(pd_doktype, qOverload<int>(&QComboBox::activated), this,
            [this] { Rtl::Guarded([this] { pd_doktypePropertiesCloseUp(); }, this); });
    pd_doktype->installEventFilter(this);

    IsAdminListener = Vcl::Owned(this, new TVoskCompEventListener(this),
                                 QStringLiteral("IsAdminListener"));
    IsAdminListener->OnInit = [this](TVoskCompEventListener*) { IsAdminListenerInit(); };
    IsAdminListener->OnEvent = [this](TVoskCompEventListener*) { IsAdminListenerEvent(); };

    // Create
    Label_pd_id->setText(makeText(1765, QStringLiteral("ID")));
    Label_pd_dmsremotefile->setText(makeText(11553, QStringLiteral("DMS-Datei")));
    Label_pd_dmsremotearchiv->setText(makeText(11554, QStringLiteral("DMS-Archiv")));
    RecNoKeyWord1->SetRequiredFields(true);
    if (DM1() && DM1()->Database().Connected())
        Rtl::Guarded([this] { sqlDokTypes->Open(); }, this);

    IsAdminListener->Loaded();
    _DokumentDisable();
}

TFrameDokumentEigenschaften::~TFrameDokumentEigenschaften() {
    m_destroying = true;
    disconnect(m_scroll);
    if (F2Result.F2Form)
        F2Result.F2Form->close();
}

void TFrameDokumentEigenschaften::buildFields(QGridLayout* grid) {
    QWidget* p = pnlMainTopEdit;
    auto label = [&](const char* name, int nr, const QString& def, int hintNr = 0,
                     const QString& hintDef = {}) {
        auto* l = Vcl::Owned(this, new QLabel(makeText(nr, def), p), QString::fromLatin1(name));
        if (hintNr)
            l->setToolTip(makeText(hintNr, hintDef));
        return l;
    };
    auto edit = [&](const char* name, const char* field, const QString& caption) {
        auto* e = Vcl::Owned(this, new TVoskDBEdit(p), QString::fromLatin1(name));
        e->SetDataField(QString::fromLatin1(field));
        e->setAccessibleName(caption);
        e->setToolTip(caption);
        return e;
    };
    auto check = [&](const char* name, const char* field, int nr, const QString& def,
                     int hintNr = 0, const QString& hintDef = {}) {
        auto* c = Vcl::Owned(this, new TVoskDBCheckBox(p), QString::fromLatin1(name));
        c->SetDataField(QString::fromLatin1(field));
        c->setText(makeText(nr, def));
        c->setAccessibleName(c->text());
        c->setToolTip(hintNr ? makeText(hintNr, hintDef) : c->text());
        return c;
    };

    Label_pd_path = label("Label_pd_path", 287, QStringLiteral("Pfad"));
    Label_pd_tablename = label("Label_pd_tablename", 216, QStringLiteral("Abteilung"));
    Label_pd_dokumentfile = label("Label_pd_dokumentfile", 1304, QStringLiteral("Dateiname"));
    Label_insert_date = label("Label_insert_date", 17448, QStringLiteral("Im DMS seit"), 17449,
                              QStringLiteral("Datum, an dem das Dokument in das DMS aufgenommen "
                                             "wurde"));
    Label_pd_txt = label("Label_pd_txt", 278, QStringLiteral("Bemerkung"));
    Label_keywords = label("Label_keywords", 1244, QStringLiteral("Schlüsselworte"));
    Label_pd_doktype = label("Label_pd_doktype", 12277, QStringLiteral("Dokumenttyp"));
    Label_pd_date = label("Label_pd_date", 373, QStringLiteral("Erstellt am"), 17450,
                          QStringLiteral("Datum des Dokuments"));
    AdminLabel = label("AdminLabel", 3284, QStringLiteral("Administration"));
    AdminLabel->hide();

    pd_txt = Vcl::Owned(this, new TVoskDBMemo(p), QStringLiteral("pd_txt"));
    pd_txt->SetDataField(QStringLiteral("pd_txt"));
    pd_txt->setAccessibleName(Label_pd_txt->text());
    pd_txt->setToolTip(Label_pd_txt->text());
    pd_txt->setMinimumHeight(60);
    pd_txt->setMaximumHeight(140);
    pd_txt->installEventFilter(this);
    pd_path = edit("pd_path", "pd_path", Label_pd_path->text());
    pd_path_user = edit("pd_path_user", "pd_path_user", QStringLiteral("Benutzerpfad"));
    const QString visibleText = makeText(17948, QStringLiteral("Gültiger Pfad"));
    const QString visibleHint = makeText(17949, QStringLiteral("Rot markiert ist der Pfad, der gilt"));
    pd_path_visible = label("pd_path_visible", 17948, visibleText);
    pd_path_visible->setToolTip(visibleHint);
    pd_pathuser_visible = label("pd_pathuser_visible", 17948, visibleText);
    pd_pathuser_visible->setToolTip(visibleHint);
    pd_tablename = edit("pd_tablename", "pd_tablename", Label_pd_tablename->text());
    pd_tablename_alias = label("pd_tablename_alias", 0, QString());
    pd_tablename_alias->setTextFormat(Qt::PlainText);
    pd_dokumentfile = edit("pd_dokumentfile", "pd_dokumentfile", Label_pd_dokumentfile->text());
    insert_Date = Vcl::Owned(this, new TVoskDBDateTimeEdit(p), QStringLiteral("insert_Date"));
    insert_Date->SetDataField(QStringLiteral("insert_date"));
    insert_Date->setAccessibleName(Label_insert_date->text());
    insert_Date->setToolTip(Label_insert_date->toolTip());
    insert_Date->setReadOnly(true);
    pd_date = Vcl::Owned(this, new TVoskDBDateTimeEdit(p), QStringLiteral("pd_date"));
    pd_date->SetDataField(QStringLiteral("pd_date"));
    pd_date->setAccessibleName(Label_pd_date->text());
    pd_date->setToolTip(Label_pd_date->toolTip());
    // The combo and the check box follow their field's editability themselves; the frame's own
    // rules act on a holder around each, so that neither undoes the other.
    m_doktypeHolder = holder(p);
    m_printHolder = holder(p);
    pd_doktype = Vcl::Owned(this, new TVoskDBLookupComboBox(m_doktypeHolder),
                            QStringLiteral("pd_doktype"));
    m_doktypeHolder->layout()->addWidget(pd_doktype);
    pd_doktype->SetDataField(QStringLiteral("pd_doktype"));
    pd_doktype->setAccessibleName(Label_pd_doktype->text());
    pd_doktype->setToolTip(Label_pd_doktype->text());
    pd_print = check("pd_print", "pd_print", 3943, QStringLiteral("Standarddokument zum Drucken"));
    pd_print->setParent(m_printHolder);
    m_printHolder->layout()->addWidget(pd_print);
    pd_deletable = check("pd_deletable", "pd_deletable", 21270, QStringLiteral("Ausgeblendet"),
                         17915,
                         QStringLiteral("Ausgeblendete Dokumente zeigt die Objektablage nur auf "
                                        "Wunsch"));
    pd_archive = check("pd_archive", "pd_archive", 17917, QStringLiteral("Archiviert"));
    pd_dmscomment = check("pd_dmscomment", "pd_dmscomment", 17872,
                          QStringLiteral("Annotations vorhanden"));
    pd_dmscomment->setEnabled(false);
    BtAssignToRecord = MakeButton(this, p, QStringLiteral("BtAssignToRecord"), 263,
                                  makeText(21733, QStringLiteral("Position zum Dokument zuweisen")),
                                  makeText(21734, QStringLiteral("Das Dokument einem Datensatz "
                                                             "zuordnen")));
    btDokTypeClear = MakeButton(this, p, QStringLiteral("btDokTypeClear"), 41,
                                QStringLiteral("Leeren"), QStringLiteral("Dokumenttyp leeren"));
    BtOpenFile = MakeButton(this, p, QStringLiteral("BtOpenFile"), 152, QStringLiteral("…"),
                            QStringLiteral("Datei wählen"));
    lbDelayed = label("lbDelayed", 0, QStringLiteral("DMSDelayedUpload"));
    lbDelayed->setToolTip(QStringLiteral("Die Datei liegt noch nur in der Arbeitskopie"));
    lbDokumentLink = label("lbDokumentLink", 31002, QStringLiteral("Dateiverknüpfung"), 31171,
                           QStringLiteral("Das Dokument verweist nur auf eine Datei außerhalb "
                                          "des DMS"));
    lbLinkSource = label("lbLinkSource", 0, QStringLiteral("DokuLink/RecNo"), 31172,
                         QStringLiteral("Andere Datensätze erreichen das Dokument über "
                                        "Zuordnungen"));
    lbLocked = label("lbLocked", 0, QString());
    // It names the lock holder and the machine: stored text, never markup.
    lbLocked->setTextFormat(Qt::PlainText);
    for (QLabel* l : {lbDelayed, lbDokumentLink, lbLinkSource, lbLocked})
        l->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));

    connect(BtAssignToRecord, &QToolButton::clicked, this,
            [this] { Rtl::Guarded([this] { BtAssignToRecordClick(); }, this); });
    connect(btDokTypeClear, &QToolButton::clicked, this,
            [this] { Rtl::Guarded([this] { btDokTypeClearClick(); }, this); });
    connect(BtOpenFile, &QToolButton::clicked, this,
            [this] { Rtl::Guarded([this] { BtOpenFileClick(); }, this); });

    Label_pd_path->setBuddy(pd_path);
    Label_pd_tablename->setBuddy(pd_tablename);
    Label_pd_dokumentfile->setBuddy(pd_dokumentfile);
    Label_insert_date->setBuddy(insert_Date);
    Label_pd_date->setBuddy(pd_date);
    Label_pd_doktype->setBuddy(pd_doktype);
    Label_pd_txt->setBuddy(pd_txt);

    int row = 0;
    grid->addWidget(Label_pd_path, row, 0);
    grid->addWidget(pd_path, row, 1, 1, 3);
    grid->addWidget(pd_path_visible, row++, 4);
    grid->addWidget(pd_path_user, row, 1, 1, 3);
    grid->addWidget(pd_pathuser_visible, row++, 4);
    grid->addWidget(Label_pd_tablename, row, 0);
    grid->addWidget(pd_tablename, row, 1);
    grid->addWidget(pd_tablename_alias, row, 2);
    grid->addWidget(BtAssignToRecord, row++, 3);
    grid->addWidget(Label_pd_dokumentfile, row, 0);
    grid->addWidget(pd_dokumentfile, row, 1, 1, 2);
    grid->addWidget(BtOpenFile, row++, 3);
    grid->addWidget(Label_insert_date, row, 0);
    grid->addWidget(insert_Date, row, 1);
    grid->addWidget(Label_pd_date, row, 2);
    grid->addWidget(pd_date, row++, 3, 1, 2);
    grid->addWidget(Label_pd_doktype, row, 0);
    grid->addWidget(m_doktypeHolder, row, 1, 1, 2);
    grid->addWidget(btDokTypeClear, row++, 3);
    grid->addWidget(Label_pd_txt, row, 0, Qt::AlignTop);
    grid->addWidget(pd_txt, row++, 1, 1, 4);
    auto* checks = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(m_printHolder), static_cast<QWidget*>(pd_deletable),
                       static_cast<QWidget*>(pd_archive), static_cast<QWidget*>(pd_dmscomment)})
        checks->addWidget(w);
    checks->addStretch(1);
    grid->addLayout(checks, row++, 1, 1, 4);
    auto* states = new QHBoxLayout;
    for (QLabel* l : {lbDokumentLink, lbLinkSource, lbLocked, lbDelayed})
        states->addWidget(l);
    states->addStretch(1);
    grid->addLayout(states, row++, 1, 1, 4);
    // The height the admin panel beside the fields leaves over stays below them.
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(1, 2);
    grid->setColumnStretch(2, 1);
}

void TFrameDokumentEigenschaften::buildPages() {
    pageLinks = Vcl::Owned(this, new QTabWidget(this), QStringLiteral("pageLinks"));
    pageLinks->setMaximumWidth(16777215);
    auto page = [&](const char* name, const QString& caption, const QString& hint) {
        auto* w = new QWidget(pageLinks);
        w->setObjectName(QString::fromLatin1(name));
        pageLinks->addTab(w, caption);
        pageLinks->setTabToolTip(pageLinks->count() - 1, hint);
        auto* l = new QVBoxLayout(w);
        l->setContentsMargins(0, 0, 0, 0);
        return w;
    };
    auto makeGrid = [&](QWidget* parent, const char* name, const QString& caption) {
        auto* g = Vcl::Owned(this, new TVoskDBGrid2(parent), QString::fromLatin1(name));
        g->setAccessibleName(caption);
        g->setToolTip(caption);
        parent->layout()->addWidget(g);
        return g;
    };

    const QString keywords = makeText(1244, QStringLiteral("Schlüsselworte"));
    tabRecno = page("tabRecno", QStringLiteral("&1 ") + keywords, keywords);
    RecNoKeyWord1 = Vcl::Owned(this, new TRecNoKeyword(this), QStringLiteral("RecNoKeyWord1"));
    GridKeyWords = makeGrid(tabRecno, "GridKeyWords", keywords);
    GridKeyWords->setItemDelegate(new TKeywordDelegate(GridKeyWords));
    GridKeyWords->SetDataClass(RecNoKeyWord1);
    RecNoKeyWord1->SetWithKeyColumn(true);
    GridKeyWords->SetHiddenFields({QStringLiteral("r_id"), QStringLiteral("r_classname"),
                                   QStringLiteral("r_oid"), QStringLiteral("r_tablename"),
                                   QStringLiteral("r_dbrid"), QStringLiteral("rck_column")});
    Label_keywords->setBuddy(GridKeyWords);
    PopupKeyWords = Vcl::Owned(this, new TVoskPopupMenu(GridKeyWords), QStringLiteral("PopupKeyWords"));
    PopupKeyWords->SetLinkSource(RecNoKeyWord1);
    PopupKeyWords->SetIdentKeyField(QStringLiteral("rck_column"));
    PopupKeyWords->SetIdentValueField(QStringLiteral("r_descr"));
    PopupKeyWords->SetLoadAllLinkModules(true);
    PopupKeyWords->SetErrorWhenNotFound(true);
    GridKeyWords->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(GridKeyWords, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        const QModelIndex at = GridKeyWords->indexAt(pos);
        if (at.isValid())
            GridKeyWords->setCurrentIndex(at);
        // The menu holds only the links of the row; a row that names no record has none.
        if (RecNoKeyWord1->HasRecord() &&
            !TVoskPopupMenu::LinkModules(
                 RecNoKeyWord1->FieldByName(QStringLiteral("rck_column")).AsString())
                 .isEmpty())
            PopupKeyWords->popup(GridKeyWords->viewport()->mapToGlobal(pos));
    });

    const QString links = makeText(17873, QStringLiteral("Zuordnungen zum Dokument"));
    tabLinks = page("tabLinks", QStringLiteral("&2 ") + links, links);
    sqlDokuLinks = Vcl::Owned(this, new TServSQL2(this), QStringLiteral("sqlDokuLinks"));
    sqlDokuLinks->SetSqlName(QStringLiteral("DMS.DokumentEigenschaften.sqlDokuLinks"));
    sqlDokuLinks->SetSqlTable(QStringLiteral("picndokulink"));
    sqlDokuLinks->SetKeyFieldName(QStringLiteral("pdl_id"));
    sqlDokuLinks->BeforeEdit = [this](TVoskClass*) { sqlDokuLinksBeforeEdit(); };
    sqlDokuLinks->BeforeInsert = [this](TVoskClass*) { sqlDokuLinksBeforeEdit(); };
    GridLinks = makeGrid(tabLinks, "GridLinks", links);
    GridLinks->SetDataClass(sqlDokuLinks);
    GridLinks->SetHiddenFields({QStringLiteral("pdl_id"), QStringLiteral("pdl_pd_id"),
                                QStringLiteral("pdl_dokident"), QStringLiteral("dabt_name"),
                                QStringLiteral("pdl_tablename"), QStringLiteral("rck_column"),
                                QStringLiteral("pdl_txt")});

    const QString revisions = makeText(10431, QStringLiteral("Revisionen"));
    tabRevisions = page("tabRevisions", QStringLiteral("&3 ") + revisions,
                        makeText(17916, QStringLiteral("Alle Revisionen des Dokuments")));
    sqlRevisions = Vcl::Owned(this, new TServSQL2(this), QStringLiteral("sqlRevisions"));
    sqlRevisions->SetSqlName(QStringLiteral("DMS.DokumentEigenschaften.sqlRevisions"));
    sqlRevisions->SetKeyFieldName(QStringLiteral("pd_id"));
    sqlRevisions->SetReadOnly(true);
    sqlRevisions->SetFieldAliasTable(QStringLiteral("picndoku"));
    GridRevisions = makeGrid(tabRevisions, "GridRevisions", revisions);
    GridRevisions->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridRevisions->SetDataClass(sqlRevisions);
    connect(GridRevisions, &QAbstractItemView::doubleClicked, this,
            [this] { Rtl::Guarded([this] { GridRevisionsDblClick(); }, this); });
    pnlPageRevisionContainer = new QWidget(tabRevisions);
    pnlPageRevisionContainer->setObjectName(QStringLiteral("pnlPageRevisionContainer"));
    auto* revRow = new QHBoxLayout(pnlPageRevisionContainer);
    revRow->setContentsMargins(2, 2, 2, 2);
    auto* revLabel = new QLabel(QStringLiteral("Revisions-ID"), pnlPageRevisionContainer);
    pd_revision_id = Vcl::Owned(this, new TVoskDBEdit(pnlPageRevisionContainer),
                                QStringLiteral("pd_revision_id"));
    pd_revision_id->SetDataField(QStringLiteral("pd_revision_id"));
    pd_revision_id->SetForceReadOnly(true);
    pd_revision_id->setAccessibleName(QStringLiteral("Revisions-ID"));
    pd_revision_id->setToolTip(QStringLiteral("Revisions-ID"));
    revLabel->setBuddy(pd_revision_id);
    revRow->addWidget(revLabel);
    revRow->addWidget(pd_revision_id);
    revRow->addStretch(1);
    tabRevisions->layout()->addWidget(pnlPageRevisionContainer);
    PopupRevisions = Vcl::Owned(this, new TVoskPopupMenu(this), QStringLiteral("PopupRevisions"));
    miSelectRevision = PopupRevisions->AddItem(QStringLiteral("Revision anzeigen"), 10433);
    miSelectRevision->setObjectName(QStringLiteral("miSelectRevision"));
    miSelectRevision->setVisible(false);
    PopupRevisions->setDefaultAction(miSelectRevision);
    connect(miSelectRevision, &QAction::triggered, this,
            [this] { Rtl::Guarded([this] { miSelectRevisionClick(); }, this); });
    connect(PopupRevisions, &QMenu::aboutToShow, this,
            [this] { Rtl::Guarded([this] { PopupRevisionsPopup(); }, this); });
    GridRevisions->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(GridRevisions, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (miSelectRevision->isVisible())
            PopupRevisions->popup(GridRevisions->viewport()->mapToGlobal(pos));
    });

    const QString log = makeText(17874, QStringLiteral("Änderungs-Logbuch"));
    tabChangeLog = page("tabChangeLog", QStringLiteral("&4 ") + log, log);
    sqlChangeLog = Vcl::Owned(this, new TServSQL2(this), QStringLiteral("sqlChangeLog"));
    sqlChangeLog->SetSqlName(QStringLiteral("DMS.DokumentEigenschaften.sqlChangeLog"));
    sqlChangeLog->SetKeyFieldName(QStringLiteral("pdg_id"));
    sqlChangeLog->SetReadOnly(true);
    sqlChangeLog->SetFieldAliasTable(QStringLiteral("picndoku_log"));
    GridChangeLog = makeGrid(tabChangeLog, "GridChangeLog", log);
    GridChangeLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridChangeLog->SetDataClass(sqlChangeLog);
    GridChangeLog->SetHiddenFields({QStringLiteral("pdg_id")});
    pageLinks->setCurrentWidget(tabRecno);
}

void TFrameDokumentEigenschaften::buildAdminPanel() {
    AdminPanel = new QWidget(this);
    AdminPanel->setObjectName(QStringLiteral("AdminPanel"));
    auto* grid = new QGridLayout(AdminPanel);
    grid->setContentsMargins(4, 4, 4, 4);
    struct Field {
        const char* field;
        const char* caption;
        const char* hint;
    };
    static const Field fields[] = {
        {"pd_id", "ID", nullptr},
        {"pd_dokident", "DokIdent", nullptr},
        {"pd_dbrid", "DBRID", nullptr},
        {"pd_doktype", "Doktype", nullptr},
        {"pd_dmsremotefiledoktype", "DMSRemoteDoktype ", nullptr},
        {"pd_dmsremotefile", "DMSRemoteFile", nullptr},
        {"pd_dmsremotearchiv", "DMSRemoteArchiv", nullptr},
        {"pd_modified", "Modified", nullptr},
        {"pd_parentnodeident", "ParentNode",
         "Zwangs-übergeordneter Ordner im Baum (sollte leer sein damit Automatismus greift)"},
        {"pd_source", "Source", nullptr},
        {"insert_by", "Insert by", nullptr},
        {"pd_dmshash", "DMSHash", nullptr},
        {"pd_external_dms_updated", "ExtDMS-Update", nullptr},
        {"pd_external_dms_id", "ExtDMS-ID", nullptr},
    };
    int row = 0;
    // The panel's heading.
    AdminLabel->setParent(AdminPanel);
    QFont bold = AdminLabel->font();
    bold.setBold(true);
    AdminLabel->setFont(bold);
    grid->addWidget(AdminLabel, row++, 0, 1, 2);
    for (const Field& f : fields) {
        const QString field = QString::fromLatin1(f.field);
        auto* l = Vcl::Owned(this, new QLabel(QString::fromUtf8(f.caption), AdminPanel),
                             QStringLiteral("Label_") + field);
        auto* e = Vcl::Owned(this, new TVoskDBEdit(AdminPanel), QStringLiteral("ed_") + field);
        e->SetDataField(field);
        e->SetForceReadOnly(true);
        e->setMinimumWidth(200);
        e->setAccessibleName(l->text().trimmed());
        e->setToolTip(f.hint ? QString::fromUtf8(f.hint) : l->text().trimmed());
        if (f.hint)
            l->setToolTip(QString::fromUtf8(f.hint));
        l->setBuddy(e);
        grid->addWidget(l, row, 0);
        grid->addWidget(e, row++, 1);
        AdminEdits << e;
        if (field == QLatin1String("pd_id"))
            Label_pd_id = l;
        else if (field == QLatin1String("pd_dmsremotefile"))
            Label_pd_dmsremotefile = l;
        else if (field == QLatin1String("pd_dmsremotearchiv"))
            Label_pd_dmsremotearchiv = l;
    }
    auto* l = new QLabel(QStringLiteral("DMSRemoteFilename"), AdminPanel);
    edDMSRemoteFilename = Vcl::Owned(this, new QLineEdit(AdminPanel),
                                     QStringLiteral("edDMSRemoteFilename"));
    edDMSRemoteFilename->setReadOnly(true);
    edDMSRemoteFilename->setMinimumWidth(200);
    edDMSRemoteFilename->setAccessibleName(l->text());
    edDMSRemoteFilename->setToolTip(QStringLiteral("Name der Datei im Dokumentenspeicher"));
    l->setBuddy(edDMSRemoteFilename);
    grid->addWidget(l, row, 0);
    grid->addWidget(edDMSRemoteFilename, row++, 1);
    btCheckDokTypPath = MakeButton(this, AdminPanel, QStringLiteral("btCheckDokTypPath"), -1,
                                   QStringLiteral("Archiv prüfen"),
                                   makeText(17777, QStringLiteral("Prüfen, ob die Datei im Archiv "
                                                              "ihres Dokumenttyps liegt")));
    // The hint's text number is taken by another text here; the hint is written out.
    btCheckHash = MakeButton(this, AdminPanel, QStringLiteral("btCheckHash"), -1,
                             QStringLiteral("Prüfsumme prüfen"),
                             QStringLiteral("Prüfsumme der Datei prüfen"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btCheckDokTypPath);
    buttons->addWidget(btCheckHash);
    grid->addLayout(buttons, row++, 0, 1, 2);
    grid->setRowStretch(row, 1);
    connect(btCheckDokTypPath, &QToolButton::clicked, this,
            [this] { Rtl::Guarded([this] { btCheckDokTypPathClick(); }, this); });
    connect(btCheckHash, &QToolButton::clicked, this,
            [this] { Rtl::Guarded([this] { btCheckHashClick(); }, this); });
    AdminPanel->hide();
}

TVoskDBEdit* TFrameDokumentEigenschaften::AdminEdit(const QString& field) const {
    for (TVoskDBEdit* e : AdminEdits)
        if (e->DataField().compare(field, Qt::CaseInsensitive) == 0)
            return e;
    return nullptr;
}

bool TFrameDokumentEigenschaften::eventFilter(QObject* watched, QEvent* e) {
    if (watched == pd_txt && e->type() == QEvent::FocusIn)
        Rtl::Guarded([this] { pd_txtEnter(); }, this);
    else if (watched == pd_doktype && e->type() == QEvent::MouseButtonPress)
        Rtl::Guarded([this] { pd_doktypePropertiesInitPopup(); }, this);
    return QFrame::eventFilter(watched, e);
}

// ---- binding -------------------------------------------------------------------------------------

void TFrameDokumentEigenschaften::SetDokument(TDokument* Value) {
    if (FDokument)
        disconnect(FDokument, nullptr, this, nullptr);
    FDokument = Value;
    if (Value)
        // Notification: losing the document disables the frame.
        connect(Value, &QObject::destroyed, this, [this] {
            if (!m_destroying)
                Rtl::Guarded([this] { SetDokument(nullptr); }, this);
        });
    FrameDBNav1->FSetDataSource(Value);
    for (TVoskDBEdit* e : {pd_path, pd_path_user, pd_tablename, pd_dokumentfile, pd_revision_id})
        e->SetDataClass(Value);
    for (TVoskDBEdit* e : AdminEdits)
        e->SetDataClass(Value);
    pd_txt->SetDataClass(Value);
    insert_Date->SetDataClass(Value);
    pd_date->SetDataClass(Value);
    pd_doktype->SetDataClass(Value);
    for (TVoskDBCheckBox* c : {pd_print, pd_deletable, pd_archive, pd_dmscomment})
        c->SetDataClass(Value);
    if (Value && Value->HasRecord()) {
        _DokumentEnable();
        _DokumentAfterScroll(false);
    } else {
        _DokumentDisable();
    }
}

void TFrameDokumentEigenschaften::SetQ32Control(TQ32Control* Value) {
    m_q32Control = Value;
    if (!Value)
        return;
    for (TVoskDBEdit* e : {pd_path, pd_path_user, pd_tablename, pd_dokumentfile})
        e->SetMyControl(Value);
    for (QWidget* w : {static_cast<QWidget*>(insert_Date), static_cast<QWidget*>(pd_date),
                       static_cast<QWidget*>(pd_print), static_cast<QWidget*>(pd_txt),
                       static_cast<QWidget*>(GridKeyWords)})
        if (!Value->isRegistered(w))
            Value->AddControl(w);
}

QList<QWidget*> TFrameDokumentEigenschaften::dokumentControls() const {
    return {pd_path,          pd_path_user, m_doktypeHolder, btDokTypeClear,
            BtAssignToRecord, pd_tablename, pd_dokumentfile, BtOpenFile,
            insert_Date,      pd_date,      m_printHolder,   pd_txt};
}

void TFrameDokumentEigenschaften::hideMarks() {
    for (QWidget* w :
         {pd_path_visible, pd_pathuser_visible, lbDokumentLink, lbLinkSource, lbLocked, lbDelayed})
        w->hide();
}

void TFrameDokumentEigenschaften::_DokumentDisable() {
    for (QWidget* w : dokumentControls())
        w->setEnabled(false);
    hideMarks();
    RecNoKeyWord1->Close();
    sqlDokuLinks->Close();
    sqlRevisions->Close();
    sqlChangeLog->Close();
}

void TFrameDokumentEigenschaften::_DokumentEnable() {
    const bool E = FDokument && FDokument->HasRecord();
    for (QWidget* w : dokumentControls())
        w->setEnabled(E);
    if (!E) {
        // Without a document the marks have nothing to say.
        hideMarks();
        RecNoKeyWord1->Close();
        sqlDokuLinks->Close();
        sqlRevisions->Close();
        sqlChangeLog->Close();
        GridChangeLog->GridFilterClear();
        if (TVoskDBEdit* ext = AdminEdit(QStringLiteral("pd_external_dms_updated")))
            ext->setToolTip(QString());
        return;
    }
    _DokumentAfterScroll(false);
}

void TFrameDokumentEigenschaften::setPathLabelLook(QLabel* label, bool inEffect) {
    QFont f = label->font();
    f.setBold(true);
    f.setStrikeOut(!inEffect);
    label->setFont(f);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, inEffect ? QColor(Qt::red) : QColor(0x80, 0x80, 0x80));
    label->setPalette(pal);
    label->setProperty("inEffect", inEffect);
}

void TFrameDokumentEigenschaften::_DokumentAfterScroll(bool DoRefresh) {
    TDokument* d = FDokument;
    const bool hasRecord = d && d->HasRecord();
    if (pd_path->isEnabled() != hasRecord) {
        _DokumentEnable();
        return;
    }
    if (!hasRecord || m_afterScrollDetached)
        return;
    // The document's own after-scroll handlers wait while the frame works.
    m_afterScrollDetached = true;
    const auto restore = qScopeGuard([this] { m_afterScrollDetached = false; });

    const bool admin = TSperrDokuPopupMenu::IsAdmin();
    if (!d->InEdit()) {
        m_doktypeHolder->setEnabled(d->ChangeAllowed());
        btDokTypeClear->setEnabled(pd_doktype->isEnabled());
        BtAssignToRecord->setEnabled(pd_doktype->isEnabled());
        pd_dokumentfile->setEnabled(!d->isCustomFolder() && !d->isDMSDokument());
        BtOpenFile->setEnabled(pd_dokumentfile->isEnabled());
    }
    const bool customFolder = d->isCustomFolder();
    const QString userPath = d->FieldByName(QStringLiteral("pd_path_user")).AsString();
    pd_path->SetForceReadOnly(!(customFolder || admin));
    pd_path_user->SetForceReadOnly(customFolder && userPath.isEmpty() && !admin);
    pd_path_visible->show();
    pd_pathuser_visible->show();
    setPathLabelLook(pd_path_visible, userPath.isEmpty());
    setPathLabelLook(pd_pathuser_visible, !userPath.isEmpty());

    const QString table = d->TableName();
    const QString alias = DM1() ? DM1()->GetTableAlias(table) : QString();
    pd_tablename_alias->setText(alias);
    pd_tablename_alias->setVisible(!alias.isEmpty() && alias != table);

    const bool fileLink = d->isFileLink();
    lbDokumentLink->setVisible(fileLink || customFolder);
    lbDokumentLink->setText(fileLink ? makeText(31002, QStringLiteral("Dateiverknüpfung"))
                                     : makeText(31003, QStringLiteral("Benutzerordner")));
    const TVoskDataField linkSource = d->FindField(QStringLiteral("pd_linksource"));
    lbLinkSource->setVisible(linkSource.Exists() && linkSource.AsBoolean());
    lbLocked->setText(d->GetLockedInfo());
    lbLocked->setToolTip(d->GetLockedInfo() + QStringLiteral("\r\n") + d->GetLockedPath());
    lbLocked->setVisible(!lbLocked->text().isEmpty());
    const TVoskDataField delayed = d->FindField(QStringLiteral("pd_delayed_upload"));
    lbDelayed->setVisible(delayed.Exists() && delayed.AsBoolean());

    if (d->isDMSDokument()) {
        QString name = d->DMSRemoteFilename();
        // A drive-rooted name is shown as the server's share.
        if (name.size() > 1 && name.at(1) == u':' && DM1() && DM1()->Database().Handle())
            name = QStringLiteral("\\\\") +
                   QString::fromUtf8(PQhost(DM1()->Database().Handle())) + u'\\' + name;
        edDMSRemoteFilename->setText(name);
    } else {
        edDMSRemoteFilename->clear();
    }
    if (TVoskDBEdit* ext = AdminEdit(QStringLiteral("pd_external_dms_updated"))) {
        const TVoskDataField changed = d->FindField(QStringLiteral("pd_external_dms_changed"));
        ext->setToolTip(changed.Exists() ? changed.AsString() : QString());
    }

    if (DoRefresh) {
        for (TVoskClass* c : std::initializer_list<TVoskClass*>{RecNoKeyWord1, sqlDokuLinks,
                                                               sqlRevisions, sqlChangeLog})
            if (c->Active())
                c->Refresh();
        return;
    }
    RecNoKeyWord1->AssignToData(d->SqlTable(), d->KeyText());
    sqlDokuLinks->SearchEnabled({d->Id()});
    for (const QString& f : sqlDokuLinks->FieldNames())
        sqlDokuLinks->SetFieldReadOnly(f, f != QLatin1String("pdl_pd_id") &&
                                              f != QLatin1String("pdl_tablename") &&
                                              f != QLatin1String("pdl_dbrid"));
    sqlRevisions->SearchEnabled({d->Id(), d->RevisionId()});
    sqlChangeLog->SearchEnabled({d->Id(), d->RevisionId()});
    GridRevisions->SetHiddenFields(
        {QStringLiteral("voskred"), QStringLiteral("voskblue"), QStringLiteral("voskyellow"),
         QStringLiteral("voskbold")});
    GridChangeLog->SetHiddenFields({QStringLiteral("pdg_id"), QStringLiteral("voskyellow")});
    GridChangeLog->GridFilterClear();
    GridChangeLog->SetGridFilterText(QStringLiteral("pdg_pd_id = %1").arg(d->Id()));
    // Paths, names and times are read whole, up to a width that leaves room for the others.
    for (TVoskDBGrid2* g : {GridKeyWords, GridLinks, GridRevisions, GridChangeLog})
        g->OptimalWidths(360);
    IsAdminListenerInit();
}

void TFrameDokumentEigenschaften::_DokumentAfterPost() { _DokumentAfterScroll(true); }

// ---- document type and keywords ------------------------------------------------------------------

void TFrameDokumentEigenschaften::pd_doktypePropertiesInitPopup() {
    if (sqlDokTypes->Active())
        sqlDokTypes->Refresh();
}

void TFrameDokumentEigenschaften::pd_doktypePropertiesCloseUp() {
    const QString type = pd_doktype->KeyValue();
    if (!sqlDokTypes->Active() || !sqlDokTypes->Locate(QStringLiteral("dt_id"), type))
        return;
    TRecNoKeyword* k = RecNoKeyWord1;
    if (!k->Active())
        return;
    const QString placeholder = QString::fromLatin1(KeywordPlaceholder);
    if (k->InEdit())
        k->Post(false);
    // Placeholders of the type chosen before go; what the user filled in stays.
    deleteKeywordPlaceholders();
    const QString forced =
        sqlDokTypes->FieldByName(QStringLiteral("dt_forcekeyword")).AsString().trimmed();
    if (forced.isEmpty())
        return;
    const int catCol = k->FieldIndex(QStringLiteral("r_kategorie"));
    for (const QString& line : forced.split(u'\n')) {
        const QString category = line.trimmed();
        if (category.isEmpty())
            continue;
        bool present = false;
        for (int r = 0; r < k->RecordCount() && !present; ++r)
            present = k->Value(r, catCol).toString().compare(category, Qt::CaseInsensitive) == 0;
        if (present)
            continue;
        k->AppendKeyword();
        k->FieldByName(QStringLiteral("r_kategorie")).SetAsString(category);
        k->FieldByName(QStringLiteral("r_descr")).SetAsString(placeholder);
        k->Post(false);
    }
}

void TFrameDokumentEigenschaften::deleteKeywordPlaceholders() {
    TRecNoKeyword* k = RecNoKeyWord1;
    if (!k->Active())
        return;
    const int descr = k->FieldIndex(QStringLiteral("r_descr"));
    for (int r = k->RecordCount() - 1; r >= 0; --r)
        if (k->Value(r, descr).toString() == QLatin1String(KeywordPlaceholder)) {
            k->SetRecNo(r + 1);
            k->Delete();
        }
}

void TFrameDokumentEigenschaften::btDokTypeClearClick() {
    if (!FDokument || !FDokument->HasRecord())
        return;
    FDokument->Edit();
    FDokument->FieldByName(QString::fromLatin1(TDokument::fnDokType)).Clear();
}

void TFrameDokumentEigenschaften::pd_txtEnter() {
    // A new document's remark starts with the caret at its end, ready for typing.
    if (FDokument && FDokument->FGetNeuAngelegt())
        pd_txt->moveCursor(QTextCursor::End);
}

// ---- files ---------------------------------------------------------------------------------------

void TFrameDokumentEigenschaften::BtOpenFileClick() {
    if (!pd_dokumentfile->isEnabled() || !FDokument || !FDokument->HasRecord())
        return;
    Vcl::TFileRequest request;
    request.caption = QStringLiteral("Datei wählen");
    request.folder = QFileInfo(FDokument->Path()).absolutePath();
    request.parent = this;
    request.filter = QStringLiteral("Alle Dateien (*)");
    const QString file = Vcl::FileDialogs::Instance().OpenFile(request);
    if (file.isEmpty())
        return;
    FDokument->Edit();
    FDokument->FieldByName(QString::fromLatin1(TDokument::fnPath)).SetAsString(file);
    FDokument->FieldByName(QString::fromLatin1(TDokument::fnFileName))
        .SetAsString(QFileInfo(file).fileName());
}

void TFrameDokumentEigenschaften::btCheckHashClick() {
    Korvexutils::RaiseInformation(QStringLiteral("noch nicht implementiert"));
}

void TFrameDokumentEigenschaften::moveIntoArchive(const QString& newType, const QString& from) {
    TDokument* d = FDokument;
    TVoskDatabase& db = d->Database();
    TDCFileMethods files(&db);
    const int id = d->Id();
    const QString stored = d->FieldByName(QString::fromLatin1(TDokument::fnRemoteFile)).AsString();
    const QString to = TDokument::DMSArchivePath(newType) + u'/' + d->FileName();
    TVoskTransaction tx(db);
    // The row is held while the file moves, so that no other post slips in between.
    TVoskQuery2 row(&db, QStringLiteral("SELECT pd_dmsremotefile FROM picndoku "
                                        "WHERE pd_id = :id FOR UPDATE"));
    row.Bind(QStringLiteral("id"), id).Open();
    if (row.Eof() || row.FieldByName(QStringLiteral("pd_dmsremotefile")).AsString() != stored)
        throw EVoskException(QStringLiteral("Das Dokument %1 wurde inzwischen geändert; bitte "
                                            "neu laden.")
                                 .arg(id));
    try {
        if (from != to)
            files.MoveFile(from, to);
        const QVariant type = newType.isEmpty() ? QVariant() : QVariant(newType);
        const QVariant ident =
            d->DMSArchiveIdent(DMSDokuTypes().Config(newType, QStringLiteral("ArchiveIdent")));
        d->Edit();
        d->FieldByName(QString::fromLatin1(TDokument::fnDokType)).SetValue(type);
        d->FieldByName(QString::fromLatin1(TDokument::fnRemoteFile)).SetAsString(to);
        d->FieldByName(QString::fromLatin1(TDokument::fnRemoteFileDokType)).SetValue(type);
        d->FieldByName(QString::fromLatin1(TDokument::fnRemoteArchive))
            .SetValue(ident.toString().isEmpty() ? QVariant() : ident);
        // The user said yes to this change already.
        d->Post(false);
        tx.Commit();
    } catch (...) {
        // The rollback puts the file back under its old name; the record shows it there again.
        tx.Rollback();
        if (d->InEdit())
            d->Cancel();
        throw;
    }
}

void TFrameDokumentEigenschaften::btCheckDokTypPathClick() {
    TDokument* d = FDokument;
    if (!d || !d->HasRecord())
        return;
    TDCFileMethods files(&d->Database());
    const QString remote = d->DMSRemoteFilename();
    const QString typeLine = QStringLiteral("Dokumenttyp: ");
    if (!remote.isEmpty() && TDCFileMethods::IsValidRemoteName(remote) &&
        files.FileExists(remote)) {
        const QString remoteType =
            d->FieldByName(QString::fromLatin1(TDokument::fnRemoteFileDokType)).AsString();
        if (d->DokType() == remoteType) {
            Korvexutils::RaiseInformation(
                makeText(17782, QStringLiteral("Die Datei liegt im Archiv ihres Dokumenttyps.")));
            return;
        }
        const QString question =
            makeText(17778, QStringLiteral("Die Datei liegt im Archiv eines anderen Dokumenttyps. "
                                       "In das Archiv des Dokumenttyps verschieben?")) +
            QStringLiteral("\n\n") + typeLine + d->DokType() + QStringLiteral("\nDMS-Dokumenttyp: ") +
            remoteType;
        if (Korvexutils::RaiseQuestionYes(question))
            moveIntoArchive(d->DokType(), remote);
        return;
    }
    // The file is not where the row says: every archive place is searched for it.
    TVoskQuery2 q(&d->Database());
    q.SetSQLByKey(QStringLiteral("DMS.AllKnownPaths"));
    q.Bind(QStringLiteral("unknown"), QStringLiteral("unknown")).Open();
    QString hitType, hitDescr, hitName;
    int hits = 0;
    QStringList list;
    for (; !q.Eof(); q.Next()) {
        const QString dtId = q.FieldByName(QStringLiteral("dt_id")).AsString();
        const QString daName = q.FieldByName(QStringLiteral("da_name")).AsString();
        const QString descr = q.FieldByName(QStringLiteral("dt_descr")).AsString();
        QString candidate = TDokument::DMSArchivePath(dtId);
        if (!daName.isEmpty())
            candidate += u'/' + daName;
        candidate += u'/' + d->FileName();
        if (!TDCFileMethods::IsValidRemoteName(candidate) || !files.FileExists(candidate))
            continue;
        if (++hits == 1) {
            hitType = dtId;
            hitDescr = descr;
            hitName = candidate;
        }
        list << dtId + QStringLiteral(": ") + descr +
                    (daName.isEmpty() ? QString() : QStringLiteral(" (") + daName + u')');
    }
    const QString detail = QStringLiteral("\n\nID: ") + d->IdText() + QStringLiteral("\nDatei: ") +
                           d->FileName();
    if (hits > 1)
        Korvexutils::RaiseError(
            makeText(17779, QStringLiteral("Die Datei wurde in mehreren Archiven gefunden.")) +
            detail + QStringLiteral("\n\n") + list.join(u'\n'));
    if (hits == 0)
        Korvexutils::RaiseError(
            makeText(17780, QStringLiteral("Die Datei wurde in keinem Archiv gefunden.")) + detail);
    const QString question =
        makeText(17781, QStringLiteral("Die Datei wurde im Archiv eines Dokumenttyps gefunden. "
                                   "Diesen Dokumenttyp übernehmen?")) +
        detail + QStringLiteral("\n") + typeLine + hitType + QStringLiteral(" (") + hitDescr +
        u')';
    if (Korvexutils::RaiseQuestionYes(question))
        moveIntoArchive(hitType, hitName);
}

// ---- links to records ----------------------------------------------------------------------------

void TFrameDokumentEigenschaften::BtAssignToRecordClick() {
    if (!FDokument || !FDokument->HasRecord() || FDokument->DokType().isEmpty())
        return;
    // The lookup definition is chosen per document type through the button's name.
    BtAssignToRecord->setObjectName(QStringLiteral("DV_FIND_") + FDokument->DokType());
    if (F2Result.F2Form)
        F2Result.F2Form->close();
    QPointer<TFrameDokumentEigenschaften> self = this;
    F2Result = MakeF2(Korvexutils::KorvexGetForm(this), BtAssignToRecord, false, true, QString(),
                      {}, QString(),
                      std::make_shared<const TMakeF2Callback>([self](TKorvexF2Form*) {
                          if (self)
                              self->SelectF2Records();
                      }));
}

namespace {

// Whether the lookup's rows carry a column: its data class, the values it shows or its list.
bool LookupHasField(const TF2Result& r, const QString& field) {
    if (auto* c = qobject_cast<TVoskClass*>(r.F2Query.data()))
        return c->FieldIndex(field) >= 0;
    if (r.F2Query && r.F2Query->dynamicPropertyNames().contains(field.toUtf8()))
        return true;
    if (auto* g = qobject_cast<TVoskDBGrid2*>(r.F2Grid.data()))
        return g->DataClass() && g->DataClass()->FieldIndex(field) >= 0;
    if (r.F2Grid)
        return r.F2Grid->property("ColumnNames").toStringList().contains(field, Qt::CaseInsensitive);
    return false;
}

QStringList LookupValues(const TF2Result& r, const QString& field) {
    if (auto* values = dynamic_cast<IVoskSelectedRecordValues*>(r.F2Grid.data()))
        return values->GetSelectedRecordValuesStr(field, 0);
    if (auto* c = qobject_cast<TVoskClass*>(r.F2Query.data()); c && c->HasRecord())
        return {c->FieldByName(field).AsString()};
    return {};
}

} // namespace

void TFrameDokumentEigenschaften::SelectF2Records() {
    if (!LookupHasField(F2Result, QStringLiteral("dbrid")))
        Korvexutils::RaiseCriticalError(QStringLiteral("Field \"dbrid\" not found in F2"));
    TDokument* d = FDokument;
    if (!d || !d->HasRecord() || !sqlDokuLinks->Active())
        return;
    const QStringList ids = LookupValues(F2Result, QStringLiteral("dbrid"));
    const bool withIdent = LookupHasField(F2Result, QStringLiteral("dokident"));
    const QStringList idents =
        withIdent ? LookupValues(F2Result, QStringLiteral("dokident")) : QStringList();
    // A lookup on a data class names its table; a list of rows may carry it as a column.
    QString table;
    if (auto* c = qobject_cast<TVoskClass*>(F2Result.F2Query.data()))
        table = c->SqlTable();
    if (LookupHasField(F2Result, QStringLiteral("tablename")))
        table = LookupValues(F2Result, QStringLiteral("tablename")).value(0, table);

    // The link rows change without the grid's column handling in between.
    const auto beforeEdit = std::exchange(sqlDokuLinks->BeforeEdit, nullptr);
    const auto beforeInsert = std::exchange(sqlDokuLinks->BeforeInsert, nullptr);
    const auto restore = qScopeGuard([&] {
        sqlDokuLinks->BeforeEdit = beforeEdit;
        sqlDokuLinks->BeforeInsert = beforeInsert;
    });
    TRecNoKeyword* k = RecNoKeyWord1;
    if (k->InEdit())
        k->Cancel();
    deleteKeywordPlaceholders();
    for (int i = 0; i < ids.size(); ++i) {
        // The first choice fills the link row the user stands on; each further one gets a row of
        // its own, so that no choice overwrites another.
        const bool useCurrent = i == 0 && sqlDokuLinks->HasRecord();
        QString rowTable = table;
        if (useCurrent) {
            if (rowTable.isEmpty())
                rowTable = sqlDokuLinks->FieldByName(QStringLiteral("pdl_tablename")).AsString();
            sqlDokuLinks->Edit();
        } else {
            if (rowTable.isEmpty() && sqlDokuLinks->HasRecord())
                rowTable = sqlDokuLinks->FieldByName(QStringLiteral("pdl_tablename")).AsString();
            sqlDokuLinks->Append();
            sqlDokuLinks->FieldByName(QStringLiteral("pdl_pd_id")).SetAsInteger(d->Id());
        }
        if (!rowTable.isEmpty())
            sqlDokuLinks->FieldByName(QStringLiteral("pdl_tablename")).SetAsString(rowTable);
        sqlDokuLinks->FieldByName(QStringLiteral("pdl_dbrid")).SetAsString(ids[i]);
        if (withIdent)
            sqlDokuLinks->FieldByName(QStringLiteral("pdl_dokident"))
                .SetValue(idents.value(i).isEmpty() ? QVariant() : QVariant(idents.value(i)));
        sqlDokuLinks->Post(false);
    }
    if (F2Result.F2Form)
        F2Result.F2Form->close();
    sqlDokuLinks->Refresh();
    if (k->Active())
        k->Refresh();
}

void TFrameDokumentEigenschaften::sqlDokuLinksBeforeEdit() {
    GridLinks->SetHiddenFields({QStringLiteral("pdl_id"), QStringLiteral("pdl_pd_id"),
                                QStringLiteral("pdl_dokident"), QStringLiteral("rck_column"),
                                QStringLiteral("pdl_txt")});
}

// ---- revisions -----------------------------------------------------------------------------------

void TFrameDokumentEigenschaften::PopupRevisionsPopup() {
    const TVoskDataField red = sqlRevisions->FindField(QStringLiteral("voskred"));
    miSelectRevision->setEnabled(sqlRevisions->HasRecord() && red.Exists() && red.AsBoolean());
}

void TFrameDokumentEigenschaften::miSelectRevisionClick() {
    TDokument* d = FDokument;
    if (!d || !sqlRevisions->HasRecord())
        return;
    const int revision = sqlRevisions->FieldByName(QStringLiteral("pd_id")).AsInteger();
    if (revision == d->Id())
        return;
    if (d->Locate(QString::fromLatin1(TDokument::fnId), revision))
        return;
    if (d->FindParam(QStringLiteral("pdid"))) {
        d->AssignToDokId(revision, d->TableName(), d->RecordId());
        return;
    }
    throw EVoskException(Vcl::FullName(d) + QStringLiteral(": no pd_id for select"));
}

// ---- admin state ---------------------------------------------------------------------------------

void TFrameDokumentEigenschaften::IsAdminListenerInit() {
    const bool admin = TSperrDokuPopupMenu::IsAdmin();
    AdminPanel->setVisible(admin);
    AdminLabel->setVisible(admin);
    pnlPageRevisionContainer->setVisible(admin);
    miSelectRevision->setVisible(admin);
    if (sqlRevisions->Active()) {
        QStringList hidden{QStringLiteral("voskred"), QStringLiteral("voskblue"),
                           QStringLiteral("voskyellow"), QStringLiteral("voskbold")};
        if (!admin)
            hidden << QStringLiteral("pd_id") << QStringLiteral("pd_tablename");
        GridRevisions->SetHiddenFields(hidden);
    }
}

void TFrameDokumentEigenschaften::IsAdminListenerEvent() {
    if (DM1())
        DM1()->LogEvent(QStringLiteral("VoskDM_Dunmere.OnIsAdmin: call "
                                       "TFrameDokumentEigenschaften.IsAdminListenerEvent ") +
                        QString::number(quintptr(this), 16));
    IsAdminListenerInit();
}

namespace UDokumentEigenschaften {

void Register() {
    Vcl::RegisterComponents(QStringLiteral("Korvex-Zusätzlich"),
                            {Vcl::ComponentClass<TFrameDokumentEigenschaften>()});
}

} // namespace UDokumentEigenschaften

namespace {
void InitUnit() { Vcl::RegisterClass<TFrameDokumentEigenschaften>(); }
void FiniUnit() { Vcl::UnRegisterClass(QStringLiteral("TFrameDokumentEigenschaften")); }
} // namespace

KORVEX_UNIT("hadrel", "UDokumentEigenschaften", InitUnit, FiniUnit,
            &UDokumentEigenschaften::Register);
