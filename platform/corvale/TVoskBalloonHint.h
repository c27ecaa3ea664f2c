#pragma once
// A short hint with a title that points at a control and goes away by itself, shown as a tool tip
// next to the control's lower right corner. The last hint shown stays readable, so that a headless
// run can see what the user was told.

#include <QPoint>
#include <QPointer>
#include <QString>

class QWidget;

class TVoskBalloonHint final {
public:
    struct Shown {
        QString title;
        QString text;
        QPointer<QWidget> control;
        QPoint at;       // global position of the hint's anchor
        int seconds = 0; // how long it stays
    };
    // Shows title and text at the lower right corner of control for the given seconds.
    static void ShowHintBottomRight(QWidget* control, const QString& title, const QString& text,
                                    int seconds);
    static const Shown& LastShown();
    static void ClearLastShown();
};
