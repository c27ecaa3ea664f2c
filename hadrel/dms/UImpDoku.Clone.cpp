#include "UImpDoku.Clone.h"

#include <TVoskLabel.h>
#include <Vcl.Components.h>
#include <VoskControls.h>
#include <VoskExceptions.h>
#include <VoskKeyControls.h>

#include <QBoxLayout>
#include <QFrame>
#include <QLabel>
#include <QMetaProperty>
#include <QPushButton>
#include <QToolButton>

#include <functional>

namespace {

struct Copier {
    const QMetaObject* meta;
    std::function<QWidget*(QWidget* parent)> create;
    std::function<void(QWidget* from, QWidget* to)> carryClick;
};

template <class T> Copier plain() {
    return {&T::staticMetaObject, [](QWidget* parent) { return new T(parent); }, nullptr};
}

template <class T> Copier withClick() {
    return {&T::staticMetaObject, [](QWidget* parent) { return new T(parent); },
            [](QWidget* from, QWidget* to) {
                static_cast<T*>(to)->OnClick = static_cast<T*>(from)->OnClick;
            }};
}

const Copier* copierFor(const QMetaObject* meta) {
    static const Copier copiers[] = {
        plain<TPanel>(),       withClick<TVoskLabel>(), withClick<TVoskButton>(),
        plain<TVoskButton2>(), plain<QLabel>(),         plain<QPushButton>(),
        plain<QToolButton>(),  plain<QFrame>(),         plain<QWidget>(),
    };
    for (const Copier& c : copiers)
        if (c.meta == meta)
            return &c;
    return nullptr;
}

void copyProperties(const QObject* from, QObject* to) {
    const QMetaObject* meta = from->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty p = meta->property(i);
        // What a form resource would hold: stored, writable, designable; the name is given
        // by the copy itself.
        if (!p.isWritable() || !p.isStored() || !p.isDesignable() ||
            qstrcmp(p.name(), "objectName") == 0)
            continue;
        p.write(to, p.read(from));
    }
    for (const QByteArray& name : from->dynamicPropertyNames())
        if (!name.startsWith("_q_"))
            to->setProperty(name.constData(), from->property(name.constData()));
}

void copyBoxLayout(const QBoxLayout* from, QBoxLayout* to) {
    to->setDirection(from->direction());
    to->setContentsMargins(from->contentsMargins());
    to->setSpacing(from->spacing());
}

} // namespace

QWidget* TDummy::cloneControl(QWidget* source, QObject* owner, QWidget* parent, bool top) {
    if (!source)
        throw EVoskException(QStringLiteral("TDummy.Clone: keine Vorlage"));
    const Copier* copier = copierFor(source->metaObject());
    if (!copier)
        throw EVoskException(QStringLiteral("TDummy.Clone: %1 kann nicht kopiert werden")
                                 .arg(Vcl::ClassName(source)));
    QWidget* copy = copier->create(parent);
    try {
        copyProperties(source, copy);
        QString name = source->objectName();
        if (top && qobject_cast<TPanel*>(source)) {
            static quint64 serial = 0;
            name += u'_' + QString::number(++serial, 16).toUpper();
        }
        copy->setObjectName(name);
        copy->setHidden(source->isHidden());
        if (owner)
            Vcl::SetOwner(copy, owner);
        if (copier->carryClick)
            copier->carryClick(source, copy);

        // The children: into the same places of the layout, or at the same position without one.
        auto* fromBox = qobject_cast<QBoxLayout*>(source->layout());
        auto* toBox = qobject_cast<QBoxLayout*>(copy->layout());
        if (fromBox && !toBox)
            toBox = new QBoxLayout(fromBox->direction(), copy);
        if (fromBox)
            copyBoxLayout(fromBox, toBox);
        // Controls inside a copied panel belong to the panel's copy.
        QObject* childOwner = top ? static_cast<QObject*>(copy) : owner;
        for (int i = 0; fromBox && i < fromBox->count(); ++i) {
            QLayoutItem* item = fromBox->itemAt(i);
            if (QWidget* w = item->widget()) {
                QWidget* c = cloneControl(w, childOwner, copy, false);
                toBox->addWidget(c, fromBox->stretch(i), item->alignment());
            } else if (QSpacerItem* spacer = item->spacerItem()) {
                const bool grows = fromBox->direction() == QBoxLayout::LeftToRight ||
                                           fromBox->direction() == QBoxLayout::RightToLeft
                                       ? spacer->expandingDirections() & Qt::Horizontal
                                       : spacer->expandingDirections() & Qt::Vertical;
                if (grows)
                    toBox->addStretch(fromBox->stretch(i));
                else
                    toBox->addSpacing(fromBox->direction() == QBoxLayout::LeftToRight ||
                                              fromBox->direction() == QBoxLayout::RightToLeft
                                          ? spacer->sizeHint().width()
                                          : spacer->sizeHint().height());
            }
        }
        for (QWidget* w : source->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if ((fromBox && fromBox->indexOf(w) >= 0) || !copierFor(w->metaObject()))
                continue;
            QWidget* c = cloneControl(w, childOwner, copy, false);
            c->setGeometry(w->geometry());
        }
    } catch (...) {
        delete copy;
        throw;
    }
    return copy;
}
