#pragma once
// Status bar of fixed panels, left to right: each has a text, a width (-1 takes the rest) and can
// be hidden.

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

private:
    QLabel* at(int index) const; // throws outside the range
    QList<QLabel*> m_panels;
    QList<int> m_widths;
    QList<bool> m_visible; // kept apart: isVisible() is false while the bar is not shown
};
