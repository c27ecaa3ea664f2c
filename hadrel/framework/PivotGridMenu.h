#pragma once
// The grid menu of the header and the navigation frame over a pivot grid. A pivot grid keeps no
// layout of the user's own and has no optimal widths: only the global layout, which stores its
// field assignment, is offered, together with the export. Each frame passes its own items.

#include "cxGridExportLink.h"

#include <QString>

class QWidget;
class TVoskMenuItem;

struct TPivotGridMenu {
    struct TItems {
        TVoskMenuItem* moLayoutLoad;
        TVoskMenuItem* moLayoutSave;
        TVoskMenuItem* moLayoutDelete;
        TVoskMenuItem* moLayoutLocalFavor;
        TVoskMenuItem* moOptimaleBreite;
        TVoskMenuItem* moLayoutGlobalLoad;
        TVoskMenuItem* moLayoutGlobalSave;
        TVoskMenuItem* moLayoutGlobalDelete;
        TVoskMenuItem* moExportieren;
        TVoskMenuItem* moDrucken;
        TVoskMenuItem* moTabFilter;
    };
    // The items' states as the menu opens; nothing when grid is no pivot grid.
    static void Update(QWidget* grid, const TItems& items, const QString& formClass);
    // The layout items over a pivot grid; false when grid is none, so the frame goes on with its
    // own grid. Saving and deleting the global layout (type 2) is for administrators.
    static bool LayoutLoad(QWidget* grid, int type);
    static bool LayoutSave(QWidget* grid, int type);
    static bool LayoutDelete(QWidget* grid, int type);
    // Restores the stored field assignment unless the form loads layouts itself.
    static bool LoadGridSettings(QWidget* grid, bool manualLayoutLoading);
};
