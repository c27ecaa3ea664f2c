// Stored layouts of the tree list.

#include "TVoskDBTreeView2.h"

#include "Korvexutils.h"
#include "UDM1.h"
#include "Uloghelper.h"
#include "Vcl.Components.h"
#include "VoskConditionalFormatting.h"

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
    QJsonObject root = VoskGridLayouts::ColumnsToLayout(
        header(), m_class ? m_class->FieldNames() : QStringList());
    m_conditionalFormatting->ToLayout(root);
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Compact));
}

bool TVoskDBTreeView2::ApplyLayoutText(const QString& text) {
    QJsonObject root;
    if (!VoskGridLayouts::ParseLayout(text, FormClassName() + u'.' + GridName(), &root))
        return false;
    if (!m_class || m_class->FieldCount() == 0) {
        m_pendingLayout = text; // applied when the columns come
        return true;
    }
    m_pendingLayout.clear();
    VoskGridLayouts::ColumnsFromLayout(header(), root, m_class->FieldNames(), m_hiddenFields,
                                       [this](int c, Qt::SortOrder o) { sortByColumn(c, o); });
    m_conditionalFormatting->FromLayout(root, FormClassName() + u'.' + GridName());
    return true;
}

void TVoskDBTreeView2::applyLayoutIfPending() {
    if (!m_pendingLayout.isEmpty() && m_class && m_class->FieldCount() > 0) {
        const QString text = m_pendingLayout;
        ApplyLayoutText(text);
    }
}
