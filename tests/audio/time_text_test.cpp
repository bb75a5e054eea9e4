#include "audio/app_error.h"
#include "audio/time_text.h"

#include <gtest/gtest.h>

namespace {

TEST(TimeText, MsToTimeText)
{
    const std::pair<std::uint32_t, const char*> cases[] = {
        { 0, "00:00.000" },
        { 61'001, "01:01.001" },
        { 59'999, "00:59.999" },
        { 99 * 60'000 + 59'999, "99:59.999" },
        { 100 * 60'000, "100:00.000" },
        { 4'294'967'295u, "71582:47.295" },
    };
    for (const auto& [ms, text] : cases)
        EXPECT_EQ(MsToTimeText(ms), text) << ms;
}

TEST(TimeText, TimeTextToMsReadsTheFixedPositions)
{
    const std::pair<const char*, std::uint32_t> cases[] = {
        { "00:00.000", 0 },
        { "01:01.001", 61'001 },
        { "00:75.000", 75'000 }, // seconds above 59 are accepted
        { "01x02y003", 62'003 }, // the separators are not examined
        { "99:99.999", 99 * 60'000 + 99'999 },
        { "100:00.000", 6'000'000 },
        { "71582:47.295", 4'294'967'295u },
        { "000001:00.000", 60'000 },
    };
    for (const auto& [text, ms] : cases)
        EXPECT_EQ(TimeTextToMs(text), ms) << text;
}

TEST(TimeText, LongMinuteTextsRoundTrip)
{
    for (std::uint32_t ms : { 0u, 5'999'999u, 6'000'000u, 123'456'789u, 4'294'967'295u })
        EXPECT_EQ(TimeTextToMs(MsToTimeText(ms)), ms) << ms;
}

TEST(TimeText, BadTextsThrowWithTheText)
{
    for (const char* text : { "", "0:00.000", "__:__.___", "01:_1.000", "01:01.00_", "-1:00.000", "+1:00.000",
             " 1:00.000", "01:01.0001", "71582:47.296", "99999999999999999999:00.000" }) {
        try {
            TimeTextToMs(text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const AppError& error) {
            EXPECT_EQ(error.what(), "“" + std::string(text) + "”不是有效的时间");
        }
    }
}

TEST(TimeText, SecondsToTimeText)
{
    const std::pair<std::int32_t, const char*> cases[] = {
        { 0, "00:00" },
        { 59, "00:59" },
        { 3599, "59:59" },
        { 3600, "01:00:00" },
        { 3661, "01:01:01" },
        { 100 * 3600, "100:00:00" },
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(SecondsToTimeText(seconds), text) << seconds;
}

TEST(TimeText, SecondsTextToMs)
{
    const std::pair<const char*, std::uint32_t> cases[] = {
        { "1.5", 1500 },
        { "0.5", 500 },
        { "20", 20'000 },
        { " 2.25 ", 2250 },
        { "+3", 3000 },
        { "0.0019", 1 },
        { "", 0 },
        { "abc", 0 },
        { "1,5", 0 },
        { "1.5s", 0 },
        { "-1", 0 },
        { "nan", 0 },
        { "inf", 0 },
        { "1e10", 0 },
        { "+-1", 0 },
    };
    for (const auto& [text, ms] : cases)
        EXPECT_EQ(SecondsTextToMs(text), ms) << '"' << text << '"';
}

} // namespace
