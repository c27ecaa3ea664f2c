#pragma once
// The view items of the grid menu that the header and the navigation frame share: the group-by
// box, the footer with its sums, the long-text preview and expanding or collapsing all groups.
// Each frame owns its items (its own component names) and calls these for their rules.

#include <QString>

class QObject;
class QWidget;
class TVoskDBGrid2;
class TVoskMenuItem;
class TVoskPopupMenu;

struct TGridViewMenu {
    TVoskMenuItem* moGruppierung = nullptr;
    TVoskMenuItem* moFooter = nullptr; // moFusszeileSummierung in the navigation frame
    TVoskMenuItem* moTxtVorschau = nullptr;
    TVoskMenuItem* moConditionalFormating = nullptr;
    TVoskMenuItem* moAufklappen = nullptr;
    TVoskMenuItem* moZusammenfalten = nullptr;

    // Adds the items to menu, owned by owner; grid answers the grid the items act on.
    void Create(TVoskPopupMenu* menu, QObject* owner, const char* footerName,
                TVoskDBGrid2* (*grid)(QObject* owner));
    // The items' states as the menu opens.
    void Update(TVoskDBGrid2* grid) const;

    // The last-value key of a view's preview: form class (as the migration names it), the
    // view's name, "_ShowPreviewText_" and the login.
    static QString PreviewKey(const QString& formClass, const TVoskDBGrid2* grid);
    // Toggles the preview and keeps the choice.
    static void TxtVorschauClick(TVoskDBGrid2* grid, const QString& formClass, bool on);
    // The rules dialog of the grid's conditional formatting.
    static void ConditionalFormatingClick(TVoskDBGrid2* grid);
    // Shows the preview as the user last left it.
    static void LoadPreview(TVoskDBGrid2* grid, const QString& formClass);
};
