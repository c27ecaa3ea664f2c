#pragma once
// A splitter bar between two controls of the same parent: dragging it resizes Control, the
// control it is aligned against.

#include <QPointer>
#include <QWidget>

class TcxSplitter : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QWidget* Control READ Control WRITE SetControl)
public:
    Q_INVOKABLE explicit TcxSplitter(QWidget* parent = nullptr);

    QWidget* Control() const { return m_control; }
    void SetControl(QWidget* control) { m_control = control; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QPointer<QWidget> m_control;
    int m_pressX = 0;
    int m_startWidth = 0;
};
