#pragma once
// What the grid menus of the header and the navigation frame do for a tree list beyond its
// layouts: expanding and collapsing all nodes (always offered), the long-text preview and its
// remembered choice, the conditional formatting, the export and the multi-delete of the
// navigator, and the tree's start-up.

#include <QString>

class QObject;
class QWidget;
class TVoskDBTreeView2;
struct TGridViewMenu;

struct TTreeListMenu {
    // Connects the expand and collapse items to the tree tree(owner) answers.
    static void Bind(const TGridViewMenu& items, QObject* owner,
                     TVoskDBTreeView2* (*tree)(QObject* owner));
    // The items' states as the menu opens, after TGridViewMenu::Update; nothing without a tree.
    static void Update(const TGridViewMenu& items, TVoskDBTreeView2* tree);

    // The same last-value key as a grid view's preview.
    static QString PreviewKey(const QString& formClass, const TVoskDBTreeView2* tree);
    static void TxtVorschauClick(TVoskDBTreeView2* tree, const QString& formClass, bool on);
    static void LoadPreview(TVoskDBTreeView2* tree, const QString& formClass);
    static void ConditionalFormatingClick(TVoskDBTreeView2* tree);

    // The export after the save dialog; the tree's inline edit is ended first.
    static void Export(const QString& fileName, TVoskDBTreeView2* tree);
    // The navigator's delete with several nodes shown selected: true when it took the action
    // over (deleted them, or kept them at the user's "Nein").
    static bool DeleteSelected(QWidget* control);
};
