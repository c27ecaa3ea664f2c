#pragma once
// The page selector of the TIFF viewer: the current page's tab, with its caption and (where pages
// may be edited) its close button, and the page number "n von m" to move to any page. It holds
// the page count, never a widget or a text per page, so a document of many thousand pages costs
// what one of two pages costs.

#include <QString>
#include <QWidget>

#include <functional>

class QLabel;
class QSpinBox;
class QTabBar;

class TPageSelector final : public QWidget {
    Q_OBJECT
public:
    explicit TPageSelector(QWidget* parent = nullptr);

    // The caption of a page's tab, asked for the current page only.
    void SetCaptionSource(std::function<QString(int page)> source);
    // count 0 shows the one disabled tab emptyCaption. current is clamped to the pages; setting
    // them emits no currentChanged.
    void SetPages(int count, int current, const QString& emptyCaption);
    int Count() const { return m_count; }
    int CurrentIndex() const { return m_current; }
    // Moves to page index as a user's choice does: currentChanged when it changes.
    void SetCurrentIndex(int index);
    // Shows index as current without currentChanged (the viewer refusing or following a change).
    void ShowCurrent(int index);
    // The caption the page's tab has; with no page the empty caption.
    QString Caption(int page) const;
    // Reads the current page's caption again.
    void RefreshCaption();

    void SetClosable(bool closable);
    bool Closable() const;

    QTabBar* CurrentTab() const { return m_tab; }
    QSpinBox* PageNumber() const { return m_number; }

signals:
    void currentChanged(int index);
    // The close button of the current page's tab.
    void closeRequested(int index);

private:
    void showState();

    QTabBar* m_tab;
    QLabel* m_label;
    QSpinBox* m_number;
    std::function<QString(int)> m_caption;
    QString m_emptyCaption;
    int m_count = 0;
    int m_current = 0;
    bool m_updating = false;
};
