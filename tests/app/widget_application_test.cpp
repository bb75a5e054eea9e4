#include "app/widget_application.h"

#include "audio/app_error.h"
#include "support/fake_dialogs.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

TEST(Application, AnErrorEscapingAnEventHandlerIsReportedAndTheEventCountsAsHandled)
{
    zvtest::ScopedFakeDialogs dialogs;
    EXPECT_TRUE(
        TApplication::ReportErrors([]() -> bool { throw AppError("文件打开失败，请检查文件格式(41)"); }));
    EXPECT_TRUE(TApplication::ReportErrors([]() -> bool { throw std::runtime_error("disk full"); }));
    ASSERT_EQ(dialogs->boxes.size(), 2u);
    EXPECT_EQ(dialogs->boxes[0].caption, "Zelvora");
    EXPECT_EQ(dialogs->boxes[0].icon, DialogIcon::Error);
    EXPECT_EQ(dialogs->boxes[0].text, "文件打开失败，请检查文件格式(41)");
    EXPECT_EQ(dialogs->boxes[1].text, "disk full.");

    EXPECT_FALSE(TApplication::ReportErrors([] { return false; }));
    EXPECT_EQ(dialogs->boxes.size(), 2u);
}

} // namespace
