#include "VoskLinkColumns.h"

#include <TVoskClass.h>
#include <TVoskDataModel.h>

#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>

void TVoskLinkColumns::Mark(TVoskDataModel* model) {
    TVoskClass* c = model ? model->DataClass() : nullptr;
    m_pending = !c || c->FieldCount() == 0;
    if (m_pending)
        return;
    m_modules = TVoskPopupMenu::LinkModulesOf(c->FieldNames());
    QHash<QString, QString> notes;
    for (auto it = m_modules.cbegin(); it != m_modules.cend(); ++it) {
        QStringList captions;
        for (const TLinkModule& m : it.value())
            captions << m.Caption;
        notes.insert(it.key(), QStringLiteral("Verknüpfte Module (Kontextmenü): ") +
                                   captions.join(QStringLiteral(", ")));
    }
    if (notes.isEmpty()) {
        model->SetHeaderExtra({});
        return;
    }
    model->SetHeaderExtra([notes](const QString& field, int role) -> QVariant {
        const auto note = notes.constFind(field.toLower());
        if (note == notes.cend())
            return {};
        switch (role) {
        case Qt::ToolTipRole:
            return field + u'\n' + *note;
        case Qt::FontRole: {
            QFont f = QGuiApplication::font();
            f.setUnderline(true);
            return f;
        }
        case Qt::ForegroundRole:
            return QGuiApplication::palette().link();
        default:
            return {};
        }
    });
}

void TVoskLinkColumns::MarkIfPending(TVoskDataModel* model) {
    if (m_pending)
        Mark(model);
}

QList<TLinkModule> TVoskLinkColumns::Modules(const QString& field) const {
    return m_modules.value(field.toLower());
}

QList<TLinkModule> TVoskLinkColumns::LinkAt(const QModelIndex& index, TVoskClass* dataClass,
                                            QString& value) const {
    const QString field = dataClass && index.isValid()
                              ? dataClass->FieldNames().value(index.column())
                              : QString();
    QList<TLinkModule> modules = Modules(field);
    value = modules.isEmpty() ? QString() : index.data(Qt::EditRole).toString();
    return modules;
}

TVoskPopupMenu* TVoskLinkColumns::EnsureMenu(QAbstractItemView* view) {
    if (!m_menu) {
        m_menu = new TVoskPopupMenu(view);
        m_menu->setObjectName(QStringLiteral("pmLinkModules"));
        m_menu->setAccessibleName(QStringLiteral("Verknüpfte Module"));
        m_menu->setToolTip(QStringLiteral("Module zum Wert der Zelle"));
    }
    return m_menu;
}

void TVoskLinkColumns::ContextMenu(QAbstractItemView* view, QContextMenuEvent* e,
                                   const QModelIndex& index, TVoskClass* dataClass) {
    QString value;
    const QList<TLinkModule> modules = LinkAt(index, dataClass, value);
    // A menu that offers the record parameters opens on any record, links or not.
    const bool pivot = m_menu && m_menu->RecNoParamPivot() && index.isValid();
    if (value.trimmed().isEmpty() && !pivot) {
        e->ignore();
        return;
    }
    if (index.isValid() && index != view->currentIndex())
        view->setCurrentIndex(index);
    EnsureMenu(view)->SetOfferedLinks(value.trimmed().isEmpty() ? QList<TLinkModule>() : modules,
                                      value);
    m_menu->popup(e->reason() == QContextMenuEvent::Mouse
                      ? e->globalPos()
                      : view->viewport()->mapToGlobal(view->visualRect(index).bottomLeft()));
    e->accept();
}
