#pragma once
// The link between a dataset and the controls that show it.

#include <QObject>
#include <QPointer>

namespace Vcl {

class TDataSource : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject* DataSet READ DataSet WRITE SetDataSet)
public:
    Q_INVOKABLE explicit TDataSource(QObject* owner = nullptr) : QObject(owner) {}
    QObject* DataSet() const { return m_dataSet; }
    void SetDataSet(QObject* dataSet) { m_dataSet = dataSet; }

private:
    QPointer<QObject> m_dataSet;
};

} // namespace Vcl
