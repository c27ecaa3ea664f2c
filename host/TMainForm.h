#pragma once
// The ERP's main window: an MDI area for the module windows and the main menu read from the
// database.

#include <QMainWindow>

#include <functional>

class QMdiArea;
class QMenu;
class TVoskQuery2;

class TMainForm final : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);

    QMdiArea* MdiArea() const { return m_mdi; }
    // Builds the menu bar from the table mainmenu (tree by mm_parent, mm_order).
    void LoadMainMenu();
    int MenuEntryCount() const { return m_entries; }

    // What a menu entry does with its form class name; the host wires the module start here.
    std::function<void(const QString& formClassName, int menuId)> OnMenuEntry;

    // Closes every open module window, in the order they were opened, each with its own close
    // question; false (and the rest left open) when one of them stays open.
    bool CloseModules();

    // Where typed keys belong: the control the user works in within the active module (also while
    // a tool window of it has the activation), else the application's focus widget.
    QWidget* KeyTarget() const;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void addEntries(QMenu* menu, QWidget* bar, const TVoskQuery2& rows, const QVariant& parent,
                    int depth);

    QMdiArea* m_mdi = nullptr;
    int m_entries = 0;
};
