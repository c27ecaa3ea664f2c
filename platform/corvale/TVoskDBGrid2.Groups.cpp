// Grouping with its group-by box, the footer with its summaries and the long-text preview of the
// grid. Group heads and the preview are bands of the rows themselves: a row that begins a group
// is taller by one band per level it begins, a row with a preview by its preview lines, and the
// cells keep their own strip (TVoskGridCellDelegate). So a view row stays one record and
// everything that counts rows (cursor, filter, export) keeps working unchanged.

#include "TVoskDBGrid2.h"

#include "TVoskGridCellDelegate.h"
#include "VoskTextWidths.h"

#include <EventGuard.h>
#include <TVoskDataModel.h>
#include <UDM1.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QToolButton>

#include <QStyleOptionHeader>
#include <cmath>
#include <utility>
#include <optional>

namespace {

constexpr int kIndent = 18;        // per group level
constexpr int kMaxPreviewLines = 3;

const QLocale& German() {
    static const QLocale german(QLocale::German, QLocale::Germany);
    return german;
}

// Equal keys give equal texts; the type keeps 1 and "1" apart, null is its own value.
QString PathKey(const QVariantList& path) {
    QStringList parts;
    for (const QVariant& v : path)
        parts << (v.isNull() ? QStringLiteral("\x01")
                             : QString::fromLatin1(v.typeName()) + u':' + v.toString());
    return parts.join(QChar(0x1F));
}

bool SameValue(const QVariant& a, const QVariant& b) {
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    return a == b;
}

// Decimals needed to show the value as it was stored, at most six.
int DecimalsOf(double v) {
    const QString s = QString::number(v, 'f', 6);
    int d = 6;
    while (d > 0 && s.at(s.size() - 7 + d) == u'0')
        --d;
    return d;
}

} // namespace

// ---- group-by box ------------------------------------------------------------------------

class TVoskGroupByBox;

// A grouping level in the box: a click removes it, a drag moves it within the box or, dropped
// outside it, removes it too.
class TVoskGroupChip final : public QToolButton {
public:
    TVoskGroupChip(TVoskGroupByBox* box, TVoskDBGrid2* grid, const QString& field);
    QString Field() const { return m_field; }

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    TVoskGroupByBox* m_box;
    TVoskDBGrid2* m_grid;
    QString m_field;
    QPoint m_pressPos;
    bool m_dragging = false;
};

// The strip over the column headers listing the grouped columns. A column header dragged into
// it groups by that column at the level where it is dropped; the drop-down adds a level without
// the mouse.
class TVoskGroupByBox final : public QWidget {
public:
    explicit TVoskGroupByBox(TVoskDBGrid2* grid) : QWidget(grid), m_grid(grid) {
        setObjectName(QStringLiteral("GroupByBox"));
        setAccessibleName(QStringLiteral("Gruppierungsbereich"));
        setToolTip(QStringLiteral("Spalten, nach denen die Datensätze gruppiert sind; einen "
                                  "Spaltenkopf hierher ziehen, um nach ihm zu gruppieren"));
        setAutoFillBackground(true);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, pal.color(QPalette::Mid).lighter(150));
        setPalette(pal);
        m_layout = new QHBoxLayout(this);
        m_layout->setContentsMargins(4, 2, 4, 2);
        m_layout->setSpacing(4);
        grid->horizontalHeader()->viewport()->installEventFilter(this);
        Rebuild();
    }

    void Rebuild() {
        m_chips.clear();
        while (QLayoutItem* item = m_layout->takeAt(0)) {
            // A chip may be the one whose drag or click asked for this.
            if (QWidget* w = item->widget()) {
                w->hide();
                w->setObjectName({});
                w->deleteLater();
            }
            delete item;
        }
        const QStringList fields = m_grid->GroupFields();
        if (fields.isEmpty()) {
            auto* hint = new QLabel(
                QStringLiteral("Spaltenkopf hierher ziehen, um nach dieser Spalte zu gruppieren"),
                this);
            hint->setObjectName(QStringLiteral("GroupHint"));
            hint->setEnabled(false);
            m_layout->addWidget(hint);
        }
        for (const QString& field : fields) {
            auto* chip = new TVoskGroupChip(this, m_grid, field);
            chip->setText(Caption(field) + QStringLiteral("  ✕"));
            chip->setAccessibleName(QStringLiteral("Gruppierung nach ") + Caption(field));
            chip->setToolTip(QStringLiteral("Gruppierung nach \"%1\" aufheben; ziehen, um die "
                                            "Ebene zu verschieben")
                                 .arg(Caption(field)));
            m_chips << chip;
            m_layout->addWidget(chip);
        }
        auto* add = new QToolButton(this);
        add->setObjectName(QStringLiteral("GroupAdd"));
        add->setText(QStringLiteral("Gruppieren nach"));
        add->setAccessibleName(QStringLiteral("Gruppieren nach"));
        add->setToolTip(QStringLiteral("Eine Spalte als weitere Gruppierungsebene wählen"));
        add->setPopupMode(QToolButton::InstantPopup);
        auto* menu = new QMenu(add);
        QObject::connect(menu, &QMenu::aboutToShow, menu, [this, menu] { fillMenu(menu); });
        add->setMenu(menu);
        m_layout->addWidget(add);
        m_layout->addStretch(1);
        ShowDrop(-1);
    }

    // The level a column dropped at pos takes: one behind each level whose middle lies left of
    // it. skip is the field of a level being moved, which does not count.
    int LevelAt(const QPoint& pos, const QString& skip = {}) const {
        int level = 0;
        for (const TVoskGroupChip* chip : m_chips)
            if (chip->Field() != skip && chip->geometry().center().x() < pos.x())
                ++level;
        return level;
    }

    // Marks where a dragged column would go (-1: nowhere).
    void ShowDrop(int level, const QString& skip = {}) {
        int x = -1;
        if (level >= 0) {
            x = m_layout->contentsMargins().left() - 2;
            int seen = 0;
            for (const TVoskGroupChip* chip : m_chips) {
                if (chip->Field() == skip)
                    continue;
                if (seen++ == level) {
                    x = chip->geometry().left() - 3;
                    break;
                }
                x = chip->geometry().right() + 2;
            }
        }
        if (x != m_dropX) {
            m_dropX = x;
            update();
        }
    }
    int DropMarkX() const { return m_dropX; }

    QString Caption(const QString& field) const {
        const int c = m_grid->columnByFieldName(field);
        return c >= 0 && m_grid->model()
                   ? m_grid->model()->headerData(c, Qt::Horizontal).toString()
                   : field;
    }

    QSize sizeHint() const override {
        return {100, fontMetrics().height() + 14};
    }

protected:
    void paintEvent(QPaintEvent* e) override {
        QWidget::paintEvent(e);
        if (m_dropX < 0)
            return;
        QPainter p(this);
        p.fillRect(QRect(m_dropX, 2, 2, height() - 4), palette().color(QPalette::Highlight));
    }

    // A column header pressed and let go over the box groups by its column.
    bool eventFilter(QObject* watched, QEvent* e) override {
        QHeaderView* h = m_grid->horizontalHeader();
        if (watched != h->viewport() || !isVisible())
            return false;
        switch (e->type()) {
        case QEvent::MouseButtonPress: {
            const auto* me = static_cast<QMouseEvent*>(e);
            m_headerSection = -1;
            if (me->button() != Qt::LeftButton)
                break;
            const int x = me->position().toPoint().x();
            const int section = h->logicalIndexAt(x);
            if (section < 0)
                break;
            // Near an edge the press resizes the column.
            const int left = h->sectionViewportPosition(section);
            const int grip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, h);
            if (x - left > grip && left + h->sectionSize(section) - x > grip)
                m_headerSection = section;
            break;
        }
        case QEvent::MouseMove: {
            const auto* me = static_cast<QMouseEvent*>(e);
            if (m_headerSection < 0 || !(me->buttons() & Qt::LeftButton))
                break;
            const QPoint at = mapFromGlobal(me->globalPosition().toPoint());
            ShowDrop(rect().contains(at) ? LevelAt(at) : -1);
            break;
        }
        case QEvent::MouseButtonRelease: {
            const auto* me = static_cast<QMouseEvent*>(e);
            if (me->button() != Qt::LeftButton || m_headerSection < 0)
                break;
            const int section = std::exchange(m_headerSection, -1);
            ShowDrop(-1);
            const QPoint at = mapFromGlobal(me->globalPosition().toPoint());
            const QString field =
                m_grid->DataClass() ? m_grid->DataClass()->FieldNames().value(section) : QString();
            // Let go outside the section, the release is no click to the header: no sort.
            if (rect().contains(at) && !field.isEmpty())
                Rtl::Guarded([&] { m_grid->GroupByField(field, LevelAt(at)); }, m_grid);
            break;
        }
        default:
            break;
        }
        return false;
    }

private:
    void fillMenu(QMenu* menu) {
        menu->clear();
        if (!m_grid->DataClass())
            return;
        for (int c : m_grid->ShownColumns()) {
            const QString field = m_grid->DataClass()->FieldNames().value(c);
            if (m_grid->GroupFields().contains(field, Qt::CaseInsensitive))
                continue;
            QAction* a = menu->addAction(Caption(field));
            a->setToolTip(QStringLiteral("Nach \"%1\" gruppieren").arg(Caption(field)));
            QObject::connect(a, &QAction::triggered, m_grid, [g = m_grid, field] {
                Rtl::Guarded([&] { g->GroupByField(field); }, g);
            });
        }
    }

    TVoskDBGrid2* m_grid;
    QHBoxLayout* m_layout;
    QList<TVoskGroupChip*> m_chips;
    int m_headerSection = -1; // the header section pressed, while it may be dragged here
    int m_dropX = -1;
};

TVoskGroupChip::TVoskGroupChip(TVoskGroupByBox* box, TVoskDBGrid2* grid, const QString& field)
    : QToolButton(box), m_box(box), m_grid(grid), m_field(field) {
    setObjectName(QStringLiteral("GroupLevel_") + field);
    QObject::connect(this, &QToolButton::clicked, grid, [g = grid, field] {
        Rtl::Guarded([&] { g->UngroupField(field); }, g);
    });
}

void TVoskGroupChip::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) {
        m_pressPos = e->position().toPoint();
        m_dragging = false;
    }
    QToolButton::mousePressEvent(e);
}

void TVoskGroupChip::mouseMoveEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    if (!(e->buttons() & Qt::LeftButton) ||
        (!m_dragging && (pos - m_pressPos).manhattanLength() < QApplication::startDragDistance())) {
        QToolButton::mouseMoveEvent(e);
        return;
    }
    // A drag is no click: the level is let go where the mouse is released.
    m_dragging = true;
    setDown(false);
    const QPoint at = mapTo(m_box, pos);
    m_box->ShowDrop(m_box->rect().contains(at) ? m_box->LevelAt(at, m_field) : -1, m_field);
    setCursor(m_box->rect().contains(at) ? Qt::DragMoveCursor : Qt::ForbiddenCursor);
}

void TVoskGroupChip::mouseReleaseEvent(QMouseEvent* e) {
    if (!m_dragging || e->button() != Qt::LeftButton) {
        QToolButton::mouseReleaseEvent(e);
        return;
    }
    m_dragging = false;
    setDown(false);
    unsetCursor();
    m_box->ShowDrop(-1);
    const QPoint at = mapTo(m_box, e->position().toPoint());
    TVoskDBGrid2* grid = m_grid;
    const QString field = m_field;
    if (m_box->rect().contains(at)) {
        const int level = m_box->LevelAt(at, field);
        Rtl::Guarded([&] { grid->GroupByField(field, level); }, grid);
    } else {
        Rtl::Guarded([&] { grid->UngroupField(field); }, grid);
    }
}

// ---- footer ------------------------------------------------------------------------------

// The summary row under the records: each column's summary under its header section, following
// moves, widths and horizontal scrolling. A right click chooses a column's summary.
class TVoskGridFooter final : public QWidget {
public:
    explicit TVoskGridFooter(TVoskDBGrid2* grid) : QWidget(grid), m_grid(grid) {
        setObjectName(QStringLiteral("Footer"));
        setAccessibleName(QStringLiteral("Fußzeile"));
        setToolTip(QStringLiteral("Summen der Spalten; Rechtsklick wählt die Art"));
        setAutoFillBackground(true);
        QHeaderView* h = grid->horizontalHeader();
        QObject::connect(h, &QHeaderView::sectionResized, this, [this] { update(); });
        QObject::connect(h, &QHeaderView::sectionMoved, this, [this] { update(); });
        QObject::connect(h, &QHeaderView::geometriesChanged, this, [this] { update(); });
    }

    void Recalculate() {
        m_texts.clear();
        const TVoskClass* c = m_grid->DataClass();
        if (c)
            for (const QString& f : c->FieldNames())
                m_texts.insert(f.toLower(), m_grid->FooterText(f));
        update();
    }

    QString Text(const QString& field) const { return m_texts.value(field.toLower()); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Button));
        p.setPen(palette().color(QPalette::Mid));
        p.drawLine(0, 0, width(), 0);
        const TVoskClass* c = m_grid->DataClass();
        if (!c)
            return;
        const QHeaderView* h = m_grid->horizontalHeader();
        const int x0 = h->geometry().left() - geometry().left();
        p.setPen(palette().color(QPalette::ButtonText));
        QFont f = font();
        f.setBold(true);
        p.setFont(f);
        const QStringList fields = c->FieldNames();
        for (int col : m_grid->ShownColumns()) {
            const QString text = m_texts.value(fields.value(col).toLower());
            if (text.isEmpty())
                continue;
            const QRect r(x0 + h->sectionViewportPosition(col) + 3, 1, h->sectionSize(col) - 6,
                          height() - 2);
            const bool number = c->FieldIsNumeric(col) ||
                                m_grid->FooterSummary(fields.value(col)) == TVoskDBGrid2::skCount;
            p.drawText(r, Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft),
                       fontMetrics().elidedText(text, Qt::ElideRight, r.width()));
        }
    }

    void contextMenuEvent(QContextMenuEvent* e) override {
        const QHeaderView* h = m_grid->horizontalHeader();
        const int col = h->logicalIndexAt(e->pos().x() - (h->geometry().left() - geometry().left()));
        const TVoskClass* c = m_grid->DataClass();
        if (col < 0 || !c)
            return;
        const QString field = c->FieldNames().value(col);
        QMenu menu(this);
        QList<TVoskDBGrid2::TSummaryKind> kinds{TVoskDBGrid2::skNone, TVoskDBGrid2::skCount};
        if (c->FieldIsNumeric(col))
            kinds << TVoskDBGrid2::skSum << TVoskDBGrid2::skAverage;
        if (!c->FieldIsBoolean(col))
            kinds << TVoskDBGrid2::skMin << TVoskDBGrid2::skMax;
        for (TVoskDBGrid2::TSummaryKind k : kinds) {
            QAction* a = menu.addAction(TVoskDBGrid2::SummaryKindText(k));
            a->setCheckable(true);
            a->setChecked(m_grid->FooterSummary(field) == k);
            QObject::connect(a, &QAction::triggered, m_grid, [g = m_grid, field, k] {
                Rtl::Guarded([&] { g->SetFooterSummary(field, k); }, g);
            });
        }
        menu.exec(e->globalPos());
    }

public:
    QSize sizeHint() const override { return {100, fontMetrics().height() + 8}; }

private:
    TVoskDBGrid2* m_grid;
    QHash<QString, QString> m_texts;
};

// ---- grouping ----------------------------------------------------------------------------

void TVoskDBGrid2::SetGroupFields(const QStringList& fields) {
    QStringList clean;
    for (const QString& f : fields)
        if (!f.isEmpty() && !clean.contains(f, Qt::CaseInsensitive))
            clean << f;
    if (clean == m_groupFields)
        return;
    m_groupFields = clean;
    if (m_groupByBox)
        m_groupByBox->Rebuild();
    reorder();
    LayoutRows();
}

void TVoskDBGrid2::GroupByField(const QString& field, int level) {
    QStringList fields = m_groupFields;
    fields.removeIf([&](const QString& f) { return f.compare(field, Qt::CaseInsensitive) == 0; });
    fields.insert(level < 0 || level > fields.size() ? fields.size() : level, field);
    SetGroupFields(fields);
}

void TVoskDBGrid2::UngroupField(const QString& field) {
    QStringList fields = m_groupFields;
    fields.removeIf([&](const QString& f) { return f.compare(field, Qt::CaseInsensitive) == 0; });
    SetGroupFields(fields);
}

void TVoskDBGrid2::SetGroupByBoxVisible(bool on) {
    m_groupByBoxVisible = on;
    if (on && !m_groupByBox)
        m_groupByBox = new TVoskGroupByBox(this);
    if (m_groupByBox)
        m_groupByBox->setVisible(on);
    updateGeometries();
}

void TVoskDBGrid2::dropGroupByBox() {
    delete std::exchange(m_groupByBox, nullptr);
}

bool TVoskDBGrid2::GroupExpanded(const QVariantList& path) const {
    return !m_collapsed.contains(PathKey(path));
}

void TVoskDBGrid2::SetGroupExpanded(const QVariantList& path, bool expanded) {
    if (!expanded && m_alwaysExpanded)
        return;
    if (expanded)
        m_collapsed.remove(PathKey(path));
    else
        m_collapsed.insert(PathKey(path));
    LayoutRows();
}

void TVoskDBGrid2::FullExpand() {
    m_collapsed.clear();
    LayoutRows();
}

void TVoskDBGrid2::SetGroupsAlwaysExpanded(bool on) {
    m_alwaysExpanded = on;
    if (on)
        FullExpand();
}

bool TVoskDBGrid2::IsRecordCellAt(const QPoint& viewportPos) const {
    return groupAt(viewportPos) < 0 && indexAt(viewportPos).isValid();
}

void TVoskDBGrid2::FullCollapse() {
    if (m_alwaysExpanded)
        return;
    for (const TGridGroup& g : m_groups)
        m_collapsed.insert(PathKey(g.path));
    LayoutRows();
}

QString TVoskDBGrid2::GroupCaption(const TGridGroup& group) const {
    const int col = columnByFieldName(m_groupFields.value(group.level));
    if (col < 0 || !m_model)
        return {};
    const QString caption = m_model->headerData(col, Qt::Horizontal).toString();
    const QVariant v = m_class->Value(group.row, col);
    QString value;
    if (v.isNull())
        value = QStringLiteral("(leer)");
    else if (m_class->FieldIsBoolean(col))
        value = v.toBool() ? QStringLiteral("Ja") : QStringLiteral("Nein");
    else
        value = m_model->data(m_model->index(group.row, col)).toString();
    return QStringLiteral("%1: %2 (%3)").arg(caption, value).arg(group.count);
}

// Orders the records by the group levels, then by the user's column. Runs again after every
// reload, since a refresh reads the query's own order.
void TVoskDBGrid2::reorder() {
    if (m_regrouping || !m_class || !m_class->Active() || m_class->InEdit())
        return;
    QList<QPair<int, bool>> keys;
    for (const QString& f : m_groupFields)
        if (const int c = columnByFieldName(f); c >= 0)
            keys.append({c, true});
    // The rows of a class re-read with other columns keep the user's sort where its field is
    // still there; the header shows which column that is now.
    const int sortCol = m_sortField.isEmpty() ? -1 : columnByFieldName(m_sortField);
    QHeaderView* h = horizontalHeader();
    if (h->count() > 0 &&
        (h->sortIndicatorSection() != sortCol || h->sortIndicatorOrder() != m_sortOrder)) {
        const QSignalBlocker quiet(h);
        h->setSortIndicator(sortCol, m_sortOrder);
        h->viewport()->update();
    }
    // The view's own sort has just put the rows in order.
    if (keys.isEmpty() && m_model && m_model->Sorting())
        return;
    if (sortCol >= 0)
        keys.append({sortCol, m_sortOrder == Qt::AscendingOrder});
    if (keys.isEmpty())
        return;
    m_regrouping = true;
    Rtl::Guarded([&] { m_class->SortByKeys(keys); }, this);
    m_regrouping = false;
}

void TVoskDBGrid2::noteSort(int section, Qt::SortOrder order) {
    // Sections go and come with the columns of a reload; only the user's or a layout's choice
    // counts.
    if (m_regrouping || !m_class || m_class->FieldCount() == 0)
        return;
    m_sortField = m_class->FieldNames().value(section);
    m_sortOrder = order;
}

bool TVoskDBGrid2::bandsActive() const {
    bool grouped = false;
    for (const QString& f : m_groupFields)
        grouped = grouped || columnByFieldName(f) >= 0;
    return grouped || (m_previewVisible && HasPreviewColumn());
}

int TVoskDBGrid2::bandHeight() const { return fontMetrics().height() + 8; }

int TVoskDBGrid2::cellHeight() const { return verticalHeader()->defaultSectionSize(); }

// Row numbers stand beside a row's cells, not beside the group heads above them in its section.
class TVoskGridRowHeader final : public QHeaderView {
public:
    explicit TVoskGridRowHeader(TVoskDBGrid2* grid) : QHeaderView(Qt::Vertical, grid), m_grid(grid) {
        setSectionsClickable(true);
        setHighlightSections(true);
    }

    // QHeaderView measures up to 200 row numbers each time it drops its own cache, which it does
    // at every resize, show and section move; the numbers change only with the rows shown.
    QSize sizeHint() const override {
        const Measured now{count(), hiddenSectionCount(), model(), style(), font()};
        if (!m_measured || !(*m_measured == now)) {
            m_hint = measure();
            m_measured = now;
        }
        return m_hint;
    }
    void Invalidate() { m_measured.reset(); }

    void setModel(QAbstractItemModel* model) override {
        if (QAbstractItemModel* old = this->model())
            disconnect(old, nullptr, this, nullptr);
        QHeaderView::setModel(model);
        Invalidate();
        if (model) {
            connect(model, &QAbstractItemModel::headerDataChanged, this, [this] { Invalidate(); });
            connect(model, &QAbstractItemModel::layoutChanged, this, [this] { Invalidate(); });
        }
    }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        const QRect cells = m_grid->cellRect(rect, logicalIndex);
        if (cells == rect) {
            QHeaderView::paintSection(painter, rect, logicalIndex);
            return;
        }
        QStyleOptionHeader opt;
        initStyleOption(&opt);
        opt.rect = rect;
        opt.section = logicalIndex;
        style()->drawControl(QStyle::CE_Header, &opt, painter, this);
        if (cells.height() > 0) {
            painter->save();
            painter->setClipRect(cells);
            QHeaderView::paintSection(painter, cells, logicalIndex);
            painter->restore();
        }
    }

private:
    // The grid's own rows are labelled with their numbers alone, so only the widest label of
    // those Qt would measure (the first and the last hundred shown) needs a text layout.
    QSize measure() const {
        if (!model() || model() != m_grid->m_model)
            return QHeaderView::sizeHint();
        const int n = count();
        std::vector<int> sections;
        int i = 0;
        for (; i < n && sections.size() < 100; ++i)
            if (!isSectionHidden(i))
                sections.push_back(i);
        i = qMax(i, n - 100);
        for (int j = n - 1, checked = 0; j >= i && checked < 100; --j)
            if (!isSectionHidden(j)) {
                sections.push_back(j);
                ++checked;
            }
        if (sections.empty())
            return QHeaderView::sizeHint();
        // Qt measures a section in bold, as a highlighted one is drawn.
        QFont bold = font();
        bold.setBold(true);
        TVoskTextWidths& widths = TVoskTextWidths::ForFont(bold);
        if (!widths.Trusted())
            return QHeaderView::sizeHint();
        qreal widest = -1;
        int widestSection = -1;
        QString widestText;
        for (int s : sections) {
            QString text = model()->headerData(s, Qt::Vertical, Qt::DisplayRole).toString();
            const qreal w = widths.Width(text);
            if (w < 0)
                return QHeaderView::sizeHint();
            if (w > widest) {
                widest = w;
                widestSection = s;
                widestText = std::move(text);
            }
        }
        if (widths.Shaped(widestText) != widest) {
            widths.Distrust();
            return QHeaderView::sizeHint();
        }
        return sectionSizeFromContents(widestSection);
    }

    struct Measured {
        int count, hidden;
        const QAbstractItemModel* model;
        const QStyle* style;
        QFont font;
        bool operator==(const Measured&) const = default;
    };
    TVoskDBGrid2* m_grid;
    mutable std::optional<Measured> m_measured;
    mutable QSize m_hint;
};

QHeaderView* TVoskDBGrid2::MakeRowHeader(TVoskDBGrid2* grid) { return new TVoskGridRowHeader(grid); }

QRect TVoskDBGrid2::cellRect(const QRect& rowRect, int row) const {
    if (row < 0 || size_t(row) >= m_rowBands.size())
        return rowRect;
    const TRowBands& b = m_rowBands[size_t(row)];
    QRect r(rowRect);
    r.setTop(rowRect.top() + int(b.groups.size()) * bandHeight());
    r.setHeight(b.cells ? cellHeight() : 0);
    return r;
}

void TVoskDBGrid2::scheduleLayout() {
    if (m_layoutScheduled)
        return;
    m_layoutScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_layoutScheduled = false;
        LayoutRows();
    });
}

void TVoskDBGrid2::LayoutRows() {
    const int rows = m_model ? m_model->rowCount() : 0;
    if (m_filterOut.size() != size_t(rows))
        m_filterOut.assign(size_t(rows), 0);
    const bool active = bandsActive();
    m_groups.clear();
    // Other rows shown may need other row numbers measured.
    if (auto* numbers = dynamic_cast<TVoskGridRowHeader*>(verticalHeader()))
        numbers->Invalidate();
    BeginUpdate();
    if (!active) {
        // Back to plain rows: the filter alone decides, every row at the common height.
        const bool hadBands = !m_rowBands.empty();
        m_rowBands.clear();
        for (int r = 0; r < rows; ++r) {
            setRowHidden(r, m_filterOut[size_t(r)]);
            if (hadBands)
                verticalHeader()->resizeSection(r, cellHeight());
        }
        EndUpdate();
        if (m_footer)
            m_footer->Recalculate();
        return;
    }
    m_rowBands.assign(size_t(rows), {});
    std::vector<int> groupCols;
    for (const QString& f : m_groupFields)
        if (const int c = columnByFieldName(f); c >= 0)
            groupCols.push_back(c);
    const int levels = int(groupCols.size());
    // The groups, each opened at the first shown row whose keys differ from the row before.
    std::vector<int> open(size_t(levels), -1); // the group now open per level
    int prev = -1;
    for (int r = 0; r < rows; ++r) {
        if (m_filterOut[size_t(r)])
            continue;
        int first = levels;
        for (int l = 0; l < levels; ++l)
            if (prev < 0 || !SameValue(m_class->Value(r, groupCols[size_t(l)]),
                                       m_class->Value(prev, groupCols[size_t(l)]))) {
                first = l;
                break;
            }
        for (int l = first; l < levels; ++l) {
            TGridGroup g;
            g.row = r;
            g.level = l;
            for (int k = 0; k <= l; ++k)
                g.path << m_class->Value(r, groupCols[size_t(k)]);
            open[size_t(l)] = int(m_groups.size());
            m_groups.push_back(std::move(g));
        }
        for (int l = 0; l < levels; ++l)
            ++m_groups[size_t(open[size_t(l)])].count;
        prev = r;
    }
    // What each row shows: the heads of the groups it opens whose outer groups are open, its
    // cells when every group it is in is open.
    std::vector<char> expanded(m_groups.size(), 1);
    for (size_t i = 0; i < m_groups.size(); ++i)
        expanded[i] = !m_collapsed.contains(PathKey(m_groups[i].path));
    std::vector<int> current(size_t(levels), -1);
    size_t next = 0;
    const bool preview = m_previewVisible && HasPreviewColumn();
    const int previewWidth = qMax(50, viewport()->width() - kIndent - 8);
    for (int r = 0; r < rows; ++r) {
        TRowBands& b = m_rowBands[size_t(r)];
        if (m_filterOut[size_t(r)]) {
            b.cells = false;
            setRowHidden(r, true);
            continue;
        }
        while (next < m_groups.size() && m_groups[next].row == r) {
            current[size_t(m_groups[next].level)] = int(next);
            bool outerOpen = true;
            for (int l = 0; l < m_groups[next].level; ++l)
                outerOpen = outerOpen && expanded[size_t(current[size_t(l)])];
            if (outerOpen)
                b.groups.push_back(int(next));
            ++next;
        }
        bool allOpen = true;
        for (int l = 0; l < levels; ++l)
            allOpen = allOpen && expanded[size_t(current[size_t(l)])];
        b.cells = allOpen;
        if (allOpen && preview) {
            const QString text = PreviewText(r);
            if (!text.isEmpty()) {
                const QRect need = fontMetrics().boundingRect(
                    QRect(0, 0, previewWidth, 10000), Qt::TextWordWrap, text);
                b.previewLines =
                    qBound(1, need.height() / qMax(1, fontMetrics().lineSpacing()),
                           kMaxPreviewLines);
            }
        }
        const int h = int(b.groups.size()) * bandHeight() + (b.cells ? cellHeight() : 0) +
                      b.previewLines * fontMetrics().lineSpacing() + (b.previewLines ? 4 : 0);
        setRowHidden(r, h == 0);
        if (h > 0)
            verticalHeader()->resizeSection(r, h);
    }
    EndUpdate();
    viewport()->update();
    if (m_footer)
        m_footer->Recalculate();
}

int TVoskDBGrid2::groupAt(const QPoint& pos) const {
    const int row = rowAt(pos.y());
    if (row < 0 || size_t(row) >= m_rowBands.size())
        return -1;
    const int band = (pos.y() - rowViewportPosition(row)) / bandHeight();
    const TRowBands& b = m_rowBands[size_t(row)];
    return band >= 0 && band < int(b.groups.size()) ? b.groups[size_t(band)] : -1;
}

void TVoskDBGrid2::mousePressEvent(QMouseEvent* e) {
    const int g = groupAt(e->position().toPoint());
    if (g < 0) {
        QTableView::mousePressEvent(e);
        return;
    }
    // A click on a group's head opens or closes it and leaves the current record alone.
    const QVariantList path = m_groups[size_t(g)].path;
    SetGroupExpanded(path, !GroupExpanded(path));
    e->accept();
}

void TVoskDBGrid2::mouseDoubleClickEvent(QMouseEvent* e) {
    if (groupAt(e->position().toPoint()) >= 0) {
        e->accept();
        return;
    }
    QTableView::mouseDoubleClickEvent(e);
}

void TVoskDBGrid2::paintEvent(QPaintEvent* e) {
    QTableView::paintEvent(e);
    if (m_rowBands.empty() || !m_model)
        return;
    QPainter p(viewport());
    const int first = qMax(0, rowAt(e->rect().top()));
    int last = rowAt(e->rect().bottom());
    if (last < 0)
        last = m_model->rowCount() - 1;
    const int bh = bandHeight();
    const int width = viewport()->width();
    const QColor bandColour = palette().color(QPalette::AlternateBase).darker(104);
    for (int r = first; r <= last && size_t(r) < m_rowBands.size(); ++r) {
        if (isRowHidden(r))
            continue;
        const TRowBands& b = m_rowBands[size_t(r)];
        const int y = rowViewportPosition(r);
        for (size_t i = 0; i < b.groups.size(); ++i) {
            const TGridGroup& g = m_groups[size_t(b.groups[i])];
            const QRect band(0, y + int(i) * bh, width, bh);
            p.fillRect(band, bandColour);
            p.setPen(palette().color(QPalette::Mid));
            p.drawLine(band.bottomLeft(), band.bottomRight());
            const int x = 4 + g.level * kIndent;
            QStyleOption arrow;
            arrow.initFrom(this);
            arrow.rect = QRect(x, band.top() + (bh - 10) / 2, 10, 10);
            style()->drawPrimitive(GroupExpanded(g.path) ? QStyle::PE_IndicatorArrowDown
                                                         : QStyle::PE_IndicatorArrowRight,
                                   &arrow, &p, this);
            QFont f = font();
            f.setBold(true);
            p.setFont(f);
            p.setPen(palette().color(QPalette::Text));
            p.drawText(band.adjusted(x + 16, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft,
                       GroupCaption(g));
        }
        if (b.previewLines > 0) {
            const int top = y + int(b.groups.size()) * bh + cellHeight();
            const QRect band(0, top, width, rowHeight(r) - (top - y));
            const bool selected = selectionModel() && selectionModel()->isRowSelected(r, {});
            p.fillRect(band, selected ? palette().color(QPalette::Highlight).lighter(170)
                                      : palette().color(QPalette::Base));
            p.setPen(palette().color(QPalette::Midlight));
            p.drawLine(band.bottomLeft(), band.bottomRight());
            QFont f = font();
            f.setItalic(true);
            p.setFont(f);
            p.setPen(palette().color(QPalette::PlaceholderText));
            const QRect text = band.adjusted(kIndent, 2, -8, -2);
            QString shown = PreviewText(r);
            const int lines = text.height() / qMax(1, fontMetrics().lineSpacing());
            if (fontMetrics().boundingRect(text, Qt::TextWordWrap, shown).height() > text.height())
                shown = fontMetrics().elidedText(shown.simplified(), Qt::ElideRight,
                                                 text.width() * qMax(1, lines) - 20);
            p.drawText(text, Qt::TextWordWrap | Qt::AlignTop | Qt::AlignLeft, shown);
        }
    }
}

// ---- bars around the records ---------------------------------------------------------------

void TVoskDBGrid2::updateGeometries() {
    // Moving the margins resizes the viewport, which asks for the geometries again.
    if (m_placingBars)
        return;
    QTableView::updateGeometries();
    m_placingBars = true;
    placeBars();
    m_placingBars = false;
}

void TVoskDBGrid2::placeBars() {
    const int top = m_groupByBox && m_groupByBoxVisible ? m_groupByBox->sizeHint().height() : 0;
    const int bottom = m_footer && m_footerVisible ? m_footer->sizeHint().height() : 0;
    if (top == 0 && bottom == 0 && !m_groupByBox && !m_footer)
        return;
    QHeaderView* hh = horizontalHeader();
    QHeaderView* vh = verticalHeader();
    const int left = vh->isHidden() ? 0 : vh->width();
    const int head = hh->isHidden() ? 0 : hh->height();
    setViewportMargins(left, head + top, 0, bottom);
    const QRect vg = viewport()->geometry();
    if (!hh->isHidden())
        hh->setGeometry(vg.left(), vg.top() - head, vg.width(), head);
    if (!vh->isHidden())
        vh->setGeometry(vg.left() - left, vg.top(), left, vg.height());
    const QRect frame = contentsRect();
    if (m_groupByBox)
        m_groupByBox->setGeometry(frame.left(), frame.top(), frame.width(), top);
    if (m_footer)
        m_footer->setGeometry(frame.left(), vg.bottom() + 1, frame.width(), bottom);
}

// ---- footer ------------------------------------------------------------------------------

void TVoskDBGrid2::SetFooterVisible(bool on) {
    m_footerVisible = on;
    if (on && !m_footer)
        m_footer = new TVoskGridFooter(this);
    if (m_footer) {
        m_footer->setVisible(on);
        m_footer->Recalculate();
    }
    updateGeometries();
}

TVoskDBGrid2::TSummaryKind TVoskDBGrid2::FooterSummary(const QString& field) const {
    const auto it = m_summaries.constFind(field.toLower());
    if (it != m_summaries.cend())
        return *it;
    // Without a choice: amounts are summed; whole numbers are mostly keys and counts are not.
    const int col = columnByFieldName(field);
    return m_class && col >= 0 && m_class->FieldIsNumeric(col) && !m_class->FieldIsInteger(col)
               ? skSum
               : skNone;
}

void TVoskDBGrid2::SetFooterSummary(const QString& field, TSummaryKind kind) {
    m_summaries.insert(field.toLower(), kind);
    if (m_footer)
        m_footer->Recalculate();
}

QString TVoskDBGrid2::SummaryKindText(TSummaryKind kind) {
    switch (kind) {
    case skSum: return QStringLiteral("Summe");
    case skCount: return QStringLiteral("Anzahl");
    case skMin: return QStringLiteral("Minimum");
    case skMax: return QStringLiteral("Maximum");
    case skAverage: return QStringLiteral("Durchschnitt");
    default: return QStringLiteral("Keine");
    }
}

QVariant TVoskDBGrid2::FooterValue(const QString& field) const {
    const int col = columnByFieldName(field);
    const TSummaryKind kind = FooterSummary(field);
    if (!m_class || col < 0 || kind == skNone)
        return {};
    const int rows = m_class->RecordCount();
    qint64 count = 0;
    qint64 intSum = 0;
    long double sum = 0;
    bool integers = true;
    QVariant least, most;
    for (int r = 0; r < rows; ++r) {
        if (size_t(r) < m_filterOut.size() && m_filterOut[size_t(r)])
            continue;
        const QVariant v = m_class->Value(r, col);
        if (v.isNull())
            continue; // no value is not a zero: it counts nowhere
        ++count;
        if (kind == skSum || kind == skAverage) {
            if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong)
                intSum += v.toLongLong();
            else
                integers = false;
            sum += static_cast<long double>(v.toDouble());
        } else if (kind == skMin || kind == skMax) {
            if (least.isNull() || QVariant::compare(v, least) == QPartialOrdering::Less)
                least = v;
            if (most.isNull() || QVariant::compare(v, most) == QPartialOrdering::Greater)
                most = v;
        }
    }
    switch (kind) {
    case skCount: return count;
    case skSum:
        if (count == 0)
            return {};
        return integers ? QVariant(intSum) : QVariant(double(sum));
    case skAverage: return count == 0 ? QVariant() : QVariant(double(sum / count));
    case skMin: return least;
    case skMax: return most;
    default: return {};
    }
}

QString TVoskDBGrid2::FooterText(const QString& field) const {
    const QVariant v = FooterValue(field);
    if (v.isNull())
        return {};
    const TSummaryKind kind = FooterSummary(field);
    QString text;
    switch (v.typeId()) {
    case QMetaType::Double: {
        // As many decimals as the values carry: an average of amounts keeps two.
        int decimals = 0;
        const int col = columnByFieldName(field);
        for (int r = 0; r < m_class->RecordCount() && decimals < 6; ++r)
            if (const QVariant x = m_class->Value(r, col); !x.isNull())
                decimals = qMax(decimals, DecimalsOf(x.toDouble()));
        if (kind == skAverage)
            decimals = qMax(decimals, 2);
        text = German().toString(v.toDouble(), 'f', decimals);
        break;
    }
    case QMetaType::Int:
    case QMetaType::LongLong: text = German().toString(v.toLongLong()); break;
    case QMetaType::QDate: text = v.toDate().toString(QStringLiteral("dd.MM.yyyy")); break;
    case QMetaType::QDateTime:
        text = v.toDateTime().toString(QStringLiteral("dd.MM.yyyy hh:mm"));
        break;
    default: text = v.toString();
    }
    switch (kind) {
    case skSum: return QStringLiteral("Σ ") + text;
    case skAverage: return QStringLiteral("Ø ") + text;
    case skCount: return QStringLiteral("Anzahl: ") + text;
    case skMin: return QStringLiteral("Min: ") + text;
    default: return QStringLiteral("Max: ") + text;
    }
}

// ---- preview -----------------------------------------------------------------------------

void TVoskDBGrid2::SetPreviewField(const QString& field) {
    m_previewField = field;
    LayoutRows();
}

bool TVoskDBGrid2::HasPreviewColumn() const {
    return !m_previewField.isEmpty() && columnByFieldName(m_previewField) >= 0;
}

void TVoskDBGrid2::SetPreviewVisible(bool on) {
    if (on == m_previewVisible)
        return;
    m_previewVisible = on;
    LayoutRows();
}

QString TVoskDBGrid2::PreviewText(int row) const {
    const int col = columnByFieldName(m_previewField);
    if (!m_class || col < 0 || row < 0 || row >= m_class->RecordCount())
        return {};
    return m_class->Value(row, col).toString().trimmed();
}

// ---- layout text -------------------------------------------------------------------------

void TVoskDBGrid2::groupsToLayout(QJsonObject& root) const {
    if (!m_groupFields.isEmpty())
        root[QStringLiteral("groupFields")] = QJsonArray::fromStringList(m_groupFields);
    if (m_groupByBoxVisible)
        root[QStringLiteral("groupByBox")] = true;
    if (m_footerVisible)
        root[QStringLiteral("footer")] = true;
    QJsonObject summaries;
    for (auto it = m_summaries.cbegin(); it != m_summaries.cend(); ++it)
        summaries[it.key()] = int(it.value());
    if (!summaries.isEmpty())
        root[QStringLiteral("summaries")] = summaries;
}

void TVoskDBGrid2::groupsFromLayout(const QJsonObject& root) {
    m_summaries.clear();
    const QJsonObject summaries = root.value(QStringLiteral("summaries")).toObject();
    for (auto it = summaries.begin(); it != summaries.end(); ++it) {
        const int k = it.value().toInt(-1);
        if (k >= skNone && k <= skAverage)
            m_summaries.insert(it.key().toLower(), TSummaryKind(k));
    }
    SetGroupByBoxVisible(root.value(QStringLiteral("groupByBox")).toBool());
    SetFooterVisible(root.value(QStringLiteral("footer")).toBool());
    QStringList fields;
    for (const QJsonValue& v : root.value(QStringLiteral("groupFields")).toArray())
        if (columnByFieldName(v.toString()) >= 0)
            fields << v.toString();
    SetGroupFields(fields);
}
