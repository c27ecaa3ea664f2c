#pragma once
// The maker's page control: a tab widget that reopens the page the user had last, per form class,
// control and login. It paints the style's frame around its pages from a small rendering of it,
// row by row and column by column (the same pixels, see the source).

#include <QHash>
#include <QPointer>
#include <QTabWidget>

#include <functional>

class TVoskPageControl2 final : public QTabWidget {
    Q_OBJECT
public:
    explicit TVoskPageControl2(QWidget* parent = nullptr);
    // Last-value key of the user's page: "UserPage_" + form class + "_" + control name (the data
    // module keeps it per login).
    QString UserPageKey() const;
    // Shows the stored page when it still exists; nothing without a stored one.
    void LoadUserPage();
    // Stores the page shown now by its name (page indexes move when pages are added).
    void SaveUserPage();
    // The page change tells the data classes shown on the new page that they are seen.
    void RegisterDataChangeEvent();
    bool DataChangeRegistered() const { return m_registered; }
    // The visible tab before (forward false) or after the active one; -1 when there is none; the
    // Alt keys switch between the visible tabs.
    int NeighbourVisibleTab(bool forward) const;

    // A page whose controls are made when it is first shown (or BuildPage asks for them), so that
    // a window opens without the controls of pages nobody looks at. build fills the page.
    int AddDeferredTab(QWidget* page, const QString& caption, std::function<void(QWidget*)> build);
    // Makes a deferred page's controls now; nothing for a page already made.
    void BuildPage(QWidget* page);
    bool PageBuilt(QWidget* page) const { return !m_deferred.contains(page); }

signals:
    void PageShown(QWidget* page);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QHash<QWidget*, std::function<void(QWidget*)>> m_deferred;
    bool m_registered = false;
    // Taken when the page is loaded: while its form is destroyed the class name is gone.
    QString m_key;
};
