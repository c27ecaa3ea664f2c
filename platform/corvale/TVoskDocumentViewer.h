#pragma once
// Base of the document viewers: the data class whose record the shown document belongs to and
// the ident of the document's node in that record's document tree. A viewer hands both to its
// module form when the user asks for the record's documents.

#include <QPointer>
#include <QWidget>

class TVoskClass;

class TVoskDocumentViewer : public QWidget {
    Q_OBJECT
public:
    explicit TVoskDocumentViewer(QWidget* parent = nullptr) : QWidget(parent) {}

    TVoskClass* DataClass() const { return m_dataClass; }
    void SetDataClass(TVoskClass* dataClass) { m_dataClass = dataClass; }
    int NodeIdent() const { return m_nodeIdent; }
    void SetNodeIdent(int ident) { m_nodeIdent = ident; }

private:
    QPointer<TVoskClass> m_dataClass;
    int m_nodeIdent = 0;
};
