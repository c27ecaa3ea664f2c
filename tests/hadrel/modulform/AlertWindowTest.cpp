#include "ModulFormFixture.h"

#include "TVoskAlertWindow.h"
#include "Uloghelper.h"
#include "Vcl.Components.h"

#include <QStyle>

class AlertWindowTest : public ModulFormFixture {};

TEST_F(AlertWindowTest, WithoutAVisibleModuleFormTheMessageIsOnlyLogged) {
    TLogSink::Clear();
    RtlDialog::FAllertWindowWVOD(QStringLiteral("Hinweis"), QStringLiteral("Text"), 3);
    EXPECT_TRUE(TLogSink::Contains(QStringLiteral("TModulForm.AllertWindowWVOD: "
                                                  "ModulForm nicht gefunden")));
}

TEST_F(AlertWindowTest, ShowsInTheCornerOfTheFirstVisibleModuleFormAndReplacesTheLast) {
    TFormAdress* f = Open({QStringLiteral("ModulPositionTop=20")});
    f->resize(900, 600);
    RtlDialog::FAllertWindowWVOD(QStringLiteral("Wiedervorlage"), QStringLiteral("Anruf um 10"), 3);
    QPointer<TVoskAlertWindow> first = f->AlertWindow;
    ASSERT_TRUE(first);
    EXPECT_EQ(first->Caption(), QStringLiteral("Wiedervorlage"));
    EXPECT_EQ(first->Text(), QStringLiteral("Anruf um 10"));
    EXPECT_EQ(first->width(), 250);
    EXPECT_EQ(Vcl::Tag(first), 1);
    const int caption = f->style()->pixelMetric(QStyle::PM_TitleBarHeight);
    EXPECT_EQ(first->pos(), f->mapToGlobal(QPoint(f->width() - 250 - 17,
                                                  f->height() - first->height() - caption - 16)));

    TModulForm::AllertWindowWVOD(QStringLiteral("Zweite"), QStringLiteral("Nachricht"), 1);
    ASSERT_TRUE(f->AlertWindow);
    EXPECT_NE(f->AlertWindow.data(), first.data());
    EXPECT_TRUE(!first || first->isHidden());

    f->pmCopyMessageClick();
    EXPECT_EQ(m_answers.Text(), QStringLiteral("Nachricht"));
}

TEST_F(AlertWindowTest, GoesAwayByItselfAndClearsTheSlot) {
    TFormAdress* f = Open();
    f->dxAlertWindowManager->DisplayTime = 50;
    TModulForm::AllertWindowWVOD(QStringLiteral("Kurz"), QStringLiteral("weg"), -1);
    ASSERT_TRUE(f->AlertWindow);
    for (int i = 0; i < 300 && f->AlertWindow; ++i)
        QTest::qWait(10);
    EXPECT_FALSE(f->AlertWindow);
}
