#pragma once
// TDummy::Clone copies a template control: the document window makes the rows of its check-out
// monitor from a template panel this way. Qt cannot stream widgets, so the copy is made from the
// source's stored writable properties (and dynamic ones such as Tag and the hint switch), with its
// child controls copied the same way into the same layout places, and its click handler carried
// over (signals are not copied).
//
// The copy takes the source's name; a panel's copy adds "_" and a number in hexadecimal, so that
// copies of one template side by side have different names, while the controls inside a copied
// panel keep the template's names (find them with Vcl::FindComponent on the copied panel, which
// owns them). Classes that can be copied: panels, frames and plain widgets, labels and buttons of
// the component layer and of Qt; any other one is refused with an exception.

#include <QWidget>

class TDummy final {
public:
    template <class T> static T* Clone(T* source, QObject* owner, QWidget* parent) {
        return static_cast<T*>(cloneControl(source, owner, parent, true));
    }

private:
    static QWidget* cloneControl(QWidget* source, QObject* owner, QWidget* parent, bool top);
};
