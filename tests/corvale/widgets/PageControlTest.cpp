// The page control paints the frame around its pages itself: pixel for pixel what a plain tab
// widget shows, whatever the size, the side of the tabs, the state and the palette.
#include "TVoskPageControl2.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

void Fill(QTabWidget& tabs) {
    for (const char* caption : {"Adresse", "Kontakt", "Dokumente"}) {
        auto* page = new QWidget;
        auto* box = new QVBoxLayout(page);
        box->addWidget(new QLabel(QString::fromLatin1(caption), page));
        box->addWidget(new QLineEdit(page));
        tabs.addTab(page, QString::fromLatin1(caption));
    }
}

} // namespace

TEST(PageControl, PaintsTheFrameAroundItsPagesAsAPlainTabWidget) {
    QPalette odd = QApplication::palette();
    odd.setColor(QPalette::Button, QColor(90, 160, 70));
    odd.setColor(QPalette::Window, QColor(230, 210, 240));
    struct Case {
        QTabWidget::TabPosition side;
        QSize size;
        bool enabled;
        bool oddPalette;
    } cases[] = {{QTabWidget::North, {1130, 160}, true, false},
                 {QTabWidget::South, {1130, 160}, true, false},
                 {QTabWidget::West, {400, 300}, true, false},
                 {QTabWidget::East, {400, 300}, true, true},
                 {QTabWidget::North, {300, 97}, false, false},
                 {QTabWidget::North, {700, 240}, true, true},
                 {QTabWidget::North, {60, 40}, true, false}};
    for (const Case& c : cases) {
        TVoskPageControl2 ours;
        QTabWidget plain;
        for (QTabWidget* tabs : {static_cast<QTabWidget*>(&ours), &plain}) {
            Fill(*tabs);
            tabs->setTabPosition(c.side);
            tabs->setEnabled(c.enabled);
            if (c.oddPalette)
                tabs->setPalette(odd);
            tabs->resize(c.size);
            tabs->show();
        }
        QApplication::processEvents();
        const QImage a = ours.grab().toImage(), b = plain.grab().toImage();
        ASSERT_EQ(a.size(), b.size());
        EXPECT_TRUE(a == b) << "side " << int(c.side) << ", " << c.size.width() << " x "
                            << c.size.height() << (c.enabled ? "" : ", disabled")
                            << (c.oddPalette ? ", own palette" : "");
        // Another page shown, and a repaint of a part only.
        ours.setCurrentIndex(1);
        plain.setCurrentIndex(1);
        QApplication::processEvents();
        const QRect part(QPoint(0, 0), c.size / 2);
        EXPECT_TRUE(ours.grab().toImage() == plain.grab().toImage())
            << "side " << int(c.side) << ", second page";
        // (The style itself blends a corner of a clipped frame differently: the part is compared
        // with the whole frame's.)
        EXPECT_TRUE(ours.grab(part).toImage() == plain.grab().toImage().copy(part))
            << "side " << int(c.side) << ", second page, upper left quarter";
    }
}
