// Stored layouts of the tree list.

#include "TVoskDBTreeView2.h"

#include "Korvexutils.h"
#include "UDM1.h"
#include "Uloghelper.h"
#include "Vcl.Components.h"

#include <TVoskClass.h>

#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

QString TVoskDBTreeView2::FormClassName() const {
    QWidget* form = Korvexutils::KorvexGetForm(const_cast<TVoskDBTreeView2*>(this));
    for (QObject* o = Vcl::Owner(this); o; o = Vcl::Owner(o))
        if (o->isWidgetType() && static_cast<QWidget*>(o)->isWindow()) {
            form = static_cast<QWidget*>(o);
            break;
        }
    return form ? Vcl::ClassName(form) : QString();
}

bool TVoskDBTreeView2::LayoutExists(int type) {
    return VoskGridLayouts::Exists({FormClassName(), GridName()}, type, &m_layoutSavedAt,
                                   &m_layoutSavedBy);
}

bool TVoskDBTreeView2::LayoutLoad(int type) {
    const QVariant text = VoskGridLayouts::Load({FormClassName(), GridName()}, type);
    return !text.isNull() && ApplyLayoutText(text.toString());
}

void TVoskDBTreeView2::LayoutSave(int type) {
    VoskGridLayouts::Save({FormClassName(), GridName()}, type, LayoutText());
}

void TVoskDBTreeView2::LayoutDelete(int type) {
    VoskGridLayouts::Delete({FormClassName(), GridName()}, type);
}

bool TVoskDBTreeView2::LayoutIsDefault() {
    return VoskGridLayouts::IsDefault({FormClassName(), GridName()});
}

void TVoskDBTreeView2::SetLayoutDefault(bool on) {
    VoskGridLayouts::SetDefault({FormClassName(), GridName()}, on);
}

void TVoskDBTreeView2::InitLayout() {
    TDM1* dm = DM1();
    if (m_layoutInitDone || !dm || !dm->Connected())
        return;
    m_layoutInitDone = true;
    const bool user = LayoutExists(1);
    const bool global = LayoutExists(2);
    if (user && (!global || LayoutIsDefault()))
        LayoutLoad(1);
    else if (global)
        LayoutLoad(2);
}

void TVoskDBTreeView2::OptimalWidths() {
    if (!m_model)
        return;
    for (int c = 0; c < m_model->columnCount(); ++c)
        if (!isColumnHidden(c))
            resizeColumnToContents(c);
}

QString TVoskDBTreeView2::LayoutText() const {
    QJsonArray cols;
    const QHeaderView* h = header();
    const QStringList fields = m_class ? m_class->FieldNames() : QStringList();
    for (int v = 0; v < h->count(); ++v) {
        const int c = h->logicalIndex(v);
        if (c < 0 || c >= fields.size())
            continue;
        QJsonObject o;
        o[QStringLiteral("field")] = fields[c];
        o[QStringLiteral("width")] = columnWidth(c);
        o[QStringLiteral("visible")] = !isColumnHidden(c);
        cols.append(o);
    }
    QJsonObject root;
    root[QStringLiteral("columns")] = cols;
    const int sortCol = h->sortIndicatorSection();
    if (sortCol >= 0 && sortCol < fields.size() && h->isSortIndicatorShown()) {
        root[QStringLiteral("sortField")] = fields[sortCol];
        root[QStringLiteral("sortDescending")] = h->sortIndicatorOrder() == Qt::DescendingOrder;
    }
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Compact));
}

bool TVoskDBTreeView2::ApplyLayoutText(const QString& text) {
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject() ||
        !doc.object().value(QStringLiteral("columns")).isArray()) {
        TKorvexLog::LogMessage(QStringLiteral("%1.%2: Layout nicht lesbar, ignoriert: %3")
                                   .arg(FormClassName(), GridName(), err.errorString()),
                               TKorvexLogLevel::Warning);
        return false;
    }
    if (!m_class || m_class->FieldCount() == 0) {
        m_pendingLayout = text; // applied when the columns come
        return true;
    }
    m_pendingLayout.clear();
    const QJsonObject root = doc.object();
    QHeaderView* h = header();
    QStringList hidden = m_hiddenFields;
    int visual = 0;
    for (const QJsonValue& v : root.value(QStringLiteral("columns")).toArray()) {
        const QJsonObject o = v.toObject();
        const QString field = o.value(QStringLiteral("field")).toString();
        const int c = columnByFieldName(field);
        if (c < 0)
            continue; // a column the query no longer has
        h->moveSection(h->visualIndex(c), visual++);
        const int w = o.value(QStringLiteral("width")).toInt(-1);
        if (w > 0)
            setColumnWidth(c, w);
        hidden.removeAll(field);
        if (!o.value(QStringLiteral("visible")).toBool(true))
            hidden << field;
    }
    m_hiddenFields = hidden;
    const QStringList fields = m_class->FieldNames();
    for (int c = 0; c < fields.size(); ++c)
        setColumnHidden(c, m_hiddenFields.contains(fields[c], Qt::CaseInsensitive));
    const int sortCol = columnByFieldName(root.value(QStringLiteral("sortField")).toString());
    if (sortCol >= 0)
        sortByColumn(sortCol, root.value(QStringLiteral("sortDescending")).toBool()
                                  ? Qt::DescendingOrder
                                  : Qt::AscendingOrder);
    return true;
}

void TVoskDBTreeView2::applyLayoutIfPending() {
    if (!m_pendingLayout.isEmpty() && m_class && m_class->FieldCount() > 0) {
        const QString text = m_pendingLayout;
        ApplyLayoutText(text);
    }
}
