#include "Utext0editor.h"

#include "Text0Filter.h"
#include "Uchangeserver.h"

#include "EventGuard.h"
#include "Korvexcommonvcl.h"
#include "Korvexutils.h"
#include "TServSQL2.h"
#include "TVoskDBNavigator.h"
#include "TVoskDataModel.h"
#include "UDM1.h"
#include "UDataModul_Dunmere.h"
#include "UnitTable.h"
#include "Vcl.Components.h"
#include "Vcl.Services.h"
#include "VoskDatabase.h"
#include "VoskExceptions.h"
#include "VoskQuery2.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <limits>

namespace {
void unitInit() {}
void unitFini() {}

const QString kDeleted = QStringLiteral("*DELETED*");
const QString kSettingPrefix = QStringLiteral("Text0_AutoTextNr~");
const QString kLastVal = QStringLiteral("Text0_AutoTextNr");

// The stored "time|mode|number" to go by: the per-user setting, unless the shared last value is
// the only well-formed one or the newer of two.
QString pickStored(const QString& setting, const QString& lastVal) {
    if (!setting.contains(u'|'))
        return lastVal;
    if (lastVal.contains(u'|') && lastVal > setting)
        return lastVal;
    return setting;
}

// "mode|number" of a stored "time|mode|number".
QString tailOf(const QString& stored) {
    const qsizetype bar = stored.indexOf(u'|');
    return bar < 0 ? QString() : stored.mid(bar + 1);
}

QVariant queryValue(TVoskDatabase& db, const QString& sql, const QVariantMap& params = {}) {
    TVoskQuery2 q(&db, sql);
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        q.Bind(it.key(), it.value());
    q.Open();
    return q.Eof() ? QVariant() : q.Fields(0).Value();
}

} // namespace

KORVEX_UNIT("quibbet", "Utext0editor", unitInit, unitFini);

// The range list: German captions and the colour flags of the named SQL.
class TNumCircleModel final : public QIdentityProxyModel {
public:
    TNumCircleModel(TVoskClass* dataClass, QObject* parent)
        : QIdentityProxyModel(parent), m_class(dataClass) {}
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::BackgroundRole)
            return QIdentityProxyModel::data(index, role);
        const int row = index.row();
        const QString field = m_class->FieldNames().value(index.column());
        auto flag = [&](const QString& name) {
            const int col = m_class->FieldIndex(name);
            return col >= 0 && m_class->Value(row, col).toBool();
        };
        if (flag(field + QStringLiteral("_voskred")))
            return QColor(247, 182, 166);
        if (flag(field + QStringLiteral("_voskgray")))
            return QColor(200, 200, 200);
        if (flag(QStringLiteral("voskyellow")))
            return QColor(255, 242, 160);
        if (flag(QStringLiteral("voskgreen")))
            return QColor(200, 236, 200);
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
            static const QHash<QString, QString> captions{
                {QStringLiteral("start_group"), QStringLiteral("Gruppe")},
                {QStringLiteral("start_nr"), QStringLiteral("Start")},
                {QStringLiteral("end_nr"), QStringLiteral("Ende")},
                {QStringLiteral("end_group"), QStringLiteral("Gruppe")},
                {QStringLiteral("descr"), QStringLiteral("Bezeichner")},
                {QStringLiteral("count_nrs"), QStringLiteral("Anzahl / Verwendet")}};
            const QString field = m_class->FieldNames().value(section);
            return captions.value(field, field);
        }
        return QIdentityProxyModel::headerData(section, orientation, role);
    }

private:
    TVoskClass* m_class;
};

TFormText0Editor::TFormText0Editor(QObject* owner, TVoskDatabase* db)
    : TVoskBaseForm(owner), m_db(db) {
    setObjectName(QStringLiteral("FormText0Editor"));
    setWindowTitle(QStringLiteral("Übersetzung (Text0 > DATABASE)"));
    setMinimumSize(480, 350);
    resize(820, 560);
    SetPosition(Vcl::poScreenCenter);

    sqlText0 = Vcl::Owned(this, new TServSQL2, QStringLiteral("sqlText0"));
    sqlText0->SetSqlName(QStringLiteral("System.Text0.IDE"));
    sqlText0->SetSqlTable(QStringLiteral("text0"));
    sqlText0->SetKeyFieldName(QStringLiteral("t_nr"));
    sqlText0->SetParam(QStringLiteral("Text0Deleted"), kDeleted);
    sqlNumCircles = Vcl::Owned(this, new TServSQL2, QStringLiteral("sqlNumCircles"));
    sqlNumCircles->SetSqlName(QStringLiteral("System.Text0.NumCircles"));
    sqlNumCircles->SetReadOnly(true);
    sqlGetNextNr = Vcl::Owned(this, new TServSQL2, QStringLiteral("sqlGetNextNr"));
    sqlGetNextNr->SetSqlName(QStringLiteral("System.Text0.GetNextNr"));
    sqlGetNextNr->SetReadOnly(true);
    for (TServSQL2* q : {sqlText0, sqlNumCircles, sqlGetNextNr})
        if (m_db)
            q->SetDatabase(m_db);

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* filterLabel = new QLabel(QStringLiteral("&Filter"), this);
    edFilter = Vcl::Owned(this, new QLineEdit(this), QStringLiteral("edFilter"));
    edFilter->setToolTip(QStringLiteral("Filter über Nummer und Texte"));
    filterLabel->setBuddy(edFilter);
    cbTextNrMode = Vcl::Owned(this, new QComboBox(this), QStringLiteral("cbTextNrMode"));
    cbTextNrMode->addItems({QStringLiteral("Inaktiv"), QStringLiteral("Aktuell + X"),
                            QStringLiteral("Bereich + X")});
    cbTextNrMode->setToolTip(
        QStringLiteral("Sucht die nächste freie TextNr, beginnend an der ausgewählen Stelle"));
    cbTextNrMode->setAccessibleName(QStringLiteral("Nummernvergabe"));
    edLastTextNr = Vcl::Owned(this, new QLineEdit(QStringLiteral("0"), this),
                              QStringLiteral("edLastTextNr"));
    edLastTextNr->setValidator(new QIntValidator(0, std::numeric_limits<int>::max(), edLastTextNr));
    edLastTextNr->setAlignment(Qt::AlignCenter);
    edLastTextNr->setEnabled(false);
    edLastTextNr->setMaximumWidth(110);
    edLastTextNr->setToolTip(QStringLiteral("Startnummer der automatischen Vergabe"));
    edLastTextNr->setAccessibleName(QStringLiteral("Startnummer"));
    top->addWidget(filterLabel);
    top->addWidget(edFilter, 1);
    top->addWidget(cbTextNrMode);
    top->addWidget(edLastTextNr);
    layout->addLayout(top);

    pcMain = Vcl::Owned(this, new QTabWidget(this), QStringLiteral("pcMain"));
    pcMain->setToolTip(QStringLiteral("Texte und Nummernbereiche"));
    pcMain->setAccessibleName(QStringLiteral("Seiten"));
    tsTexte = Vcl::Owned(this, new QWidget, QStringLiteral("tsTexte"));
    tsNumCircles = Vcl::Owned(this, new QWidget, QStringLiteral("tsNumCircles"));
    pcMain->addTab(tsTexte, QStringLiteral("     Texte     "));
    pcMain->addTab(tsNumCircles, QStringLiteral("Nummernbereiche"));
    layout->addWidget(pcMain, 1);

    auto* texts = new QVBoxLayout(tsTexte);
    navText0 = Vcl::Owned(this, new TVoskDBNavigator(tsTexte), QStringLiteral("navText0"));
    navText0->SetVisibleButtons(nbInsert | nbDelete | nbEdit | nbPost | nbCancel | nbRefresh);
    navText0->SetConfirmDelete(false);
    navText0->SetDataSource(sqlText0);
    navText0->setAccessibleName(QStringLiteral("Navigator der Texte"));
    navText0->setToolTip(QStringLiteral("Texte einfügen, ändern, löschen und neu lesen"));
    grText0 = Vcl::Owned(this, new QTableView(tsTexte), QStringLiteral("grText0"));
    grText0->setAccessibleName(QStringLiteral("Texte"));
    grText0->setToolTip(QStringLiteral("Texte (Strg+C kopiert Nummer und Text)"));
    grText0->setSelectionBehavior(QAbstractItemView::SelectRows);
    grText0->setSelectionMode(QAbstractItemView::SingleSelection);
    grText0->setEditTriggers(QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::SelectedClicked);
    grText0->setWordWrap(true);
    grText0->verticalHeader()->setDefaultSectionSize(fontMetrics().lineSpacing() + 6);
    grText0->verticalHeader()->hide(); // row numbers of the unfiltered list mean nothing here
    grText0->horizontalHeader()->setSortIndicator(1, Qt::AscendingOrder);
    grText0->horizontalHeader()->setSortIndicatorShown(true);
    grText0->installEventFilter(this);
    texts->addWidget(navText0);
    texts->addWidget(grText0, 1);

    m_textModel = new TVoskDataModel(sqlText0, this);
    m_filterModel = new TText0FilterModel(sqlText0, m_textModel, this);
    grText0->setModel(m_filterModel);

    auto* ranges = new QVBoxLayout(tsNumCircles);
    grNumCircles = Vcl::Owned(this, new QTableView(tsNumCircles), QStringLiteral("grNumCircles"));
    grNumCircles->setAccessibleName(QStringLiteral("Nummernbereiche"));
    grNumCircles->setToolTip(QStringLiteral("Doppelklick springt zur letzten Nummer des Bereichs"));
    grNumCircles->setSelectionBehavior(QAbstractItemView::SelectRows);
    grNumCircles->setSelectionMode(QAbstractItemView::SingleSelection);
    grNumCircles->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grNumCircles->setContextMenuPolicy(Qt::ActionsContextMenu);
    miAuswaehlen = new QAction(makeText(3151, QStringLiteral("Auswählen")), grNumCircles);
    miAuswaehlen->setObjectName(QStringLiteral("miAuswaehlen"));
    grNumCircles->addAction(miAuswaehlen);
    m_rangeModel = new TVoskDataModel(sqlNumCircles, this);
    m_rangeView = new TNumCircleModel(sqlNumCircles, this);
    m_rangeView->setSourceModel(m_rangeModel);
    grNumCircles->setModel(m_rangeView);
    ranges->addWidget(grNumCircles, 1);
    auto* marks = new QGridLayout;
    auto* anfang = new QLabel(QStringLiteral("Anfang"), tsNumCircles);
    edAnfang = Vcl::Owned(this, new QLineEdit(QStringLiteral("TEXT0: ###"), tsNumCircles),
                          QStringLiteral("edAnfang"));
    auto* ende = new QLabel(QStringLiteral("Ende"), tsNumCircles);
    edEnde = Vcl::Owned(this, new QLineEdit(QStringLiteral("TEXT0: ### ENDE"), tsNumCircles),
                        QStringLiteral("edEnde"));
    for (QLineEdit* e : {edAnfang, edEnde})
        e->setReadOnly(true);
    edAnfang->setToolTip(QStringLiteral("Text der Gruppenmarke am Anfang eines Bereichs"));
    edEnde->setToolTip(QStringLiteral("Text der Gruppenmarke am Ende eines Bereichs"));
    anfang->setBuddy(edAnfang);
    ende->setBuddy(edEnde);
    marks->addWidget(anfang, 0, 0);
    marks->addWidget(edAnfang, 0, 1);
    marks->addWidget(ende, 1, 0);
    marks->addWidget(edEnde, 1, 1);
    ranges->addLayout(marks);

    auto* buttons = new QHBoxLayout;
    btDatenbank = Vcl::Owned(this, new QPushButton(QStringLiteral("Datenbank"), this),
                             QStringLiteral("btDatenbank"));
    btDatenbank->setToolTip(QStringLiteral("Andere Quelldatenbank auswählen"));
    btUpdate = Vcl::Owned(this, new QPushButton(QStringLiteral("Update"), this),
                          QStringLiteral("btUpdate"));
    btUpdate->setToolTip(QStringLiteral("Texte und Nummernbereiche neu lesen"));
    btSave = Vcl::Owned(this, new QPushButton(QStringLiteral("&Ok (Strg+S)"), this),
                        QStringLiteral("btSave"));
    btSave->setToolTip(QStringLiteral("Gewählte Textnummer übernehmen"));
    btSave->setEnabled(false);
    btClose = Vcl::Owned(this, new QPushButton(QStringLiteral("Schließen (Esc)"), this),
                         QStringLiteral("btClose"));
    btClose->setToolTip(QStringLiteral("Ohne Übernahme schließen"));
    buttons->addWidget(btDatenbank);
    buttons->addWidget(btUpdate);
    buttons->addStretch(1);
    buttons->addWidget(btSave);
    buttons->addWidget(btClose);
    layout->addLayout(buttons);

    auto guarded = [this](auto member) {
        return [this, member] { Rtl::Guarded([this, member] { (this->*member)(); }, this); };
    };
    connect(edFilter, &QLineEdit::textChanged, this, guarded(&TFormText0Editor::edFilterChange));
    connect(cbTextNrMode, &QComboBox::currentIndexChanged, this,
            guarded(&TFormText0Editor::cbTextNrModeChange));
    connect(btSave, &QPushButton::clicked, this, guarded(&TFormText0Editor::btSaveClick));
    connect(btClose, &QPushButton::clicked, this, [this] { SetModalResult(11); });
    connect(btDatenbank, &QPushButton::clicked, this,
            guarded(&TFormText0Editor::btDatenbankClick));
    connect(btUpdate, &QPushButton::clicked, this, guarded(&TFormText0Editor::btUpdateClick));
    connect(grNumCircles, &QTableView::doubleClicked, this,
            guarded(&TFormText0Editor::grNumCirclesDblClick));
    connect(miAuswaehlen, &QAction::triggered, this,
            guarded(&TFormText0Editor::grNumCirclesDblClick));
    connect(pcMain, &QTabWidget::currentChanged, this, [this, guarded](int) {
        if (pcMain->currentWidget() == tsNumCircles)
            guarded(&TFormText0Editor::tsNumCirclesShow)();
    });
    connect(grText0, &QTableView::doubleClicked, this, [this, guarded] {
        if (btSave->isEnabled())
            guarded(&TFormText0Editor::btSaveClick)();
    });
    connect(sqlText0, &TVoskClass::CurrentChanged, this, [this] { followClass(); });
    connect(sqlText0, &TVoskClass::RowsReset, this, [this] {
        for (const char* hidden : {"voskgray", "voskred", "t_nr_voskbold"})
            if (const int c = sqlText0->FieldIndex(QLatin1String(hidden)); c >= 0)
                grText0->setColumnHidden(c, true);
        followClass();
    });
    connect(grText0->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { followGrid(); });
    connect(sqlNumCircles, &TVoskClass::RowsReset, this, [this] {
        for (const QString& f : sqlNumCircles->FieldNames())
            if (f.contains(QLatin1String("vosk")))
                grNumCircles->setColumnHidden(sqlNumCircles->FieldIndex(f), true);
        grNumCircles->resizeColumnsToContents();
    });

    sqlText0->BeforeInsert = [this](TVoskClass*) { sqlText0BeforeInsert(); };
    sqlText0->AfterInsert = [this](TVoskClass*) { sqlText0AfterInsert(); };
    sqlText0->BeforeEdit = [this](TVoskClass*) { sqlText0BeforeEdit(); };
    sqlText0->AfterEdit = [this](TVoskClass*) { sqlText0AfterEdit(); };
    sqlText0->BeforePost = [this](TVoskClass*) { sqlText0BeforePost(); };
    sqlText0->BeforePostLocked = [this](TServSQL2*) { sqlText0BeforePostLocked(); };
    sqlText0->AfterPost = [this](TVoskClass*) { sqlText0AfterPost(); };
    sqlText0->BeforeDelete = [this](TVoskClass*) { sqlText0BeforeDelete(); };
    sqlText0->AfterDelete = [this](TVoskClass*) { sqlText0AfterDelete(); };
    sqlText0->BeforeRefresh = [](TVoskClass* c) {
        static_cast<TServSQL2*>(c)->SetParam(QStringLiteral("Text0Deleted"), kDeleted);
    };

    Korvexcommonvcl::NameControls(this);
    edFilter->setFocus();
    LoadLastNr();
}

TFormText0Editor::~TFormText0Editor() {
    PrepareDestruction();
    // The views let go of the models before the datasets they read go.
    grText0->setModel(nullptr);
    grNumCircles->setModel(nullptr);
}

TVoskDatabase& TFormText0Editor::Db() const {
    if (m_db)
        return *m_db;
    TDM1* dm = DM1();
    if (!dm)
        throw EVoskException(QStringLiteral("Keine Datenbankverbindung"));
    return dm->Database();
}

void TFormText0Editor::RenewCaption() {
    QString name;
    if (m_db)
        name = m_db->DatabaseName();
    else if (DM1() && DM1()->Connected())
        name = DM1()->DatabaseName();
    setWindowTitle(QStringLiteral("Übersetzung (Text0 > DATABASE)")
                       .replace(QStringLiteral("DATABASE"), name));
}

void TFormText0Editor::LoadText0() {
    sqlText0->SetParam(QStringLiteral("Text0Deleted"), kDeleted);
    if (sqlText0->Active())
        sqlText0->Refresh();
    else
        sqlText0->Open();
}

int TFormText0Editor::LastTextNr() const {
    bool ok = false;
    const int n = edLastTextNr->text().trimmed().toInt(&ok);
    return ok ? n : 0;
}

int TFormText0Editor::VisibleRowCount() const { return m_filterModel->rowCount(); }

void TFormText0Editor::followClass() {
    if (m_syncing)
        return;
    const int row = sqlText0->CurrentRow();
    const QModelIndex source = row >= 0 ? m_textModel->index(row, 0) : QModelIndex();
    const QModelIndex shown = m_filterModel->mapFromSource(source);
    m_syncing = true;
    if (!shown.isValid()) {
        grText0->selectionModel()->clearCurrentIndex();
        grText0->selectionModel()->clearSelection();
    } else if (grText0->currentIndex().row() != shown.row()) {
        const int col = qMax(0, grText0->currentIndex().column());
        grText0->selectionModel()->setCurrentIndex(
            m_filterModel->index(shown.row(), col),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        grText0->scrollTo(grText0->currentIndex());
    }
    m_syncing = false;
}

void TFormText0Editor::followGrid() {
    if (m_syncing)
        return;
    const QModelIndex source = m_filterModel->mapToSource(grText0->currentIndex());
    if (!source.isValid() || source.row() == sqlText0->CurrentRow())
        return;
    m_syncing = true;
    const bool moved = Rtl::Guarded([&] { sqlText0->SetRecNo(source.row() + 1); }, this);
    m_syncing = false;
    if (!moved)
        followClass();
}

void TFormText0Editor::focusColumn(const QString& field) {
    grText0->setFocus();
    const int col = sqlText0->FieldIndex(field);
    const QModelIndex shown =
        m_filterModel->mapFromSource(m_textModel->index(sqlText0->CurrentRow(), qMax(0, col)));
    if (shown.isValid())
        grText0->setCurrentIndex(shown);
}

bool TFormText0Editor::SelectLastNr(int n) {
    if (n < 1)
        n = LastTextNr();
    if (!sqlText0->Active())
        return false;
    for (int i = 0; i <= 100; ++i)
        if (sqlText0->LocateInt(qint64(n) - i)) {
            followClass();
            return true;
        }
    return false;
}

QString TFormText0Editor::TextNrStr(const QString& nr, const QString& text) {
    QString t = text.trimmed();
    t.replace(u'\'', QStringLiteral("''"));
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(u'\r', u'\n');
    t.replace(u'\n', QStringLiteral("'#10'"));
    while (t.contains(QStringLiteral("#10''#10")))
        t.replace(QStringLiteral("#10''#10"), QStringLiteral("#10#10"));
    return nr + QStringLiteral(", '") + t + u'\'';
}

QString TFormText0Editor::GetCurrentTextNrStr() {
    if (!sqlText0->HasRecord())
        return {};
    return TextNrStr(sqlText0->FieldByName(QStringLiteral("t_nr")).AsString(),
                     sqlText0->FieldByName(QStringLiteral("t_feld0")).AsString());
}

void TFormText0Editor::edFilterChange() {
    const QString text = edFilter->text();
    m_filterModel->SetFilterText(text);
    // The list is filtered anew in one pass, so the grid does not move off a row the filter
    // hides: the shown row nearest after it (else before it) becomes current.
    if (const int current = sqlText0->Active() && !sqlText0->InEdit() ? sqlText0->CurrentRow() : -1;
        current >= 0 && !m_filterModel->mapFromSource(m_textModel->index(current, 0)).isValid()) {
        if (const int row = m_filterModel->NearestShown(current); row >= 0)
            sqlText0->SetRecNo(row + 1);
    }
    if (!text.isEmpty() && sqlText0->Active()) {
        bool number = false;
        const int nr = text.trimmed().toInt(&number);
        if (!(number && sqlText0->LocateInt(nr))) {
            if (sqlText0->InEdit())
                sqlText0->Locate(QStringLiteral("t_feld0"), text, true);
            else if (const int row = m_filterModel->FindFeld0(text); row >= 0)
                sqlText0->SetRecNo(row + 1);
        }
    }
    // A few rows get the height of their text, up to three lines; a long list stays one-line.
    if (m_filterModel->rowCount() <= 500)
        grText0->resizeRowsToContents();
    followClass();
}

void TFormText0Editor::cbTextNrModeChange() {
    const int mode = cbTextNrMode->currentIndex();
    edLastTextNr->setEnabled(mode == 1 || mode == 2);
}

void TFormText0Editor::GetNextNr(int start, QVariant& nextFree, QVariant& groupMark) {
    sqlGetNextNr->SetParam(QStringLiteral("TextNr"), start);
    if (sqlGetNextNr->Active())
        sqlGetNextNr->Refresh(false);
    else
        sqlGetNextNr->Open();
    nextFree = sqlGetNextNr->FieldByName(QStringLiteral("next_free_nr")).Value();
    groupMark = sqlGetNextNr->FieldByName(QStringLiteral("next_group_mark")).Value();
}

void TFormText0Editor::WarnRangeEnd() {
    Korvexutils::RaiseQuestionBtn(QStringLiteral("ACHTUNG, Ende dieses Nummernbereichs erreicht.\n"
                                                 "Neue Nummer liegt bereits außerhalb."),
                                  QStringLiteral("Close"), 0, Vcl::mtWarning);
}

void TFormText0Editor::sqlText0BeforeInsert() {
    grText0->setFocus();
    if (cbTextNrMode->currentIndex() == 2) {
        QVariant nextFree, groupMark;
        GetNextNr(LastTextNr(), nextFree, groupMark);
        if (!nextFree.isNull())
            SelectLastNr(nextFree.toInt());
    } else if (sqlText0->HasRecord()) {
        edLastTextNr->setText(sqlText0->FieldByName(QStringLiteral("t_nr")).AsString());
    }
}

void TFormText0Editor::sqlText0AfterInsert() {
    FAutoTextNr = -1;
    edFilter->setEnabled(false);
    if (!edFilter->text().isEmpty())
        sqlText0->FieldByName(QStringLiteral("t_feld0")).SetValue(edFilter->text());
    const int mode = cbTextNrMode->currentIndex();
    if (mode == 1 || mode == 2) {
        QVariant nextFree, groupMark;
        GetNextNr(LastTextNr(), nextFree, groupMark);
        sqlText0->FieldByName(QStringLiteral("t_nr")).SetValue(nextFree);
        if (mode == 2 && !groupMark.isNull() && !nextFree.isNull() &&
            groupMark.toLongLong() < nextFree.toLongLong())
            WarnRangeEnd();
    }
    const TVoskDataField nr = sqlText0->FieldByName(QStringLiteral("t_nr"));
    if (nr.IsNull()) {
        focusColumn(QStringLiteral("t_feld0"));
    } else {
        FAutoTextNr = nr.AsInteger();
        focusColumn(QStringLiteral("t_nr"));
    }
}

void TFormText0Editor::sqlText0BeforeEdit() {
    if (edFilter->hasFocus())
        grText0->setFocus();
    const int mode = cbTextNrMode->currentIndex();
    if ((mode == 0 || mode == 1) && sqlText0->HasRecord())
        edLastTextNr->setText(sqlText0->FieldByName(QStringLiteral("t_nr")).AsString());
}

void TFormText0Editor::sqlText0AfterEdit() {
    edFilter->setEnabled(false);
    FAutoTextNr = -1;
}

void TFormText0Editor::sqlText0BeforePost() {
    const TVoskDataField nr = sqlText0->FieldByName(QStringLiteral("t_nr"));
    FSavedTextNr = nr.AsInteger();
    if (!TServSQL2::CheckDevelopLogin())
        throw EAbort();
    const QString text = sqlText0->FieldByName(QStringLiteral("t_feld0")).AsString();
    if (text == kDeleted)
        return;
    const QVariant found = queryValue(
        Db(),
        QStringLiteral("SELECT true FROM text0 WHERE t_nr <> :nr AND "
                       "trim(upper(t_feld0)) = trim(upper(:text)) LIMIT 1"),
        {{QStringLiteral("nr"), nr.Value()}, {QStringLiteral("text"), text}});
    if (found.isNull())
        return;
    if (Korvexutils::RaiseQuestionBtn(
            QStringLiteral("Dieser Text existiert bereits. Soll wirklich gespeichert werden?"),
            QStringLiteral("Yes|No"), 0, Vcl::mtInformation) != u"Yes")
        throw EAbort();
}

void TFormText0Editor::sqlText0BeforePostLocked() {
    if (!sqlText0->IsNewRecord())
        return;
    const TVoskDataField field = sqlText0->FieldByName(QStringLiteral("t_nr"));
    if (field.IsNull())
        return;
    // Every editor that numbers texts waits here for the others' posts to be committed, so the
    // check below sees every number handed out before.
    Db().Exec(QStringLiteral("SELECT pg_advisory_xact_lock(hashtext('korvex.text0.t_nr'))"));
    const int nr = field.AsInteger();
    auto taken = [this](int n) {
        return !queryValue(Db(), QStringLiteral("SELECT true FROM text0 WHERE t_nr = :nr"),
                           {{QStringLiteral("nr"), n}})
                    .isNull();
    };
    if (!taken(nr))
        return;
    const int mode = cbTextNrMode->currentIndex();
    if (FAutoTextNr < 0 || nr != FAutoTextNr || (mode != 1 && mode != 2))
        throw EVoskException(QStringLiteral("Die Textnummer %1 ist bereits vergeben.").arg(nr));
    // Another editor took the number meanwhile: the next free one from the same start.
    QVariant nextFree, groupMark;
    GetNextNr(LastTextNr(), nextFree, groupMark);
    if (nextFree.isNull() || taken(nextFree.toInt()))
        throw EVoskException(QStringLiteral("Die Textnummer %1 ist bereits vergeben.").arg(nr));
    field.SetValue(nextFree);
    FAutoTextNr = FSavedTextNr = nextFree.toInt();
    edLastTextNr->setText(QString::number(FAutoTextNr));
    m_warnRangeEnd = mode == 2 && !groupMark.isNull() &&
                     groupMark.toLongLong() < nextFree.toLongLong();
}

void TFormText0Editor::sqlText0AfterPost() {
    if (FAutoTextNr >= 0 && FAutoTextNr == FSavedTextNr)
        edLastTextNr->setText(QString::number(FSavedTextNr));
    const QModelIndex focused = m_filterModel->mapToSource(grText0->currentIndex());
    const int nrCol = sqlText0->FieldIndex(QStringLiteral("t_nr"));
    const bool onRow = focused.isValid() &&
                       sqlText0->Value(focused.row(), nrCol).toLongLong() == FSavedTextNr;
    if (!onRow) {
        edFilter->clear();
        if (!sqlText0->LocateInt(FSavedTextNr))
            throw EVoskException(QStringLiteral("Probleme beim Speichern des Textes: t_nr %1 nach "
                                                "Speichern nicht gefunden")
                                     .arg(FSavedTextNr));
    }
    edFilter->setEnabled(true);
    FReloadNumCircle = true;
    FDoNotSaveLastNr = false;
    if (TVoskDM_Dunmere* cache = VoskDM_Dunmere()) {
        if (cache->CacheHolds(QStringLiteral("Text0"), QStringLiteral("t_nr"), FSavedTextNr)) {
            cache->RefreshCacheRecord(QStringLiteral("Text0"), FSavedTextNr);
            if (cache->CacheHolds(QStringLiteral("FieldAlias"), QStringLiteral("fa_textno"),
                                  FSavedTextNr))
                cache->ReloadCache(QStringLiteral("fieldalias"));
        } else {
            cache->ReloadCache(QStringLiteral("text0"));
        }
    }
    if (m_warnRangeEnd) {
        m_warnRangeEnd = false;
        WarnRangeEnd();
    }
}

void TFormText0Editor::sqlText0BeforeDelete() {
    if (sqlText0->IsEmpty())
        return;
    const TVoskDataField text = sqlText0->FieldByName(QStringLiteral("t_feld0"));
    if (!Korvexutils::RaiseDeleteMarkable(text.AsString() == kDeleted))
        return;
    text.SetValue(kDeleted);
    sqlText0->Post();
    QApplication::beep();
    throw EAbort();
}

void TFormText0Editor::sqlText0AfterDelete() {
    edFilter->setEnabled(true);
    FReloadNumCircle = true;
}

void TFormText0Editor::btSaveClick() {
    if (sqlText0->InEdit())
        sqlText0->Post();
    if (grText0->selectionModel()->hasSelection() || grText0->currentIndex().isValid()) {
        SetModalResult(Vcl::mrOk);
        FDoNotSaveLastNr = false;
    } else {
        edFilter->setFocus();
    }
}

void TFormText0Editor::btDatenbankClick() {
    auto* form = new TFormChangeServer(this);
    Korvexcommonvcl::ShowModal(form);
    delete form;
    if (DM1() && DM1()->Connected() && !sqlText0->Active())
        Rtl::Guarded([this] { LoadText0(); }, nullptr);
    RenewCaption();
}

void TFormText0Editor::btUpdateClick() {
    LoadText0();
    FReloadNumCircle = true;
    if (pcMain->currentWidget() == tsNumCircles)
        tsNumCirclesShow();
    if (DM1())
        DM1()->ReloadTextX();
}

void TFormText0Editor::tsNumCirclesShow() {
    if (!FReloadNumCircle && sqlNumCircles->Active())
        return;
    if (sqlNumCircles->Active())
        sqlNumCircles->Refresh();
    else
        sqlNumCircles->Open();
}

void TFormText0Editor::grNumCirclesDblClick() {
    if (!sqlNumCircles->HasRecord())
        return;
    auto value = [this](const char* f) { return sqlNumCircles->FieldByName(QLatin1String(f)).Value(); };
    const QVariantMap range{{QStringLiteral("start_nr"), value("start_nr")},
                            {QStringLiteral("end_nr"), value("end_nr")},
                            {QStringLiteral("start_group"), value("start_group")},
                            {QStringLiteral("end_group"), value("end_group")}};
    qint64 a = queryValue(Db(),
                          QStringLiteral("SELECT t_nr FROM text0 WHERE t_nr BETWEEN :start_nr AND "
                                         ":end_nr ORDER BY 1 DESC LIMIT 1"),
                          {{QStringLiteral("start_nr"), range.value(QStringLiteral("start_nr"))},
                           {QStringLiteral("end_nr"), range.value(QStringLiteral("end_nr"))}})
                    .toLongLong();
    const QVariant endNr = range.value(QStringLiteral("end_nr"));
    const QVariant endGroup = range.value(QStringLiteral("end_group"));
    if (a == 0 || a == endNr.toLongLong() || (!endGroup.isNull() && a == endGroup.toLongLong()))
        a = queryValue(Db(),
                       QStringLiteral("SELECT coalesce(CAST(:start_group AS integer), (SELECT t_nr "
                                      "FROM text0 WHERE t_nr BETWEEN :start_nr AND :end_nr ORDER BY "
                                      "1 LIMIT 1), CAST(:end_group AS integer))"),
                       range)
                .toLongLong();
    edFilter->clear();
    if (!sqlText0->LocateInt(a)) {
        LoadText0();
        if (!sqlText0->LocateInt(a))
            return;
    }
    followClass();
    pcMain->setCurrentWidget(tsTexte);
    edLastTextNr->setText(QString::number(a));
    if (cbTextNrMode->currentIndex() == 0)
        cbTextNrMode->setCurrentIndex(2);
}

void TFormText0Editor::grText0CopyToClipboard() {
    Vcl::Clipboard::Instance().SetText(GetCurrentTextNrStr());
}

void TFormText0Editor::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_S && e->modifiers() == Qt::ControlModifier) {
        Rtl::Guarded([this] { btSaveClick(); }, this);
        e->accept();
        return;
    }
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        // In the grid Escape gives up the row's edit; elsewhere it closes.
        if (!grText0->hasFocus())
            SetModalResult(11);
        e->accept();
        return;
    }
    TVoskBaseForm::keyPressEvent(e);
}

bool TFormText0Editor::eventFilter(QObject* watched, QEvent* e) {
    if (watched == grText0 && e->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(e);
        if (key->key() == Qt::Key_C && key->modifiers() == Qt::ControlModifier) {
            Rtl::Guarded([this] { grText0CopyToClipboard(); }, this);
            return true;
        }
        if (key->key() == Qt::Key_S && key->modifiers() == Qt::ControlModifier) {
            Rtl::Guarded([this] { btSaveClick(); }, this);
            return true;
        }
        if (key->key() == Qt::Key_Escape && sqlText0->InEdit()) {
            Rtl::Guarded([this] { sqlText0->Cancel(); }, this);
            return true;
        }
    }
    return TVoskBaseForm::eventFilter(watched, e);
}

void TFormText0Editor::LoadLastNr() {
    pcMain->setCurrentWidget(tsTexte);
    TDM1* dm = DM1();
    if (!dm)
        return;
    QString setting, lastVal;
    const QString user = dm->LoginName();
    if (dm->Connected() && user != u"root" && user != u"postgres" && user != u"syncro")
        Rtl::Guarded([&] { setting = dm->GetSetting(kSettingPrefix + user); }, nullptr);
    try {
        lastVal = dm->LoadLastVal(kLastVal);
    } catch (...) {
        // An unreadable value counts as none.
    }
    const QString tail = tailOf(pickStored(setting, lastVal));
    if (tail.isEmpty())
        return;
    bool ok = false;
    const int mode = tail.section(u'|', 0, 0).trimmed().toInt(&ok);
    cbTextNrMode->setCurrentIndex(ok && mode >= 0 && mode <= 2 ? mode : 0);
    edLastTextNr->setText(tail.section(u'|', 1, 1).trimmed());
    cbTextNrModeChange();
}

void TFormText0Editor::SaveLastNr() {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        return;
    const QString key = kSettingPrefix + dm->LoginName();
    QString setting, lastVal;
    try {
        setting = dm->GetSetting(key);
    } catch (...) {
    }
    try {
        lastVal = dm->LoadLastVal(kLastVal);
    } catch (...) {
    }
    const int mode = cbTextNrMode->currentIndex();
    if ((mode == 0 || mode == 1) && sqlText0->HasRecord()) {
        const TVoskDataField nr = sqlText0->FieldByName(QStringLiteral("t_nr"));
        if (!nr.IsNull())
            edLastTextNr->setText(nr.AsString());
    }
    QDateTime now;
    try {
        now = queryValue(Db(), QStringLiteral("SELECT currenttime()")).toDateTime();
    } catch (...) {
    }
    if (!now.isValid())
        now = QDateTime::currentDateTime();
    const QString stored = now.toString(QStringLiteral("yyMMddHHmmss")) + u'|' +
                           QString::number(mode) + u'|' + edLastTextNr->text().trimmed();
    const QString tail = tailOf(stored);
    if (tail == tailOf(setting) && tail == tailOf(lastVal))
        return;
    try {
        dm->SetSetting(key, stored);
    } catch (...) {
    }
    try {
        dm->SaveLastVal(kLastVal, stored);
    } catch (...) {
    }
    if (TVoskDM_Dunmere* cache = VoskDM_Dunmere())
        Rtl::Guarded([cache] { cache->ReloadCache(QStringLiteral("text0")); }, nullptr);
}

void TFormText0Editor::BeforeDestruction() {
    if (sqlText0->InEdit())
        Rtl::Guarded([this] { sqlText0->Cancel(); }, nullptr);
    if (!FDoNotSaveLastNr)
        Rtl::Guarded([this] { SaveLastNr(); }, nullptr);
    TVoskBaseForm::BeforeDestruction();
}
