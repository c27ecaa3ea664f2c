// The ribbon: tabs of groups over actions, found by name, and minimising as a user meets it.
#include "TVoskRibbon.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// A window with a ribbon of two tabs over an editor and a list beside it.
struct Window {
    QWidget top;
    TVoskRibbon* ribbon;
    QTextEdit* editor;
    QTextEdit* other;
    TVoskRibbonTab* start;
    TVoskRibbonTab* view;
    TVoskRibbonGroup* font;
    QToolButton* bold;

    Window() {
        auto* box = new QVBoxLayout(&top);
        ribbon = new TVoskRibbon(&top);
        box->addWidget(ribbon);
        editor = new QTextEdit(&top);
        other = new QTextEdit(&top);
        box->addWidget(editor, 1);
        box->addWidget(other);
        start = ribbon->AddTab(QStringLiteral("ribStart"), QStringLiteral("&Start"));
        font = start->AddGroup(QStringLiteral("tbFont"), QStringLiteral("Schrift"));
        bold = font->AddButton(QStringLiteral("btBold"), QStringLiteral("&Fett"), QIcon(), {},
                               TVoskRibbonGroup::Icon);
        bold->defaultAction()->setCheckable(true);
        view = ribbon->AddTab(QStringLiteral("ribView"), QStringLiteral("Ansicht"));
        view->AddGroup(QStringLiteral("tbZoom"), QStringLiteral("Zoom"))
            ->AddButton(QStringLiteral("btZoomIn"), QStringLiteral("Größer"), QIcon());
        ribbon->AddKeepOpenWidget(editor);
        top.resize(800, 600);
        top.show();
        QApplication::setActiveWindow(&top);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&top));
    }

    void ClickTab(int i, bool twice = false) {
        const QPoint at = ribbon->TabBar()->tabRect(i).center();
        if (twice)
            QTest::mouseDClick(ribbon->TabBar(), Qt::LeftButton, {}, at);
        else
            QTest::mouseClick(ribbon->TabBar(), Qt::LeftButton, {}, at);
    }
    QStackedWidget* Groups() const {
        return top.findChild<QStackedWidget*>(QStringLiteral("RibbonGroups"));
    }
};

} // namespace

TEST(RibbonTest, ButtonsFollowTheirActionsAndControlsTheirLabels) {
    Window w;
    EXPECT_EQ(w.ribbon->Tab(QStringLiteral("RIBVIEW")), w.view);
    EXPECT_EQ(w.ribbon->Group(QStringLiteral("tbzoom"))->Tab(), w.view);
    EXPECT_EQ(w.ribbon->Tab(QStringLiteral("none")), nullptr);
    EXPECT_EQ(w.bold->objectName(), QStringLiteral("btBold"));
    EXPECT_EQ(w.bold->accessibleName(), QStringLiteral("Fett"));
    EXPECT_EQ(w.bold->toolTip(), QStringLiteral("Fett"));
    EXPECT_EQ(w.start->accessibleName(), QStringLiteral("Start"));

    // A click on the button toggles its action; setting the action moves the button.
    QAction* a = w.bold->defaultAction();
    w.bold->click();
    EXPECT_TRUE(a->isChecked());
    a->setChecked(false);
    EXPECT_FALSE(w.bold->isChecked());
    // Later captions, hints and states of the action reach the button.
    a->setText(QStringLiteral("Fe&tt gedruckt"));
    a->setToolTip(QStringLiteral("Markierung fett"));
    EXPECT_EQ(w.bold->accessibleName(), QStringLiteral("Fett gedruckt"));
    EXPECT_EQ(w.bold->toolTip(), QStringLiteral("Markierung fett"));
    a->setEnabled(false);
    EXPECT_FALSE(w.bold->isEnabled());
    a->setVisible(false);
    EXPECT_TRUE(w.bold->isHidden());
    a->setVisible(true);
    EXPECT_FALSE(w.bold->isHidden());

    // An action of the form, shown under another name; a control after its label.
    QAction print(QStringLiteral("&Drucken"));
    print.setObjectName(QStringLiteral("acPrint"));
    QToolButton* b = w.font->AddButton(&print, TVoskRibbonGroup::Small, QStringLiteral("btPrint"));
    EXPECT_EQ(b->objectName(), QStringLiteral("btPrint"));
    auto* zoom = new QComboBox;
    w.font->AddWidget(zoom, QStringLiteral("&Zoom"));
    EXPECT_EQ(zoom->accessibleName(), QStringLiteral("Zoom"));
    EXPECT_EQ(zoom->toolTip(), QStringLiteral("Zoom"));
    QLabel* label = nullptr;
    for (auto* l : w.font->findChildren<QLabel*>())
        if (l->buddy() == zoom)
            label = l;
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(w.font->Items(), (QList<QWidget*>{w.bold, b, zoom}));
    // A control that names itself keeps its name.
    auto* size = new QComboBox;
    size->setAccessibleName(QStringLiteral("Schriftgröße in Punkt"));
    w.font->AddWidget(size, QStringLiteral("Größe"));
    EXPECT_EQ(size->accessibleName(), QStringLiteral("Schriftgröße in Punkt"));
}

TEST(RibbonTest, LargeButtonsShowTheirWholeCaptionOnTwoLines) {
    Window w;
    QAction show(QStringLiteral("Dokument &anzeigen"));
    QToolButton* b = w.font->AddButton(&show, TVoskRibbonGroup::Large, QStringLiteral("btView"));
    EXPECT_EQ(b->text(), QStringLiteral("Dokument\n&anzeigen"));
    EXPECT_EQ(b->accessibleName(), QStringLiteral("Dokument anzeigen"));
    // The button is wide enough for its longer line: the style has nothing to elide.
    QCoreApplication::processEvents();
    EXPECT_GE(b->width(), b->fontMetrics().horizontalAdvance(QStringLiteral("anzeigen")));
    show.setText(QStringLiteral("Extern öffnen und sperren"));
    EXPECT_EQ(b->text(), QStringLiteral("Extern öffnen\nund sperren"));
    show.setText(QStringLiteral("Scannen"));
    EXPECT_EQ(b->text(), QStringLiteral("Scannen"));
}

TEST(RibbonTest, SmallItemsStackThreeToAColumnLargeOnesTakeTheHeight) {
    Window w;
    TVoskRibbonGroup* g = w.start->AddGroup(QStringLiteral("tbEdit"), QStringLiteral("Bearbeiten"));
    QToolButton* paste = g->AddButton(QStringLiteral("btPaste"), QStringLiteral("Einfügen"), QIcon());
    QList<QToolButton*> small;
    for (const char* name : {"btCut", "btCopy", "btAll", "btClear"})
        small << g->AddButton(QString::fromLatin1(name), QString::fromLatin1(name), QIcon(), {},
                              TVoskRibbonGroup::Small);
    w.ribbon->SetActiveTab(w.start);
    QApplication::processEvents();
    EXPECT_LT(paste->x(), small[0]->x());
    EXPECT_EQ(small[0]->x(), small[1]->x());
    EXPECT_EQ(small[1]->x(), small[2]->x());
    EXPECT_LT(small[0]->y(), small[1]->y());
    EXPECT_LT(small[1]->y(), small[2]->y());
    EXPECT_GT(small[3]->x(), small[0]->x());
    EXPECT_EQ(small[3]->y(), small[0]->y());
    EXPECT_GE(paste->height(), small[2]->geometry().bottom() - small[0]->y());
    // Icon-only items share one row.
    QToolButton* i1 = g->AddButton(QStringLiteral("btI1"), QStringLiteral("I1"), QIcon(), {},
                                   TVoskRibbonGroup::Icon);
    QToolButton* i2 = g->AddButton(QStringLiteral("btI2"), QStringLiteral("I2"), QIcon(), {},
                                   TVoskRibbonGroup::Icon);
    QApplication::processEvents();
    EXPECT_EQ(i1->y(), i2->y());
    EXPECT_LT(i1->x(), i2->x());
}

TEST(RibbonTest, TabsShowHideAndGroupsMoveBetweenThem) {
    Window w;
    QSignalSpy changed(w.ribbon, &TVoskRibbon::ActiveTabChanged);
    w.ribbon->SetActiveTab(w.view);
    EXPECT_EQ(w.ribbon->ActiveTab(), w.view);
    ASSERT_EQ(changed.count(), 1);
    // Hiding the active tab makes another one active; a hidden tab is never made active.
    w.view->SetTabVisible(false);
    EXPECT_EQ(w.ribbon->ActiveTab(), w.start);
    EXPECT_FALSE(w.ribbon->TabBar()->isTabVisible(1));
    w.ribbon->SetActiveTab(w.view);
    EXPECT_EQ(w.ribbon->ActiveTab(), w.start);
    w.view->SetTabVisible(true);
    w.ribbon->SetActiveTab(w.view);
    EXPECT_EQ(w.ribbon->ActiveTab(), w.view);

    // A property group moves to the tab of its kind and back, staying the same group.
    w.view->AddGroup(w.font);
    EXPECT_EQ(w.font->Tab(), w.view);
    EXPECT_EQ(w.start->Groups(), QList<TVoskRibbonGroup*>{});
    EXPECT_EQ(w.view->Groups().last(), w.font);
    w.view->RemoveGroup(w.font);
    EXPECT_EQ(w.font->Tab(), nullptr);
    EXPECT_EQ(w.ribbon->Group(QStringLiteral("tbFont")), w.font);
    w.start->AddGroup(w.font);
    EXPECT_EQ(w.start->Groups(), QList<TVoskRibbonGroup*>{w.font});
    EXPECT_FALSE(w.font->isHidden());

    w.start->SetCaption(QStringLiteral("Anfang"));
    EXPECT_EQ(w.ribbon->TabBar()->tabText(0), QStringLiteral("Anfang"));
}

TEST(RibbonTest, MinimisedRibbonOpensOnATabAndClosesOnAClickOutsideTheEditor) {
    Window w;
    QApplication::processEvents();
    const int fullHeight = w.ribbon->height();
    w.ribbon->SetMinimized(true);
    // The layout settles in two rounds: the tab's scrolling page, then the window.
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_TRUE(w.Groups()->isHidden());
    EXPECT_LT(w.ribbon->height(), fullHeight);
    const QRect editorAt = w.editor->geometry();

    // A tab click opens its groups over the content; the editor keeps its place.
    w.ClickTab(1);
    ASSERT_TRUE(w.ribbon->IsPoppedUp());
    EXPECT_EQ(w.ribbon->ActiveTab(), w.view);
    EXPECT_TRUE(w.Groups()->isVisible());
    EXPECT_EQ(w.Groups()->parentWidget(), &w.top);
    EXPECT_EQ(w.Groups()->y(), w.ribbon->geometry().bottom() + 1);
    QApplication::processEvents();
    EXPECT_EQ(w.editor->geometry(), editorAt);

    // Another tab switches the open groups; clicks on the tools and in the editor keep them.
    w.ClickTab(0);
    EXPECT_TRUE(w.ribbon->IsPoppedUp());
    EXPECT_EQ(w.ribbon->ActiveTab(), w.start);
    QTest::mouseClick(w.bold, Qt::LeftButton);
    EXPECT_TRUE(w.bold->isChecked());
    EXPECT_TRUE(w.ribbon->IsPoppedUp());
    QTest::mouseClick(w.editor->viewport(), Qt::LeftButton);
    EXPECT_TRUE(w.ribbon->IsPoppedUp());

    // Anywhere else closes them.
    QTest::mouseClick(w.other->viewport(), Qt::LeftButton);
    EXPECT_FALSE(w.ribbon->IsPoppedUp());
    EXPECT_TRUE(w.Groups()->isHidden());
    EXPECT_EQ(w.Groups()->parentWidget(), w.ribbon);

    // The open tab clicked again closes; so does losing the window's activation.
    w.ClickTab(0);
    ASSERT_TRUE(w.ribbon->IsPoppedUp());
    w.ClickTab(0);
    EXPECT_FALSE(w.ribbon->IsPoppedUp());
    w.ClickTab(1);
    ASSERT_TRUE(w.ribbon->IsPoppedUp());
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(&w.top, &deactivate);
    EXPECT_FALSE(w.ribbon->IsPoppedUp());
    EXPECT_TRUE(w.ribbon->IsMinimized());
}

TEST(RibbonTest, DoubleClickAndButtonPinTheRibbonAgain) {
    Window w;
    QSignalSpy spy(w.ribbon, &TVoskRibbon::MinimizedChanged);
    w.ClickTab(1, true);
    EXPECT_TRUE(w.ribbon->IsMinimized());
    EXPECT_EQ(w.ribbon->MinimizeButton()->accessibleName(), QStringLiteral("Menüband anheften"));
    w.ClickTab(1);
    ASSERT_TRUE(w.ribbon->IsPoppedUp());
    w.ribbon->MinimizeButton()->click();
    EXPECT_FALSE(w.ribbon->IsMinimized());
    EXPECT_FALSE(w.ribbon->IsPoppedUp());
    EXPECT_EQ(w.Groups()->parentWidget(), w.ribbon);
    EXPECT_TRUE(w.Groups()->isVisible());
    EXPECT_EQ(spy.count(), 2);
    // A pinned ribbon ignores clicks elsewhere.
    QTest::mouseClick(w.other->viewport(), Qt::LeftButton);
    EXPECT_TRUE(w.Groups()->isVisible());
}

TEST(RibbonTest, ColourSchemeTintsTheGroups) {
    Window w;
    EXPECT_EQ(w.ribbon->ColorSchemeName(), QStringLiteral("Blue"));
    w.ribbon->SetColorSchemeName(QStringLiteral("Green"));
    EXPECT_EQ(w.Groups()->palette().color(QPalette::Window), TVoskRibbon::SchemeColor("Green"));
    EXPECT_EQ(TVoskRibbon::SchemeColor(QStringLiteral("Unbekannt")),
              TVoskRibbon::SchemeColor(QStringLiteral("Blue")));
    EXPECT_EQ(w.ribbon->property("ColorSchemeName").toString(), QStringLiteral("Green"));
}

TEST(RibbonTest, ANarrowWindowScrollsTheGroupsInsteadOfGrowing) {
    Window w;
    for (int i = 0; i < 12; ++i)
        w.start->AddGroup(QStringLiteral("tbWide%1").arg(i), QStringLiteral("Gruppe %1").arg(i))
            ->AddButton(QStringLiteral("btWide%1").arg(i), QStringLiteral("Ein breiter Knopf"),
                        QIcon());
    QApplication::processEvents();
    QApplication::processEvents();
    // The window need not hold every group side by side.
    EXPECT_LT(w.top.minimumSizeHint().width(), 400);
    w.top.resize(400, 600);
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(w.top.width(), 400);
    auto* area = qobject_cast<QScrollArea*>(w.Groups()->currentWidget());
    ASSERT_NE(area, nullptr);
    QScrollBar* page = area->horizontalScrollBar();
    EXPECT_TRUE(page->isVisible());
    EXPECT_GT(page->maximum(), 0);
    // The last group scrolls into reach, and the scroll bar does not cover the buttons.
    QToolButton* last = w.top.findChild<QToolButton*>(QStringLiteral("btWide11"));
    ASSERT_NE(last, nullptr);
    page->setValue(page->maximum());
    const QRect shown = QRect(last->mapTo(w.Groups(), QPoint(0, 0)), last->size());
    EXPECT_TRUE(w.Groups()->rect().contains(shown));
    EXPECT_LE(shown.bottom(), page->mapTo(w.Groups(), QPoint(0, 0)).y());
}
