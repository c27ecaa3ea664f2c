#include "TVoskDBGrid2.h"

#include <typeinfo>

#include <EventGuard.h>
#include <TVoskClass.h>
#include <TVoskDataModel.h>
#include <RtlDialog.h>

#include "Korvexutils.h"
#include "Vcl.Components.h"
#include "VoskTimer.h"

#include "TVoskDBTreeView2.h"
#include "TVoskGridCellDelegate.h"
#include "VoskAllOrNothing.h"
#include "VoskConditionalFormatting.h"
#include "VoskTextWidths.h"

#include <QHeaderView>
#include <QStyledItemDelegate>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QItemSelectionModel>
#include <QScreen>
#include <QShortcut>

#include <algorithm>
#include <utility>

TVoskDBGrid2::TVoskDBGrid2(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setVerticalHeader(MakeRowHeader(this));
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    // A click on a column header sorts the records by it; no order until the user asks.
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    horizontalHeader()->setSectionsClickable(true);
    // Noted before the view sorts, so that the reorder after the sort knows the new column.
    connect(horizontalHeader(), &QHeaderView::sortIndicatorChanged, this, &TVoskDBGrid2::noteSort);
    setSortingEnabled(true);
    setItemDelegate(new TVoskGridCellDelegate(this));
    m_conditionalFormatting = new TVoskConditionalFormatting(this);
    connect(m_conditionalFormatting, &TVoskConditionalFormatting::Changed, viewport(),
            qOverload<>(&QWidget::update));
}

TVoskDBGrid2::~TVoskDBGrid2() {
    dropGroupByBox();
    if (m_class)
        m_class->ClearShownRows(this);
}

void TVoskDBGrid2::SetDataClass(TVoskClass* dataClass) {
    if (dataClass == m_class)
        return;
    if (m_class) {
        disconnect(m_class, nullptr, this, nullptr);
        m_class->ClearShownRows(this);
    }
    m_class = dataClass;
    TVoskDataModel* old = m_model;
    m_model = dataClass ? new TVoskDataModel(dataClass, this) : nullptr;
    setModel(m_model);
    delete old;
    if (!dataClass)
        return;
    // Grouped records are put in group order again before anything else looks at them.
    connect(dataClass, &TVoskClass::RowsReset, this, &TVoskDBGrid2::reorder);
    // A new row is shown until it is posted; the others keep what the filters said of them.
    connect(m_model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                if (size_t(first) <= m_filterOut.size())
                    m_filterOut.insert(m_filterOut.begin() + first, size_t(last - first + 1), 0);
                scheduleLayout();
            });
    connect(m_model, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                if (size_t(last) < m_filterOut.size())
                    m_filterOut.erase(m_filterOut.begin() + first, m_filterOut.begin() + last + 1);
                // The class moves on to the neighbour of the record that went, which the
                // filters may hide.
                m_rowRemoved = true;
                scheduleLayout();
            });
    connect(m_model, &QAbstractItemModel::dataChanged, this, [this] {
        if (!m_rowBands.empty() || m_footerVisible)
            scheduleLayout();
    });
    connect(dataClass, &TVoskClass::CurrentChanged, this, &TVoskDBGrid2::followClass);
    // The model's reset runs first (it was connected earlier), so the rows exist again here.
    connect(dataClass, &TVoskClass::RowsReset, this, &TVoskDBGrid2::followClass);
    connect(dataClass, &TVoskClass::RowsReset, this, &TVoskDBGrid2::applyColumns);
    connect(dataClass, &TVoskClass::RowsReset, this, &TVoskDBGrid2::applyFilter);
    // A posted record is tested again; the one being typed stays shown until then.
    connect(dataClass, &TVoskClass::RowUpdated, this, [this](int) {
        if ((m_filter || !m_searchFilter.isEmpty()) && !m_class->InEdit())
            applyFilter();
    });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { followView(current); });
    followClass();
    applyColumns();
}

void TVoskDBGrid2::SetHiddenFields(const QStringList& fields) {
    m_hiddenFields = fields;
    applyColumns();
}

void TVoskDBGrid2::applyColumns() {
    if (!m_class || !m_model)
        return;
    const QStringList fields = m_class->FieldNames();
    for (int c = 0; c < fields.size(); ++c)
        setColumnHidden(c, m_hiddenFields.contains(fields[c], Qt::CaseInsensitive));
    // Widths fit the content once per set of columns; a refresh keeps what the user dragged.
    if (fields == m_sizedFor || fields.isEmpty() || !m_autoFit) {
        applyLayoutIfPending();
        m_linkColumns.MarkIfPending(m_model);
        return;
    }
    m_sizedFor = fields;
    // A screenful of rows is what the user sees at first; measuring every row of a large read
    // costs more than the rest of the fitting. A drag or "optimal widths" still sees them all.
    QHeaderView* header = horizontalHeader();
    const int precision = header->resizeContentsPrecision();
    const int rowHeight = qMax(1, verticalHeader()->defaultSectionSize());
    const QScreen* shownOn = screen();
    const int screenful =
        qMax(1, (shownOn ? shownOn->availableGeometry().height() : 1200) / rowHeight);
    if (precision < 0 || precision > screenful)
        header->setResizeContentsPrecision(screenful);
    resizeColumnsToContents();
    header->setResizeContentsPrecision(precision);
    const int widest = qMax(120, fontMetrics().horizontalAdvance(QLatin1Char('x')) * 40);
    for (int c = 0; c < fields.size(); ++c)
        if (columnWidth(c) > widest)
            setColumnWidth(c, widest);
    applyLayoutIfPending();
    m_linkColumns.MarkIfPending(m_model);
}

void TVoskDBGrid2::MarkHeaderForLinkModules() { m_linkColumns.Mark(m_model); }

void TVoskDBGrid2::contextMenuEvent(QContextMenuEvent* e) {
    // A group's band is no cell: its column names no value.
    const bool mouse = e->reason() == QContextMenuEvent::Mouse;
    const QModelIndex index =
        mouse ? (IsRecordCellAt(e->pos()) ? indexAt(e->pos()) : QModelIndex()) : currentIndex();
    m_linkColumns.ContextMenu(this, e, index, m_class);
}

int TVoskDBGrid2::sizeHintForColumn(int column) const {
    const QModelIndex first = m_model ? m_model->index(0, column) : QModelIndex();
    auto* delegate = first.isValid()
                         ? qobject_cast<TVoskGridCellDelegate*>(itemDelegateForIndex(first))
                         : nullptr;
    if (model() != m_model || !delegate || !m_conditionalFormatting->IsEmpty())
        return QTableView::sizeHintForColumn(column);
    ensurePolished();
    // The rows the table view would measure: those in view, then alternately below and above
    // them up to the header's precision. The widest is what counts, so only which rows matters.
    const QHeaderView* rows = verticalHeader();
    const int maximum = horizontalHeader()->resizeContentsPrecision();
    const int count = m_model->rowCount();
    int top = qMax(0, rows->visualIndexAt(0));
    int bottom = rows->visualIndexAt(viewport()->height());
    if (!isVisible() || bottom == -1)
        bottom = count - 1;
    std::vector<int> measured;
    int row = top;
    for (; row <= bottom; ++row) {
        const int logical = rows->logicalIndex(row);
        if (rows->isSectionHidden(logical))
            continue;
        measured.push_back(logical);
        if (int(measured.size()) == maximum)
            break;
    }
    int above = top, below = row - 1;
    while (maximum != 0 && int(measured.size()) != maximum && (above > 0 || below < count - 1)) {
        int logical = -1;
        if ((measured.size() % 2 && above > 0) || below == count - 1) {
            while (above > 0 && logical < 0)
                if (const int l = rows->logicalIndex(--above); !rows->isSectionHidden(l))
                    logical = l;
        } else {
            while (below < count - 1 && logical < 0)
                if (const int l = rows->logicalIndex(++below); !rows->isSectionHidden(l))
                    logical = l;
        }
        if (logical >= 0)
            measured.push_back(logical);
    }

    QStyleOptionViewItem option;
    initViewItemOption(&option);
    TVoskTextWidths& widths = TVoskTextWidths::ForFont(option.font);
    const auto exact = [&](int r) { return delegate->sizeHint(option, m_model->index(r, column)).width(); };
    int hint = 0;
    // Cells without a text (no value, a check box alone) are alike: one of them is measured.
    bool emptyMeasured = false;
    qreal widest = -1;
    int widestRow = -1;
    QString widestText;
    const auto rank = [&](int r, QString&& text) {
        const qreal w = widths.Width(text);
        if (w < 0) {
            hint = qMax(hint, exact(r));
        } else if (w > widest) {
            widest = w;
            widestRow = r;
            widestText = std::move(text);
        }
    };
    // Text columns show the server's text as read: it is measured without a value object.
    const TFieldType type = m_class->FieldType(column);
    const bool asRead = (type == TFieldType::String || type == TFieldType::Unknown) &&
                        !m_class->FieldIsBoolean(column);
    for (int r : measured) {
        int length = 0;
        if (const char* raw = asRead ? m_class->ValueText(r, column, &length) : nullptr) {
            rank(r, QString::fromUtf8(raw, length));
            continue;
        }
        const QVariant value = m_model->data(m_model->index(r, column), Qt::DisplayRole);
        if (!value.isValid() || value.isNull()) {
            if (!emptyMeasured)
                hint = qMax(hint, exact(r));
            emptyMeasured = true;
            continue;
        }
        rank(r, delegate->displayText(value, option.locale));
    }
    if (widestRow >= 0) {
        // The sums stand for the shaping only as long as they agree where it matters.
        if (widths.Shaped(widestText) != widest) {
            widths.Distrust();
            return QTableView::sizeHintForColumn(column);
        }
        hint = qMax(hint, exact(widestRow));
    }
    return showGrid() ? hint + 1 : hint;
}

int TVoskDBGrid2::columnByFieldName(const QString& fieldName) const {
    return m_model ? m_model->ColumnOfField(fieldName) : -1;
}

void TVoskDBGrid2::followClass() {
    if (!m_class || !m_model || m_syncing)
        return;
    if (std::exchange(m_rowRemoved, false))
        settleCurrent();
    const int row = m_class->CurrentRow();
    m_syncing = true;
    if (row < 0) {
        // No record: nothing stays marked for the keys and actions that act on the selection.
        selectionModel()->clear();
    } else if (currentIndex().row() != row) {
        const int col = qMax(0, currentIndex().column());
        selectionModel()->setCurrentIndex(m_model->index(row, col),
                                          QItemSelectionModel::ClearAndSelect |
                                              QItemSelectionModel::Rows);
    }
    m_syncing = false;
}

void TVoskDBGrid2::followView(const QModelIndex& current) {
    if (!m_class || m_syncing || !current.isValid() || current.row() == m_class->CurrentRow())
        return;
    m_syncing = true;
    Rtl::Guarded([&] { m_class->SetRecNo(current.row() + 1); }, this);
    m_syncing = false;
    // A refused move (the post failed) puts the view back on the class's record.
    if (m_class->CurrentRow() != current.row())
        followClass();
}

void TVoskDBGrid2::BeginUpdate() {
    if (m_updateLevel++ == 0)
        setUpdatesEnabled(false);
}

void TVoskDBGrid2::EndUpdate() {
    if (m_updateLevel == 0)
        return;
    if (--m_updateLevel == 0) {
        setUpdatesEnabled(true);
        ++m_updatePairs;
    }
}

void TVoskDBGrid2::EndEdit(bool accept) {
    QWidget* editor = indexWidget(currentIndex());
    if (!editor || state() != QAbstractItemView::EditingState)
        return;
    if (accept)
        commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

QList<int> TVoskDBGrid2::SelectedShownRows() const {
    QList<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex& i : selectionModel()->selectedRows())
        if (RowCellsShown(i.row()))
            rows << i.row();
    return rows;
}

bool TVoskDBGrid2::DeleteSelection() {
    if (!m_class || !selectionModel() || !m_optionsDataDeleting)
        return false;
    QList<int> rows = SelectedShownRows();
    if (rows.isEmpty() || !Corvale::AskDeleteSelection(int(rows.size())))
        return false;
    // From the bottom up, so that the rows still to delete keep their numbers.
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    // All or nothing: a record the server refuses halfway must not leave the others deleted.
    BeginUpdate();
    try {
        Corvale::RunAllOrNothing(*m_class, [&] {
            for (int r : rows) {
                m_class->SetRecNo(r + 1);
                m_class->Delete();
            }
        });
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
    return true;
}

void TVoskDBGrid2::EditFirstVisibleColumn() {
    if (!m_model)
        return;
    for (int c = 0; c < m_model->columnCount(); ++c)
        if (!isColumnHidden(c) &&
            (m_model->flags(m_model->index(qMax(0, currentIndex().row()), c)) &
             Qt::ItemIsEditable)) {
            const QModelIndex index = m_model->index(qMax(0, currentIndex().row()), c);
            setCurrentIndex(index);
            edit(index);
            return;
        }
}

void TVoskDBGrid2::PrepareInsert() {
    EndEdit(true);
    if (selectionModel() && SelectedRowCount() > 1 && currentIndex().isValid())
        selectionModel()->select(currentIndex(), QItemSelectionModel::ClearAndSelect |
                                                     QItemSelectionModel::Rows);
}

void TVoskDBGrid2::SetFirstVisibleColumnFocus(bool showEditor) {
    if (!m_model || !selectionModel())
        return;
    const int row = currentIndex().isValid() ? currentIndex().row()
                                             : (m_class ? m_class->CurrentRow() : -1);
    if (row < 0)
        return;
    for (int visual = 0; visual < horizontalHeader()->count(); ++visual) {
        const int c = horizontalHeader()->logicalIndex(visual);
        if (isColumnHidden(c))
            continue;
        const QModelIndex index = m_model->index(row, c);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
        if (showEditor)
            edit(index);
        return;
    }
}

// ---- columns and their editors ---------------------------------------------------------------

TVoskGridColumn::TVoskGridColumn(QObject* owner, const QString& name, TVoskDBGrid2* grid,
                                 const QString& fieldName)
    : QObject(nullptr), m_grid(grid), m_field(fieldName) {
    Vcl::Owned(owner, this, name);
}

void TVoskGridColumn::SetPropertiesKind(TVoskColumnPropertiesKind kind) {
    m_kind = kind;
    m_buttons.clear();
    if (kind == TVoskColumnPropertiesKind::BlobEdit)
        m_buttons.append({TVoskEditButtonKind::Text, true});
}

TVoskGridColumn::TVoskGridColumn(QObject* owner, const QString& name, TVoskDBTreeView2* tree,
                                 const QString& fieldName)
    : QObject(nullptr), m_tree(tree), m_field(fieldName) {
    Vcl::Owned(owner, this, name);
}

int TVoskGridColumn::AddButton(TVoskEditButtonKind kind) {
    m_buttons.append({kind, true});
    return int(m_buttons.size()) - 1;
}

bool TVoskGridColumn::FirstButtonVisible() const {
    return m_kind == TVoskColumnPropertiesKind::ButtonEdit && !m_buttons.isEmpty() &&
           m_buttons.first().visible;
}

void TVoskGridColumn::SetFastF2(const QString& query, const QString& filter) {
    m_fastQuery = query;
    m_fastFilter = filter;
}

QWidget* TVoskGridColumn::CreateEditor(QWidget* parent) const {
    if (m_buttons.isEmpty() && m_fastQuery.isEmpty())
        return nullptr;
    auto* edit = new TVoskEdit(parent);
    edit->setObjectName(objectName());
    edit->setFrame(false);
    for (const Button& b : m_buttons) {
        const int i = edit->Buttons().Add(b.kind);
        edit->Buttons().SetVisible(i, b.visible);
    }
    QPointer<const TVoskGridColumn> self(this);
    edit->OnButtonClick = [self](QObject* sender, int i) {
        if (self)
            self->ButtonClick(i, sender);
    };
    // A tree looks up for its editor itself, as its form passes the typed keys.
    if (!m_fastQuery.isEmpty() && !m_tree)
        edit->SetFastF2(m_fastQuery, m_fastFilter);
    return edit;
}

void TVoskGridColumn::ButtonClick(int index, QObject* sender) const {
    if (index < 0 || index >= m_buttons.size())
        return;
    if (m_buttons.at(index).kind == TVoskEditButtonKind::Text) {
        if (m_grid)
            EditCellText(m_grid, m_grid->DataClass(), sender);
        else if (m_tree)
            EditCellText(m_tree, m_tree->DataClass(), sender);
    } else if (TVoskColumnHandler::F2ButtonCode) {
        TVoskColumnHandler::F2ButtonCode(sender);
    }
}

void TVoskGridColumn::EditCellText(QAbstractItemView* view, TVoskClass* data, QObject* sender) {
    auto* edit = qobject_cast<QLineEdit*>(sender);
    const QModelIndex index = view ? view->currentIndex() : QModelIndex();
    if (!data || !index.isValid())
        return;
    if (!RtlDialog::FEditTextS.Assigned()) {
        Korvexutils::RaiseInformation(
            QStringLiteral("Der Texteditor steht in dieser Installation nicht zur Verfügung."));
        return;
    }
    QAbstractItemModel* model = view->model();
    const QString field = data->FieldNames().value(index.column());
    const QString old = edit ? edit->text() : model->data(index, Qt::EditRole).toString();
    const bool readOnly = !(model->flags(index) & Qt::ItemIsEditable);
    const QString text =
        RtlDialog::FEditTextS(field, old, 99999, readOnly, false, QChar(), false);
    if (readOnly || text == old)
        return;
    if (edit)
        edit->setText(text);
    else
        model->setData(index, text.isEmpty() ? QVariant() : QVariant(text), Qt::EditRole);
}

namespace {

// Cell editors of columns with buttons or a fast lookup are the system's edits.
class TColumnDelegate final : public TVoskGridCellDelegate {
public:
    explicit TColumnDelegate(TVoskDBGrid2* grid) : TVoskGridCellDelegate(grid), m_grid(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        TVoskClass* data = m_grid->DataClass();
        const QString field = data ? data->FieldNames().value(index.column()) : QString();
        const TVoskGridColumn* column = m_grid->ColumnOf(field);
        if (QWidget* edit = column ? column->CreateEditor(parent) : nullptr)
            return edit;
        return QStyledItemDelegate::createEditor(parent, option, index);
    }

private:
    TVoskDBGrid2* m_grid;
};

} // namespace

QList<TVoskGridColumn*> TVoskGridColumn::ColumnsOf(const QWidget* view) {
    QList<TVoskGridColumn*> result;
    const QObject* owner = Vcl::Owner(view);
    for (TVoskGridColumn* c : Vcl::ComponentsOf<TVoskGridColumn>(owner ? owner : view))
        if (c->m_grid == view || c->m_tree == view)
            result << c;
    return result;
}

TVoskGridColumn* TVoskGridColumn::ColumnOf(const QWidget* view, const QString& fieldName) {
    if (fieldName.isEmpty())
        return nullptr;
    for (TVoskGridColumn* c : ColumnsOf(view))
        if (c->FieldName().compare(fieldName, Qt::CaseInsensitive) == 0)
            return c;
    return nullptr;
}

QList<TVoskGridColumn*> TVoskDBGrid2::Columns() const {
    return TVoskGridColumn::ColumnsOf(this);
}

TVoskGridColumn* TVoskDBGrid2::ColumnOf(const QString& fieldName) const {
    return TVoskGridColumn::ColumnOf(this, fieldName);
}

void TVoskDBGrid2::SetColumnFastF2(TVoskGridColumn* column, const QString& query,
                                   const QString& filter) {
    if (column)
        column->SetFastF2(query, filter);
}

QString TVoskDBGrid2::ColumnFastF2Query(const TVoskGridColumn* column) const {
    return column ? column->FastF2Query() : QString();
}

QString TVoskDBGrid2::ColumnFastF2Filter(const TVoskGridColumn* column) const {
    return column ? column->FastF2Filter() : QString();
}

void TVoskDBGrid2::LoadF2() {
    if (m_f2Loaded)
        return;
    m_f2Loaded = true;
    // Cells that the grid's owner paints and edits itself keep their delegate.
    if (QAbstractItemDelegate* own = itemDelegate();
        own && typeid(*own) != typeid(TVoskGridCellDelegate))
        return;
    setItemDelegate(new TColumnDelegate(this));
}

void TVoskDBGrid2::FieldEditTxtBtClick(QObject* sender) {
    TVoskGridColumn::EditCellText(this, m_class, sender);
}

// ---- searching ---------------------------------------------------------------------------

QLineEdit* TVoskDBGrid2::MakeSearchField(QWidget* parent, const QString& name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setPlaceholderText(QStringLiteral("Suchen ..."));
    e->setAccessibleName(QStringLiteral("Suchen im Raster"));
    e->setToolTip(QStringLiteral("Text, der in einer Zeile vorkommt; Enter sucht weiter"));
    e->setClearButtonEnabled(true);
    connect(e, &QLineEdit::returnPressed, this, [this, e] { SearchText(e->text(), true); });
    return e;
}

bool TVoskDBGrid2::RowContains(int row, const QString& text) const {
    QAbstractItemModel* m = model();
    if (!m)
        return false;
    for (int col = 0; col < m->columnCount(); ++col)
        if (!isColumnHidden(col) &&
            m->index(row, col).data().toString().contains(text, Qt::CaseInsensitive))
            return true;
    return false;
}

int TVoskDBGrid2::FindRow(const QString& text, int from) const {
    QAbstractItemModel* m = model();
    if (!m || text.isEmpty())
        return -1;
    const int rows = m->rowCount();
    for (int i = 0; i < rows; ++i) {
        const int row = (qMax(0, from) + i) % rows;
        const bool filteredOut = size_t(row) < m_filterOut.size() && m_filterOut[size_t(row)];
        if (!filteredOut && RowContains(row, text))
            return row;
    }
    return -1;
}

void TVoskDBGrid2::SetSearchFilter(const QString& text) {
    if (text == m_searchFilter)
        return;
    m_searchFilter = text;
    applyFilter();
}

bool TVoskDBGrid2::SearchText(const QString& text, bool next) {
    const int current = currentIndex().isValid() ? currentIndex().row() : 0;
    const int row = FindRow(text, next ? current + 1 : current);
    if (row < 0)
        return false;
    int col = currentIndex().isValid() ? currentIndex().column() : 0;
    while (col < model()->columnCount() - 1 && isColumnHidden(col))
        ++col;
    setCurrentIndex(model()->index(row, col));
    return currentIndex().row() == row;
}

bool TVoskDBGrid2::SearchPanelVisible() const {
    return m_searchPanel && !m_searchPanel->isHidden();
}

void TVoskDBGrid2::ShowSearchPanel(bool focus) {
    if (!m_searchPanel) {
        m_searchPanel = MakeSearchField(this, QStringLiteral("SearchPanel"));
        m_searchPanel->setToolTip(
            QStringLiteral("Zeigt nur Zeilen, in denen der Text vorkommt; Enter sucht weiter"));
        // Filter first, so that the search then moves among the rows still shown.
        connect(m_searchPanel, &QLineEdit::textChanged, this, [this](const QString& t) {
            Rtl::Guarded([&] {
                SetSearchFilter(t);
                SearchText(t, false);
            }, this);
        });
        // Esc in the field closes it and hands the focus back to the rows.
        auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), m_searchPanel);
        esc->setContext(Qt::WidgetShortcut);
        connect(esc, &QShortcut::activated, this, [this] {
            HideSearchPanel();
            setFocus(Qt::OtherFocusReason);
        });
    }
    placeSearchPanel();
    m_searchPanel->show();
    m_searchPanel->raise();
    if (focus)
        m_searchPanel->setFocus();
}

void TVoskDBGrid2::HideSearchPanel() {
    if (!m_searchPanel)
        return;
    m_searchPanel->hide();
    // Closed, the field filters no more: it opens empty next time.
    m_searchPanel->clear();
}

void TVoskDBGrid2::placeSearchPanel() {
    if (!m_searchPanel)
        return;
    const int w = qMin(300, width() - 4);
    const int h = m_searchPanel->sizeHint().height();
    m_searchPanel->setGeometry(width() - w - 2, height() - h - 2, w, h);
}

void TVoskDBGrid2::resizeEvent(QResizeEvent* e) {
    QTableView::resizeEvent(e);
    placeSearchPanel();
}

void TVoskDBGrid2::ShowFind(QWidget* anchor) {
    if (!m_findBox) {
        m_findBox = MakeSearchField(this, QStringLiteral("FindBox"));
        connect(m_findBox, &QLineEdit::textEdited, this,
                [this](const QString& t) { SearchText(t, false); });
        m_findBox->setWindowFlags(Qt::Popup);
        m_findBox->resize(250, m_findBox->sizeHint().height());
    }
    const QWidget* at = anchor ? anchor : this;
    m_findBox->move(at->mapToGlobal(QPoint(0, at->height())));
    m_findBox->show();
    m_findBox->setFocus();
}
