#pragma once
// TVoskLabel: the label of the forms. A click on it runs OnClick (the monitor rows of the document
// window select their document that way); with a handler the label shows a pointing hand.

#include <QLabel>

#include <functional>

class TVoskLabel : public QLabel {
    Q_OBJECT
public:
    explicit TVoskLabel(QWidget* parent = nullptr);

    std::function<void(QObject* sender)> OnClick;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent* e) override;

private:
    bool m_pressed = false;
};
