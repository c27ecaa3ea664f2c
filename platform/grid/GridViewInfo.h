#pragma once
// The geometry a view computes before it paints: the size of the expand buttons, the indent of a
// grouping level, and the touch mode with the size a finger needs. A view creates its info through
// its own info class, so that a derived view can change the indent. Also the view's data hook
// class, which a derived library fills with its own behaviour.

namespace Grid {

class GridViewInfo {
public:
    virtual ~GridViewInfo() = default;

    int ExpandButtonSize = 9;
    bool TouchMode = false;
    int TouchableSize = 24; // the smallest extent a finger hits reliably

    // Offset of the expand button inside its level indent.
    virtual int ExpandButtonOffset() const { return 2; }
    // Width that one grouping level indents its rows.
    virtual int LevelIndent() const { return ExpandButtonSize + 2 * ExpandButtonOffset(); }
};

// The view's data object; the base adds nothing to the data controller's.
class GridViewData {
public:
    virtual ~GridViewData() = default;
};

} // namespace Grid
