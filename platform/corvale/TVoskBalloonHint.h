#pragma once
// A short notice in a balloon beside a control that closes by itself: for a result the user should
// see without having to press a button. The last titled hint shown stays readable, so that a
// headless run can see what the user was told.

#include <QObject>
#include <QPointer>
#include <QString>

#include <QLabel>
#include <QPoint>
class QTimer;
class QWidget;

class TVoskBalloonHint final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Title READ Title WRITE SetTitle)
    Q_PROPERTY(int HideAfter READ HideAfter WRITE SetHideAfter)
public:
    explicit TVoskBalloonHint(QObject* owner = nullptr);
    ~TVoskBalloonHint() override;

    QString Title() const { return m_title; }
    void SetTitle(const QString& title) { m_title = title; }
    // Milliseconds until the balloon closes.
    int HideAfter() const { return m_hideAfter; }
    void SetHideAfter(int ms) { m_hideAfter = ms; }

    // Shows the title over control with its bottom right corner at pos (control coordinates), so
    // that it stays inside the control.
    void ShowHint(QWidget* control, const QPoint& pos);
    void HideHint();
    bool IsShowing() const;
    // What the balloon shows or showed last.
    QString ShownText() const { return m_shown; }
    QLabel* Balloon() const { return m_balloon; }

    struct Shown {
        QString title;
        QString text;
        QPointer<QWidget> control;
        QPoint at;       // global position of the hint's anchor
        int seconds = 0; // how long it stays
    };
    // Shows title and text as a tool tip at the lower right corner of control for the given
    // seconds.
    static void ShowHintBottomRight(QWidget* control, const QString& title, const QString& text,
                                    int seconds);
    static const Shown& LastShown();
    static void ClearLastShown();

private:
    QString m_title;
    QString m_shown;
    int m_hideAfter = 3000;
    QPointer<QLabel> m_balloon;
    QTimer* m_timer;
};
