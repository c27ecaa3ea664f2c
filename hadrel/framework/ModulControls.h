#pragma once
// The data-aware controls that the module form and its header are built from: the navigator over
// a data class, the status bar with panels and containers, popup menus and their items, the edit
// bound to one field and the grid over a whole data class. Small versions of the common
// components' controls, kept in a namespace of their own until those are at hand; their class
// names are the common components' names.

#include "TVoskClass.h"

#include <QAction>
#include <QFlags>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTableView>
#include <QWidget>

#include <functional>
#include <vector>

class QAbstractButton;
class QHBoxLayout;
class QLabel;
class QToolButton;
class TVoskDataModel;

namespace ModulControls {

enum TNavigateBtn {
    nbFirst = 0x001,
    nbPrior = 0x002,
    nbNext = 0x004,
    nbLast = 0x008,
    nbInsert = 0x010,
    nbDelete = 0x020,
    nbEdit = 0x040,
    nbPost = 0x080,
    nbCancel = 0x100,
    nbRefresh = 0x200,
};
Q_DECLARE_FLAGS(TNavButtonSet, TNavigateBtn)

// Buttons that move, add, delete, post, cancel and refresh the records of a data class. A press
// runs BeforeAction (which may refuse by throwing), the action, then OnClick; all inside the
// event guard, so a refused action reaches the error display and changes nothing.
class TVoskDBNavigator final : public QWidget {
    Q_OBJECT
public:
    explicit TVoskDBNavigator(QWidget* parent = nullptr);

    TNavButtonSet VisibleButtons() const { return m_visible; }
    void SetVisibleButtons(TNavButtonSet buttons);
    TVoskClass* DataSource() const { return m_data; }
    void SetDataSource(TVoskClass* data);
    TVoskClass* HeadClass() const { return m_head; }
    void SetHeadClass(TVoskClass* c) { m_head = c; }
    TVoskClass* FootClass() const { return m_foot; }
    void SetFootClass(TVoskClass* c) { m_foot = c; }

    QAbstractButton* ButtonControl(TNavigateBtn button) const;
    // What a press of the button does; throws what the action or a hook throws.
    void BtnClick(TNavigateBtn button);

    std::function<void(QObject* sender, TNavigateBtn button)> BeforeAction;
    std::function<void(QObject* sender, TNavigateBtn button)> OnClick;

private:
    void UpdateButtons();
    std::vector<std::pair<TNavigateBtn, QToolButton*>> m_buttons;
    TNavButtonSet m_visible;
    QPointer<TVoskClass> m_data, m_head, m_foot;
};

class TVoskStatusBarPanel final {
public:
    QString Text() const;
    void SetText(const QString& text);
    int Width() const { return m_width; }
    void SetWidth(int width);
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible);
    void SetAlignment(Qt::Alignment a);
    // A container panel shows a widget instead of its text.
    void SetContainer(QWidget* container);
    QWidget* Container() const { return m_container; }

private:
    friend class TVoskStatusBar;
    QLabel* m_label = nullptr;
    QPointer<QWidget> m_container;
    int m_width = -1; // -1: takes the rest
    bool m_visible = true;
};

class TVoskStatusBar final : public QWidget {
    Q_OBJECT
public:
    explicit TVoskStatusBar(QWidget* parent = nullptr);
    ~TVoskStatusBar() override;
    TVoskStatusBarPanel* AddPanel(const QString& text, int width);
    int PanelCount() const { return int(m_panels.size()); }
    TVoskStatusBarPanel* Panel(int index) const; // null outside the panels

private:
    QHBoxLayout* m_layout;
    std::vector<TVoskStatusBarPanel*> m_panels;
};

class TVoskPopupMenu final : public QMenu {
    Q_OBJECT
public:
    explicit TVoskPopupMenu(QWidget* parent = nullptr) : QMenu(parent) {}
};

class TVoskMenuItem final : public QAction {
    Q_OBJECT
    Q_PROPERTY(int TextNr READ TextNr WRITE SetTextNr)
public:
    explicit TVoskMenuItem(QObject* parent = nullptr) : QAction(parent) {}
    int TextNr() const { return m_textNr; }
    // The caption becomes the text of the number when the text table has one.
    void SetTextNr(int nr);

private:
    int m_textNr = 0;
};

// An edit of one field of a data class. Typing puts the class into edit; the value reaches the
// field as the user types, so a post sees it.
class TVoskDBEdit final : public QLineEdit {
    Q_OBJECT
public:
    explicit TVoskDBEdit(QWidget* parent = nullptr);
    TVoskClass* DataClass() const { return m_data; }
    void SetDataClass(TVoskClass* data);
    QString DataField() const { return m_field; }
    void SetDataField(const QString& field);
    // Writes the shown text into the field when it differs; false when nothing was to write.
    bool PostEditValue();

private:
    void ShowValue();
    QPointer<TVoskClass> m_data;
    QString m_field;
    bool m_showing = false;
};

// A grid over all records of a data class; its current row follows the class's cursor.
class TVoskDBGrid2 final : public QTableView {
    Q_OBJECT
public:
    explicit TVoskDBGrid2(QWidget* parent = nullptr);
    TVoskClass* DataClass() const { return m_data; }
    void SetDataClass(TVoskClass* data);
    void PrepareInsert() {}
    void EndEdit(bool accept);
    int SelectedRowCount() const;
    void DeleteSelection();
    void EditFirstVisibleColumn();

private:
    void FollowCursor();
    QPointer<TVoskClass> m_data;
    TVoskDataModel* m_model = nullptr;
};

// The data class a control is bound to, or null.
TVoskClass* DataClassOf(const QWidget* w);
// Hands an edit's pending text to its field; false when w is no such edit.
bool PostEditValue(QWidget* w);

} // namespace ModulControls

Q_DECLARE_OPERATORS_FOR_FLAGS(ModulControls::TNavButtonSet)

using ModulControls::TNavButtonSet;
using ModulControls::TNavigateBtn;
using ModulControls::TVoskDBEdit;
using ModulControls::TVoskDBGrid2;
using ModulControls::TVoskDBNavigator;
using ModulControls::TVoskMenuItem;
using ModulControls::TVoskPopupMenu;
using ModulControls::TVoskStatusBar;
using ModulControls::TVoskStatusBarPanel;
using enum ModulControls::TNavigateBtn; // nbFirst ... as the forms name them
