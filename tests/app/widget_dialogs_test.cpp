#include "app/widget_dialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool defaultIsYes = false;
};

// Closes the next modal box once it runs, pressing the given button, and
// tells what it showed.
SeenBox answerNextBox(QMessageBox::StandardButton press, const std::function<void()>& open)
{
    SeenBox seen;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = { box->windowTitle(), box->text(), box->icon(),
            box->defaultButton() && box->defaultButton() == box->button(QMessageBox::Yes) };
        box->button(press)->click();
    });
    open();
    return seen;
}

TEST(WidgetDialogs, BoxesShowTheirCaptionTextAndIcon)
{
    WidgetDialogs dialogs;
    SeenBox seen = answerNextBox(QMessageBox::Ok, [&] { dialogs.message("文件已保存"); });
    EXPECT_EQ(seen.title, "Zelvora");
    EXPECT_EQ(seen.text, "文件已保存");
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);

    seen = answerNextBox(QMessageBox::Ok, [&] { dialogs.show("伴奏", "打开失败", DialogIcon::Warning); });
    EXPECT_EQ(seen.title, "伴奏");
    EXPECT_EQ(seen.icon, QMessageBox::Warning);

    // Carriage returns break lines, as the program's texts expect.
    seen = answerNextBox(QMessageBox::Ok, [&] { dialogs.message("第一行\r第二行\r\n第三行"); });
    EXPECT_EQ(seen.text, "第一行\n第二行\n第三行");
}

TEST(WidgetDialogs, QuestionsReturnTheAnswerAndKeepTheDefaultButton)
{
    WidgetDialogs dialogs;
    for (const bool defaultYes : { true, false }) {
        for (const auto press : { QMessageBox::Yes, QMessageBox::No }) {
            bool answer = !(press == QMessageBox::Yes);
            const SeenBox seen = answerNextBox(
                press, [&] { answer = dialogs.question("剪切", "打开文件夹？", defaultYes); });
            EXPECT_EQ(answer, press == QMessageBox::Yes);
            EXPECT_EQ(seen.icon, QMessageBox::Question);
            EXPECT_EQ(seen.defaultIsYes, defaultYes);
        }
    }
}

TEST(WidgetDialogs, FileFiltersBecomeQtFiltersWithThePatternsInBrackets)
{
    EXPECT_EQ(QtFileFilter("支持的格式(mp3/wma/wav)|*.mp3;*.wma;*.wav|Mp3 (*.mp3)|*.mp3|所有文件 (*.*)|*.*"),
        "支持的格式(mp3/wma/wav) (*.mp3 *.wma *.wav);;Mp3 (*.mp3);;所有文件 (*.*)");
    EXPECT_EQ(QtFileFilter("iPhone 铃声 (*.m4r)|*.m4r"), "iPhone 铃声 (*.m4r)");
    EXPECT_EQ(QtFileFilter(""), "");
}

} // namespace
