#pragma once
// How a grid offers searching to the header: a search panel shown over the grid, and a find
// box opened next to a control. A grid may offer either or both.

class QString;
class QWidget;

// {B8C6D925-4E95-40D9-9E99-BAE5085B626B}
class IVoskGridSearchPanel {
public:
    virtual ~IVoskGridSearchPanel() = default;
    virtual bool SearchPanelVisible() const = 0;
    // Shows the panel; focus puts the cursor into its text.
    virtual void ShowSearchPanel(bool focus) = 0;
    virtual void HideSearchPanel() = 0;
};

// {2CCC4769-7CF8-419A-8239-36643104B427}
class IVoskGridFind {
public:
    virtual ~IVoskGridFind() = default;
    // Opens the find box below anchor.
    virtual void ShowFind(QWidget* anchor) = 0;
    // Moves to the next shown row at or after the current one whose shown text contains text.
    virtual bool FindNext(const QString& text, bool fromStart) = 0;
};
