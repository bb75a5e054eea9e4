#include "app/widget_error_report.h"
#include "support/fake_dialogs.h"

#include <gtest/gtest.h>

namespace {

TEST(ErrorReport, ShowsAnErrorBoxAndEndsTheTextWithADotAfterHigherCharacters)
{
    const std::pair<std::string, std::string> cases[] = {
        { "文件打开失败(2)", "文件打开失败(2)" }, // ")" sorts before "."
        { "无法写入", "无法写入." },
        { "disk full", "disk full." },
        { "done.", "done." },
        { "a-", "a-" },
        { "a/", "a/." },
        { "处理完毕。", "处理完毕。." },
        { "", "" },
    };
    for (const auto& [text, shown] : cases) {
        zvtest::ScopedFakeDialogs dialogs;
        ShowErrorReport(text);
        ASSERT_EQ(dialogs->boxes.size(), 1u);
        EXPECT_EQ(dialogs->boxes[0].kind, zvtest::BoxKind::Show);
        EXPECT_EQ(dialogs->boxes[0].caption, "Zelvora");
        EXPECT_EQ(dialogs->boxes[0].icon, DialogIcon::Error);
        EXPECT_EQ(dialogs->boxes[0].text, shown) << text;
    }
}

} // namespace
