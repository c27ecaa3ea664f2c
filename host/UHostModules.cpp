#include "UHostModules.h"

#include "TFormAdress.h"
#include "TFormDialogDemo.h"
#include "TFormForms.h"
#include "TFormInfo.h"
#include "TFormLagerzugang.h"
#include "TFormPlantafel.h"
#include "TFormStandardSql.h"
#include "TFormAbfrage.h"
#include "TRecNoClasses.h"
#include "TVoskClass.h"
#include "TVoskDBEdit.h"
#include "TVoskDBGrid2.h"
#include "Ukorvexinterface.h"
#include "UDM1.h"
#include "EventGuard.h"
#include "Korvexcommonvcl.h"
#include "Korvexutils.h"
#include "Vcl.Application.h"
#include "Vcl.Components.h"

#include <QAction>
#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStandardItemModel>
#include <QStyledItemDelegate>

#include <libpq-fe.h>

namespace UHostModules {
namespace {

using Ukorvexinterface::RegisterProc;
using Ukorvexinterface::RegisterStartProc;

QString Line(const QStringList& list, const QString& name) {
    for (const QString& l : list)
        if (l.section(QLatin1Char('='), 0, 0).compare(name, Qt::CaseInsensitive) == 0)
            return l.section(QLatin1Char('='), 1);
    return {};
}

// The lookup's SQL: the row of f2poss for the module's class and the field's name; a class without
// a row of its own uses the nearest base class that has one.
QString LookupSql(QWidget* module, QObject* field) {
    QVariant sql;
    for (const QMetaObject* m = module ? module->metaObject() : nullptr; sql.isNull(); m = m->superClass()) {
        sql = DM1()->LoadVar(
            QStringLiteral("SELECT COALESCE(f2s_query, f2_query) FROM f2poss "
                           "LEFT JOIN f2standard ON f2_standard = f2s_name "
                           "WHERE aeoeue_upper(modulname) = aeoeue_upper(:modul) AND "
                           "aeoeue_upper(feldname) = aeoeue_upper(:feld) AND NOT f2_deleted "
                           "ORDER BY f2_id LIMIT 1"),
            {{QStringLiteral("modul"), m ? Vcl::ClassName(m) : QString()},
             {QStringLiteral("feld"), field ? field->objectName() : QString()}});
        if (!m || !m->superClass())
            break;
    }
    if (sql.isNull())
        throw EVoskException(QStringLiteral("Keine Suche für %1.%2 hinterlegt")
                                 .arg(module ? Vcl::ClassName(module) : QString(),
                                      field ? field->objectName() : QString()));
    return sql.toString();
}

// Below the field it looks up, as a drop-down list would be; over the middle of the module's
// window when the field has no place on screen (a menu command). Always whole on the screen.
void PlaceLookup(QWidget* form, QWidget* module, QObject* field) {
    QPoint at;
    auto* widget = qobject_cast<QWidget*>(field);
    if (widget && widget->isVisible())
        at = widget->mapToGlobal(QPoint(0, widget->height()));
    else if (module && module->window()->isVisible())
        at = module->window()->frameGeometry().center() -
             QPoint(form->width() / 2, form->height() / 2);
    else
        return;
    QScreen* screen = module ? module->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        at.setX(qBound(area.left(), at.x(), qMax(area.left(), area.right() - form->width())));
        at.setY(qBound(area.top(), at.y(), qMax(area.top(), area.bottom() - form->height())));
    }
    form->move(at);
}

void MakeF2Host(TF2Result& result, QWidget* module, QObject* field,
                std::unique_ptr<QStringList> params, TMakeF2Event onBeforeOK) {
    auto* form = new TFormF2List;
    form->Sql = LookupSql(module, field);
    form->OwnerModul = module;
    form->OwnerFeld = field;
    form->ModulName = module ? Vcl::ClassName(module) : QString();
    form->FeldName = field ? field->objectName() : QString();
    form->FOnBeforeOK = std::move(onBeforeOK);
    // The form's own result names its rows too: a choice callback reads the selection from there.
    form->F2Result.F2Form = form;
    form->F2Result.F2Grid = form->ListResult;
    form->F2Result.F2Query = form->F2Query;
    form->F2Result.F2SearchEd = form->EdSearch;
    result.F2Form = form;
    result.F2Grid = form->ListResult;
    result.F2Query = form->F2Query;
    result.F2SearchEd = form->EdSearch;
    for (const QString& l : *params)
        if (l.contains(QLatin1Char('=')))
            form->Params.insert(l.section(QLatin1Char('='), 0, 0).trimmed(),
                                l.section(QLatin1Char('='), 1));
    if (QVariant(Line(*params, QStringLiteral("MultiSelect"))).toBool())
        form->ListResult->setSelectionMode(QAbstractItemView::ExtendedSelection);
    form->StartSearch();
    // A lookup asked to hide when it finds nothing does not show at all.
    if (QVariant(Line(*params, QStringLiteral("HideIfEmpty"))).toBool() &&
        form->ListResult->count() == 0) {
        form->SetModalResult(Vcl::mrCancel);
        form->deleteLater();
        return;
    }
    PlaceLookup(form, module, field);
    if (QVariant(Line(*params, QStringLiteral("ShowModal"))).toBool()) {
        // Kept after closing until the caller is back in the event loop, so that the choice, the
        // chosen row and the modal result can be read.
        form->CloseF2FormAction = Vcl::caHide;
        QPointer<TFormF2List> guard = form;
        const int modalResult = Korvexcommonvcl::ShowModal(form);
        if (guard) {
            guard->SetModalResult(modalResult);
            result.Value = guard->F2Result.Value;
            guard->deleteLater();
        }
        return;
    }
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
}

void Recorded(const QString& proc, const QString& modul, const QString& r_pos,
              std::initializer_list<std::pair<const char*, bool>> flags, const QStringList& params,
              bool withEvent) {
    TRecordedCall c{proc, modul, r_pos, {}, params, withEvent};
    for (const auto& [name, on] : flags)
        if (on)
            c.flags << QString::fromLatin1(name);
    RecordedCalls().push_back(c);
}

} // namespace

std::vector<TRecordedCall>& RecordedCalls() {
    static std::vector<TRecordedCall> calls;
    return calls;
}

void Register() {
    MainMenuSqlClass = [] { return new TMainMenuSql; };
    // Questions and captions name a data class by its table's alias.
    TVoskClass::AliasHook.Set([](const QString& table) {
        TDM1* dm = DM1();
        return dm && dm->Connected() ? dm->GetTableAlias(table) : QString();
    });
    RegisterStartProc(QStringLiteral("Adressen.M"), QStringLiteral("ADRESSEN"),
                      [](const QStringList& p) -> QObject* { return TFormAdress::Open(nullptr, p); });
    RegisterStartProc(QStringLiteral("StandardSql.M"), QStringLiteral("STANDARDSQL"),
                      [](const QStringList& p) -> QObject* { return TFormStandardSql::Open(nullptr, p); });
    RegisterStartProc(QStringLiteral("Abfrage.M"), QStringLiteral("ABFRAGE"),
                      [](const QStringList& p) -> QObject* { return TFormAbfrage::Open(nullptr, p); });
    RegisterStartProc(QStringLiteral("Info.M"), QStringLiteral("INFO"), [](const QStringList& p) -> QObject* {
        auto* f = TFormKorvexGundForm::Create<TFormInfo>(nullptr, p);
        f->show();
        return f;
    });
    RegisterStartProc(QStringLiteral("Plantafel.M"), QStringLiteral("PLANTAFEL"),
                      [](const QStringList& p) -> QObject* {
                          return UModulForm::OpenModulForm<TFormPlantafel>(nullptr, p);
                      });
    RegisterStartProc(QStringLiteral("Dialoge.M"), QStringLiteral("DIALOGE"),
                      [](const QStringList& p) -> QObject* {
                          return UModulForm::OpenModulForm<TFormDialogDemo>(nullptr, p);
                      });
    RegisterStartProc(QStringLiteral("Lager.M"), QStringLiteral("LAGERZUGANG"),
                      [](const QStringList& p) -> QObject* {
                          return UModulForm::OpenModulForm<TFormLagerzugang>(nullptr, p);
                      });
    RegisterStartProc(QStringLiteral("F2Test.M"), QStringLiteral("LOOKUPTEST"),
                      [](const QStringList& p) -> QObject* {
                          auto* f = UModulForm::OpenModulForm<TFormLookupTest>(nullptr, p);
                          // Opens the lookup once the start has finished, as a user's F2 would.
                          if (!p.contains(QStringLiteral("NoAutoLookup=True")))
                              Vcl::QueueCall(f, [f] { f->F2BtClick(f->EdWert); });
                          return f;
                      });
    // The module's dynamic settings: the stand-in lists the entries the module has.
    RegisterStartProc(QStringLiteral("SSystem.M"), QStringLiteral("EINSTELLUNGENDYN"),
                      [](const QStringList& p) -> QObject* {
                          const QString modul = Line(p, QStringLiteral("Modul"));
                          TVoskQuery2 q(&DM1()->Database(),
                                        QStringLiteral(
                                            "SELECT COALESCE(TSystem.INI_GetValue(sd_config, "
                                            "'modul_settings', 'caption'), sd_type) FROM "
                                            "SettingsDyn WHERE NOT sd_deleted AND "
                                            "TSystem.INI_GetValue(sd_config, 'modul_settings', "
                                            "'name') = :modul ORDER BY sd_id"));
                          q.ParamByName(QStringLiteral("modul")).SetAsString(modul);
                          q.Open();
                          QStringList items;
                          for (; !q.Eof(); q.Next())
                              items << QStringLiteral("• ") + q.Fields(0).AsString();
                          Korvexutils::RaiseInformation(
                              items.isEmpty()
                                  ? QStringLiteral("Für %1 sind keine Einstellungen hinterlegt.")
                                        .arg(modul)
                                  : QStringLiteral("Einstellungen für %1:\n%2")
                                        .arg(modul, items.join(QLatin1Char('\n'))));
                          return nullptr;
                      });
    RegisterStartProc(QStringLiteral("SSystem.M"), QStringLiteral("EditTable"),
                      [](const QStringList& p) -> QObject* {
                          QStringList params = p;
                          params << QStringLiteral("EditTable_MMID=") + Line(p, QStringLiteral("MMID"));
                          return UModulForm::OpenModulForm<TFormEditTable>(nullptr, params);
                      });
    RegisterStartProc(QStringLiteral("Dashboard.M"), QStringLiteral("DASHBOARDMODUL"),
                      [](const QStringList& p) -> QObject* {
                          return UModulForm::OpenModulForm<TDashboardModul>(nullptr, p);
                      });
    // The form designer's report list, where the special-function editor shows a report.
    RegisterStartProc(QStringLiteral("FORMDESIGNER.M"), QStringLiteral("CreateRTF"),
                      [](const QStringList&) -> QObject* { return TFormForms::Open(); });
    RegisterProc<void(TF2Result&, QWidget*, QObject*, std::unique_ptr<QStringList>, TMakeF2Event)>(
        QStringLiteral("F2.M"), QStringLiteral("MakeF2Proc"), MakeF2Host);
    RegisterProc<bool(QWidget*, const QString&, const QString&, bool, bool, bool, bool,
                      QStringList&, QWidget*, const TPrintEvent&)>(
        QStringLiteral("Report.M"), QStringLiteral("PrintReport"),
        [](QWidget*, const QString& modul, const QString& r_pos, bool autoPrint, bool noAfterRTF,
           bool noPreview, bool printerSel, QStringList& params, QWidget*,
           const TPrintEvent& toEvent) {
            Recorded(QStringLiteral("PrintReport"), modul, r_pos,
                     {{"AutoPrint", autoPrint}, {"NoAfterRTF", noAfterRTF},
                      {"NoPrintPreview", noPreview}, {"ShowPrinterSelection", printerSel}},
                     params, bool(toEvent));
            if (modul == QLatin1String("TFormDruckFehler"))
                throw EVoskException(QStringLiteral("Drucker nicht bereit"));
            return true;
        });
    RegisterProc<void(TVoskDBGrid2*, QStringList&)>(
        QStringLiteral("ReportGrids.M"), QStringLiteral("PRINTGRID"),
        [](TVoskDBGrid2* grid, QStringList& params) {
            Recorded(QStringLiteral("PRINTGRID"), grid ? grid->objectName() : QString(), {}, {},
                     params, false);
        });
    RegisterProc<void(TExecRTFResult&, QStringList&, QWidget*)>(
        QStringLiteral("FormDesigner.M"), QStringLiteral("ExecuteRTF"),
        [](TExecRTFResult& result, QStringList& params, QWidget*) {
            Recorded(QStringLiteral("ExecuteRTF"), {}, {}, {}, params, false);
            // The stand-in's run-time form is closed with OK at once.
            result.ModalResult = Vcl::mrOk;
        });
}

void Unregister() {
    for (const auto& [lib, proc] :
         std::initializer_list<std::pair<const char*, const char*>>{
             {"Adressen.M", "ADRESSEN"}, {"StandardSql.M", "STANDARDSQL"}, {"Abfrage.M", "ABFRAGE"}, {"Info.M", "INFO"}, {"F2Test.M", "LOOKUPTEST"},
             {"Dashboard.M", "DASHBOARDMODUL"},
             {"SSystem.M", "EditTable"}, {"SSystem.M", "EINSTELLUNGENDYN"}, {"F2.M", "MakeF2Proc"}, {"Report.M", "PrintReport"},
             {"ReportGrids.M", "PRINTGRID"}, {"FormDesigner.M", "ExecuteRTF"},
             {"FORMDESIGNER.M", "CreateRTF"},
             {"Plantafel.M", "PLANTAFEL"}, {"Lager.M", "LAGERZUGANG"}})
        Ukorvexinterface::UnregisterProc(QString::fromLatin1(lib), QString::fromLatin1(proc));
    MainMenuSqlClass = nullptr;
    TVoskClass::AliasHook.Reset();
    MakeF2Proc = nullptr;
    PrintProc = nullptr;
    PrintGridProc = nullptr;
    ExecRtfProc = nullptr;
}

} // namespace UHostModules

// ---- lookup list -----------------------------------------------------------------------------

TFormF2List::TFormF2List(QObject* owner, QWidget* parent) : TKorvexF2Form(owner, parent) {
    setObjectName(QStringLiteral("F2List"));
    setWindowTitle(QStringLiteral("Suche"));
    auto* layout = new QVBoxLayout(this);
    EdSearch = Vcl::Owned(this, new QLineEdit(this), QStringLiteral("EdSearch"));
    EdSearch->setAccessibleName(QStringLiteral("Suchtext"));
    EdSearch->setToolTip(QStringLiteral("Zeilen auf diesen Text einschränken"));
    ListResult = Vcl::Owned(this, new TF2ResultList(this), QStringLiteral("ListResult"));
    ListResult->setAccessibleName(QStringLiteral("Ergebnis"));
    ListResult->setToolTip(QStringLiteral("Zeile wählen und mit OK übernehmen"));
    F2Query = Vcl::Owned(this, new QObject(this), QStringLiteral("F2Query"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(EdSearch);
    layout->addWidget(ListResult);
    layout->addWidget(buttons);
    F2Result.F2Form_BtOk = buttons->button(QDialogButtonBox::Ok);
    F2Result.F2Form_BtAbort = buttons->button(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &TFormF2List::BtOkClick);
    connect(buttons, &QDialogButtonBox::rejected, this, [this] {
        if (IsModal())
            SetModalResult(Vcl::mrCancel);
        else
            Close();
    });
    connect(ListResult, &QListWidget::itemDoubleClicked, this, &TFormF2List::BtOkClick);
    // Enter in the search text or the rows takes the current row, Esc cancels: both pass the key
    // on to the form.
    EdSearch->installEventFilter(this);
    ListResult->installEventFilter(this);
    EdSearch->setToolTip(QStringLiteral("Suchtext (Teil eines Wertes, Groß-/Kleinschreibung egal)"));
    EdSearch->setAccessibleName(QStringLiteral("Suchtext"));
    ListResult->setToolTip(QStringLiteral("Treffer; Doppelklick übernimmt"));
    ListResult->setAccessibleName(QStringLiteral("Treffer"));
    // Every change searches on the server, so that rows beyond the first few hundred are found.
    connect(EdSearch, &QLineEdit::textEdited, this,
            [this] { Rtl::Guarded([this] { StartSearch(); }, this); });
    resize(420, 360);
}

QString TFormF2List::FilteredSql(const QString& sql) {
    QString inner = sql.trimmed();
    while (inner.endsWith(u';'))
        inner.chop(1);
    // The whole row as text: the typed part may be in any column of the lookup.
    return QStringLiteral("SELECT * FROM (") + inner +
           QStringLiteral(") AS f2 WHERE f2::text ILIKE :f2_suche LIMIT 500");
}

QString TFormF2List::LikePattern(const QString& typed) {
    QString t = typed;
    t.replace(u'\\', QStringLiteral("\\\\"));
    t.replace(u'%', QStringLiteral("\\%"));
    t.replace(u'_', QStringLiteral("\\_"));
    return u'%' + t + u'%';
}

void TFormF2List::StartSearch() {
    // The first search starts from what the field holds.
    if (!m_searched) {
        m_searched = true;
        if (auto* le = qobject_cast<QLineEdit*>(OwnerFeld.data()); le && EdSearch->text().isEmpty())
            EdSearch->setText(le->text());
    }
    ListResult->clear();
    TVoskQuery2 q(&DM1()->Database());
    q.SetSQL(FilteredSql(Sql));
    // Parameters the lookup names take the module's values (a field of its record, say); the
    // caller's lines and the search text come before them.
    if (OwnerModul)
        Korvexutils::FillQueryParamsWithFormValues(q, OwnerModul, QStringLiteral("OwnerModul"),
                                                   true);
    q.Bind(QStringLiteral("f2_suche"), LikePattern(EdSearch->text()));
    for (auto it = Params.cbegin(); it != Params.cend(); ++it)
        if (it.key().compare(QStringLiteral("f2_suche"), Qt::CaseInsensitive) != 0 &&
            q.FindParam(it.key()))
            q.Bind(it.key(), it.value());
    q.Open();
    ListResult->ColumnNames = q.FieldNames();
    const bool firstRows = !m_captioned;
    if (!m_captioned) {
        m_captioned = true;
        ShowCaptions(q);
    }
    for (int r = 0; r < q.RecordCount(); ++r) {
        QStringList cols;
        QVariantMap row;
        for (int c = 0; c < q.FieldCount(); ++c) {
            cols << q.ValueAt(r, c).toString();
            row.insert(ListResult->ColumnNames.value(c), q.ValueAt(r, c));
        }
        ListResult->AddRow(cols, cols.value(0), row);
    }
    if (firstRows)
        ListResult->FitColumns();
    if (ListResult->count() > 0)
        ListResult->setCurrentRow(0);
}

void TFormF2List::ShowCaptions(const TVoskQuery2& q) {
    // The captions users know the rows' table and columns by (tablefieldinfo); a column of no
    // table, or one without a caption, keeps its name.
    const PGresult* res = q.Result();
    QList<Oid> tables;
    for (int c = 0; res && c < q.FieldCount(); ++c)
        tables << PQftable(res, c);
    QHash<Oid, QString> names;
    QStringList wanted;
    for (Oid oid : tables)
        if (oid != InvalidOid && !wanted.contains(QString::number(oid)))
            wanted << QString::number(oid);
    if (!wanted.isEmpty()) {
        TVoskQuery2 n(&DM1()->Database(),
                      QStringLiteral("SELECT CAST(oid AS bigint), relname FROM pg_class WHERE oid = "
                                     "ANY (CAST(string_to_array(:oids, ',') AS oid[]))"));
        n.Bind(QStringLiteral("oids"), wanted.join(u',')).Open();
        for (; !n.Eof(); n.Next())
            names.insert(Oid(n.Fields(0).AsLargeInt()), n.Fields(1).AsString());
    }
    TDM1* dm = DM1();
    QStringList headers;
    for (int c = 0; c < q.FieldCount(); ++c) {
        const QString column = ListResult->ColumnNames.value(c);
        const QString alias = dm->GetFieldAlias(column, names.value(tables.value(c)));
        headers << (alias.isEmpty() ? column : alias);
    }
    // A single column needs no header; several are told apart by theirs.
    ListResult->SetHeaders(headers.size() > 1 ? headers : QStringList());
    QString title = tables.isEmpty() ? QString() : dm->GetTableAlias(names.value(tables.first()));
    if (auto* command = qobject_cast<QAction*>(OwnerFeld.data()); title.isEmpty() && command)
        title = Korvexcommonvcl::PlainCaption(command->text());
    if (!title.isEmpty())
        setWindowTitle(title);
}

bool TFormF2List::eventFilter(QObject* watched, QEvent* e) {
    if ((watched == EdSearch || watched == ListResult) && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Rtl::Guarded([this] { BtOkClick(); }, this);
            return true;
        }
        if (key == Qt::Key_Escape) {
            if (auto* cancel = qobject_cast<QAbstractButton*>(F2Result.F2Form_BtAbort.data()))
                cancel->click();
            return true;
        }
    }
    return TKorvexF2Form::eventFilter(watched, e);
}

void TFormF2List::TakeResult() {
    QListWidgetItem* item = ListResult->currentItem();
    F2Result.Value = item ? item->data(Qt::UserRole).toString() : QString();
    const QVariantMap row = ListResult->RowOf(item);
    for (const QString& name : ListResult->ColumnNames)
        F2Query->setProperty(name.toUtf8().constData(), row.value(name));
    if (auto* db = qobject_cast<TVoskDBEdit*>(OwnerFeld.data())) {
        db->setText(F2Result.Value);
        db->PostEditValue();
    } else if (auto* le = qobject_cast<QLineEdit*>(OwnerFeld.data())) {
        le->setText(F2Result.Value);
    }
    AddRecnoParam();
}

void TFormF2List::AddRecnoParam() {
    // The description column of a record's parameters: the chosen definition joins the record
    // with its default; one the record has already stays as it is.
    QObject* column = OwnerFeld.data();
    if (!column || !column->property("korvexGridColumn").toBool() ||
        column->objectName().compare(QStringLiteral("r_descr"), Qt::CaseInsensitive) != 0 ||
        F2Result.Value.isEmpty())
        return;
    auto* grid = qobject_cast<TVoskDBGrid2*>(column->parent());
    auto* params = grid ? qobject_cast<TRecNoParams*>(grid->DataClass()) : nullptr;
    if (!params || params->TableName().isEmpty() || params->RecId().isEmpty())
        return;
    DM1()->ExecSQL(
        QStringLiteral("INSERT INTO recnokeyword (r_tablename, r_dbrid, r_oid, r_descr, r_value, "
                       "r_reg_pname) SELECT :t, CAST(:d AS bigint), :d, reg_pname, reg_default, "
                       "reg_pname FROM recnogroup WHERE reg_pname = :p "
                       "ON CONFLICT (r_tablename, r_dbrid, r_reg_pname) DO NOTHING"),
        {{QStringLiteral("t"), params->TableName()},
         {QStringLiteral("d"), params->RecId()},
         {QStringLiteral("p"), F2Result.Value}});
}

void TFormF2List::BtOkClick() {
    if (!ListResult->currentItem())
        return;
    if (FOnBeforeOK && *FOnBeforeOK)
        (*FOnBeforeOK)(this); // a throw leaves the lookup open
    TakeResult();
    if (IsModal())
        SetModalResult(Vcl::mrOk);
    else
        Close();
}

// ---- lookup rows -----------------------------------------------------------------------------

namespace {

constexpr int kCellsRole = Qt::UserRole + 2;

// Paints a row's cells in the header's sections over the background, selection and focus the
// style draws for any row; a row as wide as the header, so that the selection spans all columns.
class TF2CellDelegate final : public QStyledItemDelegate {
public:
    TF2CellDelegate(QHeaderView* header, QObject* parent)
        : QStyledItemDelegate(parent), m_header(header) {}

    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QStringList cells = index.data(kCellsRole).toStringList();
        if (cells.isEmpty() || m_header->isHidden()) {
            QStyledItemDelegate::paint(p, option, index);
            return;
        }
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        opt.text.clear();
        const QWidget* w = opt.widget;
        QStyle* style = w ? w->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, p, w);
        const QPalette::ColorRole role = opt.state.testFlag(QStyle::State_Selected)
                                             ? QPalette::HighlightedText
                                             : QPalette::Text;
        const int margin = CellMargin(w);
        for (int c = 0; c < cells.size() && c < m_header->count(); ++c) {
            const QRect cell(m_header->sectionViewportPosition(c) + margin, option.rect.top(),
                             m_header->sectionSize(c) - 2 * margin, option.rect.height());
            if (cell.width() <= 0)
                continue;
            style->drawItemText(p, cell, Qt::AlignLeft | Qt::AlignVCenter, opt.palette,
                                opt.state.testFlag(QStyle::State_Enabled),
                                opt.fontMetrics.elidedText(cells[c], Qt::ElideRight, cell.width()),
                                role);
        }
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        if (!m_header->isHidden() && !index.data(kCellsRole).toStringList().isEmpty())
            size.setWidth(m_header->length());
        return size;
    }
    static int CellMargin(const QWidget* w) {
        const QStyle* style = w ? w->style() : QApplication::style();
        return style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, w) + 2;
    }

private:
    QHeaderView* m_header;
};

} // namespace

TF2ResultList::TF2ResultList(QWidget* parent) : QListWidget(parent) {
    m_header = new QHeaderView(Qt::Horizontal, this);
    m_header->setObjectName(QStringLiteral("ListResultHeader"));
    m_header->setModel(new QStandardItemModel(this));
    m_header->setSectionsClickable(false);
    m_header->setStretchLastSection(true);
    m_header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_header->setAccessibleName(QStringLiteral("Spalten"));
    m_header->setToolTip(QStringLiteral("Spalten der Treffer; Breite mit der Maus ändern"));
    m_header->hide();
    setItemDelegate(new TF2CellDelegate(m_header, this));
    connect(m_header, &QHeaderView::sectionResized, this, [this] {
        doItemsLayout();
        viewport()->update();
    });
}

void TF2ResultList::SetHeaders(const QStringList& headers) {
    auto* model = static_cast<QStandardItemModel*>(m_header->model());
    model->clear();
    if (headers.isEmpty()) {
        m_header->hide();
        setViewportMargins(0, 0, 0, 0);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        return;
    }
    model->setHorizontalHeaderLabels(headers);
    m_header->show();
    // The columns share the list's width; a cell too long for its column is cut with "…".
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setViewportMargins(0, m_header->sizeHint().height(), 0, 0);
    placeHeader();
}

QListWidgetItem* TF2ResultList::AddRow(const QStringList& cells, const QVariant& value,
                                       const QVariantMap& row) {
    auto* item = new QListWidgetItem(cells.join(QStringLiteral(" | ")), this);
    item->setData(Qt::UserRole, value);
    item->setData(Qt::UserRole + 1, row);
    if (!m_header->isHidden()) {
        item->setData(kCellsRole, cells);
        // Read out column by column, as the eye reads the row under the headers.
        QStringList spoken;
        const auto* model = m_header->model();
        for (int c = 0; c < cells.size(); ++c)
            spoken << model->headerData(c, Qt::Horizontal).toString() + QStringLiteral(": ") +
                          cells[c];
        item->setData(Qt::AccessibleTextRole, spoken.join(QStringLiteral(", ")));
    }
    return item;
}

void TF2ResultList::FitColumns() {
    if (m_header->isHidden())
        return;
    const QFontMetrics fm(font());
    const int pad = 2 * TF2CellDelegate::CellMargin(this) + fm.horizontalAdvance(u'M');
    const int rows = qMin(count(), 200);
    for (int c = 0; c < m_header->count(); ++c) {
        int width = m_header->sectionSizeHint(c);
        for (int r = 0; r < rows; ++r)
            width = qMax(width, fm.horizontalAdvance(
                                    item(r)->data(kCellsRole).toStringList().value(c)) + pad);
        m_header->resizeSection(c, qMin(width, 320));
    }
}

void TF2ResultList::resizeEvent(QResizeEvent* e) {
    QListWidget::resizeEvent(e);
    placeHeader();
}

void TF2ResultList::scrollContentsBy(int dx, int dy) {
    QListWidget::scrollContentsBy(dx, dy);
    placeHeader();
}

void TF2ResultList::placeHeader() {
    if (m_header->isHidden())
        return;
    const QRect area = viewport()->geometry();
    const int height = m_header->sizeHint().height();
    m_header->setGeometry(area.left(), area.top() - height, area.width(), height);
}

QVariantMap TF2ResultList::RowOf(const QListWidgetItem* item) const {
    return item ? item->data(Qt::UserRole + 1).toMap() : QVariantMap();
}

QStringList TF2ResultList::GetSelectedRecordValuesStr(const QString& field, int) const {
    // Rows in list order, not in the order they were clicked; the list has no group rows.
    QStringList values;
    const bool multi = selectionMode() == QAbstractItemView::ExtendedSelection ||
                       selectionMode() == QAbstractItemView::MultiSelection;
    for (int i = 0; i < count(); ++i) {
        const QListWidgetItem* it = item(i);
        if (multi ? it->isSelected() : it == currentItem())
            values << RowOf(it).value(field).toString();
    }
    return values;
}

// ---- edit table ------------------------------------------------------------------------------

TFormEditTable::TFormEditTable(QObject* owner, QWidget* parent) : TModulForm(owner, parent) {
    ServSql = Vcl::Owned(this, new TVoskClass2(this), QStringLiteral("ServSqlEditTable"));
    GridResult = Vcl::Owned(this, new TVoskDBGrid2(this), QStringLiteral("GridResult"));
    GridResult->SetDataClass(ServSql);
    ModulLayout()->addWidget(GridResult);
    TopLabel->FSetDataSource(ServSql);
    TopLabel->SetVoskDBGrid(GridResult);
}

void TFormEditTable::FormCreate(QObject* sender) {
    TModulForm::FormCreate(sender);
    const QString caption = GetParameterStr(QStringLiteral("CAPTION"));
    setWindowTitle(caption);
    TopLabel->Toplabel->setText(caption);
    ServSql->SetQuerySql(GetParameterStr(QStringLiteral("SQL")));
    const QString table = GetParameterStr(QStringLiteral("RTF"));
    if (!table.isEmpty())
        ServSql->SetSqlTable(table);
    if (GetParameterBool(QStringLiteral("NoEdit")))
        ServSql->SetReadOnly(true);
    ServSql->AfterPost = [this](TVoskClass* c) {
        if (m_onUpdateUI)
            m_onUpdateUI(c);
    };
    ServSql->Open();
}

TVoskClass* TFormEditTable::ServSqlEditTable() const { return ServSql; }

void TFormEditTable::SetMultiSelect() {
    GridResult->setSelectionMode(QAbstractItemView::ExtendedSelection);
}

// ---- lookup test -----------------------------------------------------------------------------

TFormLookupTest::TFormLookupTest(QObject* owner, QWidget* parent) : TModulForm(owner, parent) {
    setWindowTitle(QStringLiteral("Adresse suchen"));
    TopLabel->Toplabel->setText(QStringLiteral("Adresse suchen"));
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("&Adresse:"), this);
    row->addWidget(label);
    EdWert = Vcl::Owned(this, new QLineEdit(this), QStringLiteral("EdWert"));
    label->setBuddy(EdWert);
    row->addWidget(EdWert);
    auto* bt = new QPushButton(QStringLiteral("Suchen (F2)"), this);
    bt->setToolTip(QStringLiteral("Adresse in der Liste suchen (F2)"));
    connect(bt, &QPushButton::clicked, this, [this] { F2BtClick(EdWert); });
    row->addWidget(bt);
    ModulLayout()->addLayout(row);
    ModulLayout()->addStretch();
}

void TFormLookupTest::F2BtClick(QObject* sender, int) {
    MakeF2(this, sender ? sender : EdWert, true, false, QString(), QStringList(), QString(), {});
}

// ---- dashboard -------------------------------------------------------------------------------

TDashboardModul::TDashboardModul(QObject* owner, QWidget* parent) : TModulForm(owner, parent) {
    setObjectName(QStringLiteral("DashboardModul"));
    resize(360, 200);
    TopLabel->Toplabel->setText(QStringLiteral("Dashboard"));
    LabelAdressen = Vcl::Owned(this, new QLabel(this), QStringLiteral("LabelAdressen"));
    LabelAdressen->setAlignment(Qt::AlignCenter);
    ModulLayout()->addWidget(LabelAdressen, 1);
}

void TDashboardModul::FormShow(QObject* sender) {
    TModulForm::FormShow(sender);
    const QVariant n = DM1() && DM1()->Connected()
                           ? DM1()->LoadVar(QStringLiteral("SELECT count(*) FROM adressen"))
                           : QVariant();
    LabelAdressen->setText(QStringLiteral("Adressen: %1").arg(n.isNull() ? QStringLiteral("-")
                                                                         : n.toString()));
    LabelAdressen->setToolTip(QStringLiteral("Anzahl der Adressen"));
    LabelAdressen->setAccessibleName(LabelAdressen->toolTip());
}
