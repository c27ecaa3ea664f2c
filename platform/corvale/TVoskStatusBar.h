#pragma once
// Status bar of fixed panels, left to right: each has a text, a width (-1 takes the rest) and can
// be hidden. A panel may hold a container instead of its text, a widget of buttons that the form
// fills; the container's own visibility stays with whoever fills it.

#include <QPointer>
#include <QStatusBar>

class QLabel;

class TVoskStatusBar final : public QStatusBar {
    Q_OBJECT
public:
    explicit TVoskStatusBar(QWidget* parent = nullptr);

    int AddPanel(const QString& text = {}, int width = 100); // index of the new panel
    int PanelCount() const { return int(m_panels.size()); }
    QLabel* Panel(int index) const; // null outside the range
    QString PanelText(int index) const;
    void SetPanelText(int index, const QString& text);
    int PanelWidth(int index) const;
    void SetPanelWidth(int index, int width);
    bool PanelVisible(int index) const;
    void SetPanelVisible(int index, bool visible);
    // Puts the container in the panel's place; the panel's text is no longer shown.
    void SetPanelContainer(int index, QWidget* container);
    QWidget* PanelContainer(int index) const;

private:
    struct PanelState {
        QLabel* label;
        int width;
        bool visible; // kept apart: isVisible() is false while the bar is not shown
        QPointer<QWidget> container;
    };
    PanelState& at(int index); // throws outside the range
    const PanelState& at(int index) const;
    QList<PanelState> m_panels;
};
