#pragma once
// Mouse drags as a hand makes them, for widget tests.

#include <QApplication>
#include <QHeaderView>
#include <QTest>

namespace testsupport {

// Presses at from in source, moves in steps to to in target and lets go there. The widget
// pressed keeps the mouse until it is let go, wherever that is, so it gets every event.
inline void Drag(QWidget* source, const QPoint& from, QWidget* target, const QPoint& to) {
    QTest::mousePress(source, Qt::LeftButton, {}, from);
    const QPoint end = source->mapFromGlobal(target->mapToGlobal(to));
    for (int i = 1; i <= 4; ++i)
        QTest::mouseMove(source, from + (end - from) * i / 4);
    QTest::mouseRelease(source, Qt::LeftButton, {}, end);
    QApplication::processEvents();
}

// The middle of a header's section, in the header's viewport.
inline QPoint SectionPoint(const QHeaderView* header, int section) {
    return {header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
            header->height() / 2};
}

} // namespace testsupport
