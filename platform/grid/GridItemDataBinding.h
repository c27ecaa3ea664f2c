#pragma once
// The data binding of one item (column) of a grid view: what the data source is asked for.
// A view creates its items' bindings through its own binding class; the base knows only its
// place in the data controller and the caption.

#include <QString>

namespace Grid {

class DataController;

class GridItemDataBinding {
public:
    GridItemDataBinding();
    virtual ~GridItemDataBinding();
    GridItemDataBinding(const GridItemDataBinding&) = delete;
    GridItemDataBinding& operator=(const GridItemDataBinding&) = delete;

    DataController* Controller() const { return m_controller; }
    int Index() const { return m_index; }
    // The set caption, else the binding's default.
    QString Caption() const { return m_caption.isEmpty() ? DefaultCaption() : m_caption; }
    void SetCaption(const QString& caption) { m_caption = caption; }
    virtual QString DefaultCaption() const { return {}; }
    virtual void Assign(const GridItemDataBinding& other) { m_caption = other.m_caption; }

private:
    friend class DataController;
    DataController* m_controller = nullptr;
    int m_index = -1;
    QString m_caption;
};

} // namespace Grid
