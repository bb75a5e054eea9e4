#include "cutter/cutter_progress_form.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <gtest/gtest.h>

TEST(CutterProgressFormTest, ShowsClampedPercentAndTexts)
{
    TCutterProgressForm form;
    auto* percent = form.findChild<QLabel*>("lbPercent");
    auto* bar = form.findChild<QProgressBar*>("ProgressBar1");
    ASSERT_TRUE(percent && bar);

    for (const auto& [given, shown] : { std::pair { 42, 42 }, { -5, 0 }, { 150, 100 } }) {
        form.SetProgress(given);
        EXPECT_EQ(form.GetProgress(), shown);
        EXPECT_EQ(percent->text(), QString::number(shown) + "%");
        EXPECT_EQ(bar->value(), shown);
    }

    form.SetTexts("正在合并", "正在合并，请稍等……");
    EXPECT_EQ(form.windowTitle(), QString("正在合并"));
    EXPECT_EQ(form.findChild<QLabel*>("lbText")->text(), QString("正在合并，请稍等……"));
}

TEST(CutterProgressFormTest, StaysOnTopWithoutCloseButtonAndCannotBeDismissed)
{
    QWidget main;
    main.setGeometry(100, 100, 800, 600);
    TCutterProgressForm form;
    EXPECT_EQ(form.size(), QSize(339, 153));
    EXPECT_EQ(form.windowTitle(), QString("正在剪切"));
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowSystemMenuHint);

    form.ShowCentredOn(&main);
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.isModal());
    EXPECT_LE((form.frameGeometry().center() - main.frameGeometry().center()).manhattanLength(), 1);

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&form, &escape);
    form.close();
    EXPECT_TRUE(form.isVisible());
    form.hide();
}
