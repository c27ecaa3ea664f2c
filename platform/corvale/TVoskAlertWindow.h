#pragma once
// Short messages that pop up in a corner of a form and fade away by themselves: the alert window
// (a frameless toast with caption, text and an image) and the manager that creates them with a
// common look. The manager places new windows itself unless OnBeforeShow moves them.

#include <QIcon>
#include <QPointer>
#include <QWidget>

#include <functional>

class QLabel;
class QMenu;
class QTimer;

enum TVoskAlertWindowPosition { awpAuto, awpTopLeft, awpTopRight, awpBottomLeft, awpBottomRight };

class TVoskAlertWindowManager;

class TVoskAlertWindow final : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption)
    Q_PROPERTY(QString Text READ Text)
    Q_PROPERTY(int ImageIndex READ ImageIndex)

public:
    TVoskAlertWindow(TVoskAlertWindowManager* manager, const QString& caption,
                     const QString& text, int imageIndex);
    ~TVoskAlertWindow() override;

    QString Caption() const { return m_caption; }
    QString Text() const { return m_text; }
    int ImageIndex() const { return m_imageIndex; }
    TVoskAlertWindowManager* Manager() const { return m_manager; }

    // Keeps the window up while the pointer rests on it; it closes (and frees itself) when the
    // display time has run out.
    void SetDisplayTime(int ms);
    int DisplayTime() const { return m_displayTime; }
    void Close();

protected:
    void contextMenuEvent(QContextMenuEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    QPointer<TVoskAlertWindowManager> m_manager;
    QString m_caption;
    QString m_text;
    int m_imageIndex;
    int m_displayTime = 5000;
    QTimer* m_hideTimer;
};

class TVoskAlertWindowManager final : public QObject {
    Q_OBJECT
    Q_PROPERTY(int AlphaBlendValue MEMBER AlphaBlendValue)
    Q_PROPERTY(int ShowingAnimationTime MEMBER ShowingAnimationTime)
    Q_PROPERTY(int Width MEMBER Width)
    Q_PROPERTY(bool AutoHeight MEMBER AutoHeight)
    Q_PROPERTY(int DisplayTime MEMBER DisplayTime)

public:
    explicit TVoskAlertWindowManager(QObject* owner = nullptr);
    ~TVoskAlertWindowManager() override;

    // Creates and shows a window; it belongs to the manager and goes when it closes.
    TVoskAlertWindow* Show(const QString& caption, const QString& text, int imageIndex = -1);
    QList<TVoskAlertWindow*> Windows() const;
    // Where the manager puts a window of that size when OnBeforeShow leaves it alone.
    QPoint DefaultPosition(const QSize& size) const;

    int AlphaBlendValue = 255; // 0..255
    int ShowingAnimationTime = 0; // ms of fading in
    int Width = 250;
    bool AutoHeight = true;
    int DisplayTime = 5000;
    TVoskAlertWindowPosition WindowPosition = awpBottomRight;
    // Images by index; the window shows none for an index outside the list.
    std::function<QIcon(int imageIndex)> Images;
    // Offered on right-click; ActiveMenuWindow names the window that opened it.
    QPointer<QMenu> PopupMenu;
    TVoskAlertWindow* ActiveMenuWindow() const { return m_menuWindow; }

    std::function<void(TVoskAlertWindowManager* sender, TVoskAlertWindow* window)> OnBeforeShow;

private:
    friend class TVoskAlertWindow;
    QPointer<TVoskAlertWindow> m_menuWindow;
};
