#include "GridBandedTableView.h"

#include "BandedHeaderView.h"
#include "DataSourceModel.h"
#include "GridFooterView.h"

#include <VoskExceptions.h>

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <map>

namespace Grid {
namespace {

const char* const kSummaryNames[] = {"none", "sum", "count", "min", "max", "average"};

QString Damaged(const QString& what) {
    return QStringLiteral("Das gespeicherte Layout ist beschädigt: %1").arg(what);
}

int IntOf(const QJsonObject& o, const char* key, const QString& where) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isDouble() || v.toDouble() != std::floor(v.toDouble()))
        throw EVoskException(
            Damaged(QStringLiteral("%1 ohne ganze Zahl \"%2\"").arg(where, QLatin1String(key))));
    return v.toInt();
}

bool BoolOf(const QJsonObject& o, const char* key, const QString& where) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isBool())
        throw EVoskException(
            Damaged(QStringLiteral("%1 ohne Wahrheitswert \"%2\"").arg(where, QLatin1String(key))));
    return v.toBool();
}

QString StringOf(const QJsonObject& o, const char* key, const QString& where) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isString())
        throw EVoskException(
            Damaged(QStringLiteral("%1 ohne Text \"%2\"").arg(where, QLatin1String(key))));
    return v.toString();
}

} // namespace

GridBandedTableView::GridBandedTableView(QObject* owner)
    : QObject(owner), m_controller(new Grid::DataController(this)) {
    m_control = new QWidget;
    m_control->setObjectName(QStringLiteral("GridSite"));
    m_control->setAccessibleName(QStringLiteral("Tabelle"));
    m_control->setToolTip(QStringLiteral("Tabelle"));
    auto* layout = new QVBoxLayout(m_control);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_table = new QTableView(m_control);
    m_table->setObjectName(QStringLiteral("Table"));
    m_table->setAccessibleName(QStringLiteral("Tabelle"));
    m_table->setToolTip(QStringLiteral("Zeilen der Tabelle"));
    m_header = new BandedHeaderView(*this, m_table);
    m_header->setObjectName(QStringLiteral("Header"));
    m_header->setAccessibleName(QStringLiteral("Spaltenköpfe"));
    m_header->setToolTip(QStringLiteral("Spalten ziehen, um sie zu verschieben"));
    m_header->setContextMenuPolicy(Qt::CustomContextMenu);
    m_table->setHorizontalHeader(m_header);
    m_model = new DataSourceModel(*m_controller, this);
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_footer = new GridFooterView(*this, m_control);
    m_footer->setVisible(false);
    layout->addWidget(m_table);
    layout->addWidget(m_footer);

    connect(m_header, &QHeaderView::sectionMoved, this, &GridBandedTableView::sectionMoved);
    connect(m_header, &QHeaderView::sectionResized, this, &GridBandedTableView::sectionResized);
    connect(m_header, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { emit HeaderContextMenu(m_header->mapToGlobal(p)); });
    // A reset model forgets the header's arrangement: it is put back from the view's.
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        syncControl();
        if (m_footerVisible)
            m_footer->Recalculate();
    });
    connect(m_table->horizontalScrollBar(), &QScrollBar::valueChanged, m_footer,
            qOverload<>(&QWidget::update));
    connect(m_header, &QHeaderView::geometriesChanged, m_footer, qOverload<>(&QWidget::update));
}

GridBandedTableView::~GridBandedTableView() {
    // The model goes before the controller it reads; the widgets with the view unless a parent
    // has taken them.
    if (m_table)
        m_table->setModel(nullptr);
    delete m_model;
    if (m_control && !m_control->parent())
        delete m_control.data();
}

int GridBandedTableView::AddBand(const QString& caption) {
    m_bands.push_back(GridBand{caption, true});
    Changed();
    return int(m_bands.size()) - 1;
}

int GridBandedTableView::BandWidth(int band) const {
    int width = 0;
    for (GridBandedColumn* c : ShownColumns())
        if (c->BandIndex == band)
            width += c->Width;
    return width;
}

int GridBandedTableView::ColumnIndex(const GridBandedColumn& column) const {
    for (size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].get() == &column)
            return int(i);
    return -1;
}

GridBandedColumn* GridBandedTableView::ColumnByName(const QString& name) const {
    if (name.isEmpty())
        return nullptr;
    for (const auto& c : m_columns)
        if (c->Name.compare(name, Qt::CaseInsensitive) == 0)
            return c.get();
    return nullptr;
}

GridBandedColumn* GridBandedTableView::ColumnOfItem(int itemIndex) const {
    for (const auto& c : m_columns)
        if (c->ItemIndex() == itemIndex)
            return c.get();
    return nullptr;
}

GridBandedColumn& GridBandedTableView::CreateColumn(const QString& name) {
    GridItemDataBinding& binding = m_controller->AddItem(CreateDataBinding());
    m_columns.push_back(std::unique_ptr<GridBandedColumn>(new GridBandedColumn(binding)));
    GridBandedColumn& column = *m_columns.back();
    column.Name = name;
    int last = -1;
    for (const auto& c : m_columns)
        if (c.get() != &column && c->BandIndex == 0)
            last = std::max(last, c->ColIndex);
    column.ColIndex = last + 1;
    // The model has one column more: it starts over, and the header with it.
    m_controller->DataChanged();
    Changed();
    return column;
}

void GridBandedTableView::SetColumnIndex(GridBandedColumn& column, int index) {
    const int from = ColumnIndex(column);
    if (from < 0)
        return;
    index = std::clamp(index, 0, ColumnCount() - 1);
    auto moved = std::move(m_columns[size_t(from)]);
    m_columns.erase(m_columns.begin() + from);
    m_columns.insert(m_columns.begin() + index, std::move(moved));
    Changed();
}

bool GridBandedTableView::IsColumnShown(const GridBandedColumn& column) const {
    return column.Visible && column.BandIndex >= 0 && column.BandIndex < BandCount() &&
           m_bands[size_t(column.BandIndex)].Visible;
}

std::vector<GridBandedColumn*> GridBandedTableView::ShownColumns() const {
    std::vector<GridBandedColumn*> shown;
    for (const auto& c : m_columns)
        if (IsColumnShown(*c))
            shown.push_back(c.get());
    std::stable_sort(shown.begin(), shown.end(), [](GridBandedColumn* a, GridBandedColumn* b) {
        if (a->BandIndex != b->BandIndex)
            return a->BandIndex < b->BandIndex;
        if (a->RowIndex != b->RowIndex)
            return a->RowIndex < b->RowIndex;
        return a->ColIndex < b->ColIndex;
    });
    return shown;
}

void GridBandedTableView::renumberBands() {
    // Positions inside each band become 0, 1, 2 ... in their present order.
    std::map<int, std::vector<GridBandedColumn*>> byBand;
    for (const auto& c : m_columns)
        byBand[c->BandIndex].push_back(c.get());
    for (auto& [band, cols] : byBand) {
        std::stable_sort(cols.begin(), cols.end(), [](GridBandedColumn* a, GridBandedColumn* b) {
            return a->ColIndex < b->ColIndex;
        });
        for (size_t i = 0; i < cols.size(); ++i)
            cols[i]->ColIndex = int(i);
    }
}

void GridBandedTableView::MoveColumn(GridBandedColumn& column, int band, int colIndex) {
    renumberBands();
    for (const auto& c : m_columns)
        if (c.get() != &column && c->BandIndex == band && c->ColIndex >= colIndex)
            ++c->ColIndex;
    column.BandIndex = band;
    column.ColIndex = colIndex;
    renumberBands();
    Changed();
}

void GridBandedTableView::SetFooterVisible(bool visible) {
    m_footerVisible = visible;
    m_footer->setVisible(visible);
    if (visible)
        m_footer->Recalculate();
}

QString GridBandedTableView::SummaryName(SummaryKind kind) {
    return QString::fromLatin1(kSummaryNames[int(kind)]);
}

std::vector<QVariant> GridBandedTableView::FooterValues() const {
    std::vector<QVariant> result(m_columns.size());
    std::vector<int> items;
    std::vector<size_t> at;
    for (size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i]->FooterSummary != SummaryKind::None) {
            items.push_back(m_columns[i]->ItemIndex());
            at.push_back(i);
        }
    if (items.empty())
        return result;
    const auto rows = m_controller->FetchValues(items);
    for (size_t k = 0; k < items.size(); ++k) {
        const SummaryKind kind = m_columns[at[k]]->FooterSummary;
        qint64 count = 0;
        double sum = 0;
        QVariant min, max;
        for (const auto& row : rows) {
            const QVariant& v = row[k];
            if (!v.isValid() || v.isNull())
                continue;
            ++count;
            bool numeric = false;
            const double d = v.toDouble(&numeric);
            if (numeric)
                sum += d;
            if (!min.isValid() || QVariant::compare(v, min) == QPartialOrdering::Less)
                min = v;
            if (!max.isValid() || QVariant::compare(v, max) == QPartialOrdering::Greater)
                max = v;
        }
        switch (kind) {
        case SummaryKind::Sum:
            result[at[k]] = sum;
            break;
        case SummaryKind::Count:
            result[at[k]] = count;
            break;
        case SummaryKind::Min:
            result[at[k]] = min;
            break;
        case SummaryKind::Max:
            result[at[k]] = max;
            break;
        case SummaryKind::Average:
            result[at[k]] = count ? QVariant(sum / double(count)) : QVariant();
            break;
        case SummaryKind::None:
            break;
        }
    }
    return result;
}

void GridBandedTableView::BeginUpdate() {
    if (m_updateCount++ == 0)
        m_controller->BeginUpdate();
}

void GridBandedTableView::EndUpdate() {
    if (m_updateCount == 0)
        return;
    if (--m_updateCount > 0)
        return;
    m_controller->EndUpdate();
    if (m_changePending)
        Changed();
}

void GridBandedTableView::Changed() {
    if (m_updateCount > 0) {
        m_changePending = true;
        return;
    }
    m_changePending = false;
    syncControl();
    if (m_footerVisible)
        m_footer->Recalculate();
}

void GridBandedTableView::syncControl() {
    if (!m_header || m_header->count() != m_controller->ItemCount())
        return;
    m_syncing = true;
    const std::vector<GridBandedColumn*> shown = ShownColumns();
    int visual = 0;
    auto place = [&](GridBandedColumn* c) {
        const int logical = c->ItemIndex();
        const int from = m_header->visualIndex(logical);
        if (from != visual)
            m_header->moveSection(from, visual);
        ++visual;
    };
    for (GridBandedColumn* c : shown)
        place(c);
    for (const auto& c : m_columns)
        if (!IsColumnShown(*c))
            place(c.get());
    for (const auto& c : m_columns) {
        m_header->setSectionHidden(c->ItemIndex(), !IsColumnShown(*c));
        if (IsColumnShown(*c) && m_header->sectionSize(c->ItemIndex()) != c->Width)
            m_header->resizeSection(c->ItemIndex(), c->Width);
    }
    m_syncing = false;
    m_header->viewport()->update();
    m_footer->update();
}

void GridBandedTableView::sectionMoved(int logical, int oldVisual, int newVisual) {
    if (m_syncing)
        return;
    GridBandedColumn* moved = ColumnOfItem(logical);
    if (!moved)
        return;
    // The band is the one the column was dropped into: moving left it joins the column it now
    // stands before, moving right the one it now stands after.
    auto shownAt = [&](int visual, int step) -> GridBandedColumn* {
        for (int v = visual; v >= 0 && v < m_header->count(); v += step) {
            GridBandedColumn* c = ColumnOfItem(m_header->logicalIndex(v));
            if (c && c != moved && IsColumnShown(*c))
                return c;
        }
        return nullptr;
    };
    GridBandedColumn* neighbour =
        newVisual < oldVisual ? shownAt(newVisual + 1, 1) : shownAt(newVisual - 1, -1);
    if (!neighbour)
        neighbour = newVisual < oldVisual ? shownAt(newVisual - 1, -1) : shownAt(newVisual + 1, 1);
    if (neighbour)
        moved->BandIndex = neighbour->BandIndex;
    // Positions in each band follow the header's order now.
    for (int v = 0, n = 0; v < m_header->count(); ++v, ++n)
        if (GridBandedColumn* c = ColumnOfItem(m_header->logicalIndex(v)); c && IsColumnShown(*c))
            c->ColIndex = n;
    renumberBands();
    Changed();
    emit LayoutChanged();
}

void GridBandedTableView::sectionResized(int logical, int, int newSize) {
    if (m_syncing || newSize <= 0)
        return;
    if (GridBandedColumn* c = ColumnOfItem(logical)) {
        c->Width = newSize;
        m_header->viewport()->update();
        m_footer->update();
        emit LayoutChanged();
    }
}

// ---- storage ------------------------------------------------------------------------------------

void GridBandedTableView::StoreDataBinding(const GridItemDataBinding&, QJsonObject&) const {}

void GridBandedTableView::RestoreDataBinding(GridItemDataBinding&, const QJsonObject&) {}

QByteArray GridBandedTableView::StoreToBytes(const QString& viewName, int options) const {
    QJsonArray bands;
    for (const GridBand& b : m_bands)
        bands.append(QJsonObject{{QStringLiteral("caption"), b.Caption},
                                 {QStringLiteral("visible"), b.Visible}});
    QJsonArray columns;
    QJsonArray summaries;
    for (size_t i = 0; i < m_columns.size(); ++i) {
        const GridBandedColumn& c = *m_columns[i];
        QJsonObject o{{QStringLiteral("name"), c.Name},       {QStringLiteral("index"), int(i)},
                      {QStringLiteral("visible"), c.Visible}, {QStringLiteral("width"), c.Width},
                      {QStringLiteral("band"), c.BandIndex},  {QStringLiteral("col"), c.ColIndex},
                      {QStringLiteral("row"), c.RowIndex}};
        StoreDataBinding(c.DataBinding(), o);
        columns.append(o);
        if (c.FooterSummary != SummaryKind::None)
            summaries.append(QJsonObject{{QStringLiteral("column"), c.Name},
                                         {QStringLiteral("kind"), SummaryName(c.FooterSummary)}});
    }
    QJsonObject root{{QStringLiteral("v"), kStorageVersion},
                     {QStringLiteral("view"), viewName},
                     {QStringLiteral("bands"), bands},
                     {QStringLiteral("columns"), columns}};
    if (options & soSummary) {
        root.insert(QStringLiteral("summaries"), summaries);
        root.insert(QStringLiteral("footer"), m_footerVisible);
    }
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

void GridBandedTableView::StoreToStream(QIODevice& stream, const QString& viewName,
                                        int options) const {
    const QByteArray bytes = StoreToBytes(viewName, options);
    if (stream.write(bytes) != bytes.size())
        throw EVoskException(QStringLiteral("Das Layout kann nicht geschrieben werden: %1")
                                 .arg(stream.errorString()));
}

void GridBandedTableView::RestoreFromStream(QIODevice& stream, const QString& viewName,
                                            bool createChildren) {
    RestoreFromBytes(stream.readAll(), viewName, createChildren);
}

void GridBandedTableView::RestoreFromBytes(const QByteArray& bytes, const QString& viewName,
                                           bool createChildren) {
    // Everything is read and checked before anything changes, so bad data leaves the view as it
    // was.
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        throw EVoskException(QStringLiteral("Die Daten sind kein gespeichertes Layout"));
    const QJsonObject root = doc.object();
    const QString rootWhere = QStringLiteral("Layout");
    const int version = IntOf(root, "v", rootWhere);
    if (version > kStorageVersion)
        throw EVoskException(
            QStringLiteral("Das gespeicherte Layout hat die neuere Version %1 (bekannt bis %2)")
                .arg(version)
                .arg(kStorageVersion));
    if (version < 1)
        throw EVoskException(Damaged(QStringLiteral("Version %1").arg(version)));
    const QString storedView = StringOf(root, "view", rootWhere);
    if (storedView.compare(viewName, Qt::CaseInsensitive) != 0)
        throw EVoskException(
            QStringLiteral("Das gespeicherte Layout gehört zur Ansicht \"%1\", nicht zu \"%2\"")
                .arg(storedView, viewName));
    if (!root.value(QLatin1String("bands")).isArray() ||
        !root.value(QLatin1String("columns")).isArray())
        throw EVoskException(Damaged(QStringLiteral("Bänder oder Spalten fehlen")));

    std::vector<GridBand> bands;
    for (const QJsonValue& v : root.value(QLatin1String("bands")).toArray()) {
        if (!v.isObject())
            throw EVoskException(Damaged(QStringLiteral("Band ohne Angaben")));
        const QJsonObject o = v.toObject();
        const QString where = QStringLiteral("Band %1").arg(bands.size());
        bands.push_back(GridBand{StringOf(o, "caption", where), BoolOf(o, "visible", where)});
    }
    struct Stored {
        QString name;
        int index, width, band, col, row;
        bool visible;
        QJsonObject json;
        SummaryKind summary = SummaryKind::None;
    };
    std::vector<Stored> stored;
    for (const QJsonValue& v : root.value(QLatin1String("columns")).toArray()) {
        if (!v.isObject())
            throw EVoskException(Damaged(QStringLiteral("Spalte ohne Angaben")));
        const QJsonObject o = v.toObject();
        const QString where = QStringLiteral("Spalte %1").arg(stored.size());
        Stored s{StringOf(o, "name", where),  IntOf(o, "index", where),
                 IntOf(o, "width", where),    IntOf(o, "band", where),
                 IntOf(o, "col", where),      IntOf(o, "row", where),
                 BoolOf(o, "visible", where), o};
        if (s.name.isEmpty())
            throw EVoskException(Damaged(QStringLiteral("%1 ohne Namen").arg(where)));
        if (s.width < 0 || s.width > 100000)
            throw EVoskException(
                Damaged(QStringLiteral("%1 mit Breite %2").arg(where).arg(s.width)));
        stored.push_back(std::move(s));
    }
    const bool withSummaries = root.contains(QLatin1String("summaries"));
    bool footer = m_footerVisible;
    if (withSummaries) {
        if (!root.value(QLatin1String("summaries")).isArray())
            throw EVoskException(Damaged(QStringLiteral("Summen")));
        for (const QJsonValue& v : root.value(QLatin1String("summaries")).toArray()) {
            const QJsonObject o = v.toObject();
            const QString name = StringOf(o, "column", QStringLiteral("Summe"));
            const QString kind = StringOf(o, "kind", QStringLiteral("Summe"));
            int k = 0;
            while (k < int(std::size(kSummaryNames)) && kind != QLatin1String(kSummaryNames[k]))
                ++k;
            if (k == int(std::size(kSummaryNames)))
                throw EVoskException(Damaged(QStringLiteral("Summenart \"%1\"").arg(kind)));
            for (Stored& s : stored)
                if (s.name.compare(name, Qt::CaseInsensitive) == 0)
                    s.summary = SummaryKind(k);
        }
        if (root.contains(QLatin1String("footer")))
            footer = BoolOf(root, "footer", rootWhere);
    }

    BeginUpdate();
    try {
        m_bands = std::move(bands);
        std::vector<std::pair<int, GridBandedColumn*>> order;
        for (const Stored& s : stored) {
            GridBandedColumn* c = ColumnByName(s.name);
            if (!c && !createChildren)
                continue;
            if (!c) {
                c = &CreateColumn(s.name);
                RestoreDataBinding(c->DataBinding(), s.json);
            }
            c->Visible = s.visible;
            c->Width = s.width;
            c->BandIndex = s.band;
            c->ColIndex = s.col;
            c->RowIndex = s.row;
            if (withSummaries)
                c->FooterSummary = s.summary;
            order.emplace_back(s.index, c);
        }
        if (withSummaries)
            for (const auto& c : m_columns)
                if (std::none_of(order.begin(), order.end(),
                                 [&](const auto& p) { return p.second == c.get(); }))
                    c->FooterSummary = SummaryKind::None;
        // Stored columns take their stored places; the others follow in their present order.
        std::stable_sort(order.begin(), order.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<std::unique_ptr<GridBandedColumn>> columns;
        for (const auto& [index, c] : order)
            for (auto& p : m_columns)
                if (p.get() == c)
                    columns.push_back(std::move(p));
        for (auto& p : m_columns)
            if (p)
                columns.push_back(std::move(p));
        m_columns = std::move(columns);
        m_footerVisible = footer;
        m_footer->setVisible(footer);
    } catch (...) {
        EndUpdate();
        throw;
    }
    Changed();
    EndUpdate();
}

// ---- class overrides ----------------------------------------------------------------------------

std::unique_ptr<GridItemDataBinding> GridBandedTableView::CreateDataBinding() {
    return std::make_unique<GridItemDataBinding>();
}

std::unique_ptr<GridViewInfo> GridBandedTableView::CreateViewInfo() {
    return std::make_unique<GridViewInfo>();
}

std::unique_ptr<GridViewData> GridBandedTableView::CreateViewData() {
    return std::make_unique<GridViewData>();
}

GridViewInfo& GridBandedTableView::ViewInfo() {
    if (!m_viewInfo)
        m_viewInfo = CreateViewInfo();
    return *m_viewInfo;
}

GridViewData& GridBandedTableView::ViewData() {
    if (!m_viewData)
        m_viewData = CreateViewData();
    return *m_viewData;
}

} // namespace Grid
