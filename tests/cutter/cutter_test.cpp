#include "cutter/cutter.h"

#include "audio/app_error.h"
#include "audio/encoder_command.h"
#include "engine/engine.h"
#include "support/command.h"
#include "support/fake_dialogs.h"
#include "support/file_checks.h"
#include "support/scoped_env.h"
#include "support/signal.h"
#include "support/temp_dir.h"
#include "support/tone_steps.h"

#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace zvtest;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;
namespace fs = std::filesystem;

namespace {

// Records every window step in order; answers the completion question as told.
class RecordingHost : public TCutHost {
public:
    std::vector<std::string> events;
    bool answer = false;
    std::function<void()> onProcessEvents;

    void SetProgress(int percent) override
    {
        m_progress = percent;
        events.push_back("progress " + std::to_string(percent));
    }
    int GetProgress() const override { return m_progress; }
    void SetTexts(const std::string& caption, const std::string& text) override
    {
        events.push_back("texts " + caption + " / " + text);
    }
    void ShowProgress() override { events.push_back("show"); }
    void HideProgress() override { events.push_back("hide"); }
    void DisableWindows() override { events.push_back("disable"); }
    void EnableWindows() override { events.push_back("enable"); }
    void ProcessEvents() override
    {
        events.push_back("events");
        if (onProcessEvents)
            onProcessEvents();
    }
    bool AskShowFile(const std::string& caption, const std::string& text) override
    {
        events.push_back("ask " + caption + " / " + text);
        return answer;
    }
    void ShowFile(const std::string& path) override { events.push_back("show file " + path); }

    // The events without the progress steps of the loop.
    std::vector<std::string> steps() const
    {
        std::vector<std::string> out;
        for (const auto& e : events)
            if (e != "events" && (e == "progress 0" || !e.starts_with("progress ")))
                out.push_back(e);
        return out;
    }
    // The percentages of the loop, each checked to be followed by "events".
    std::vector<int> loopPercents() const
    {
        std::vector<int> out;
        for (std::size_t i = 0; i < events.size(); ++i) {
            if (!events[i].starts_with("progress ") || events[i] == "progress 0")
                continue;
            out.push_back(std::stoi(events[i].substr(9)));
            EXPECT_TRUE(i + 1 < events.size() && events[i + 1] == "events")
                << "no events after " << events[i];
        }
        return out;
    }

private:
    int m_progress = 0;
};

std::size_t openFileCount()
{
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

const std::string StartText = "texts 正在剪切 / 正在剪切，请稍等……";
const std::string AskText = "ask 剪切完成 / 剪切完成，要打开文件所在目录吗？";

class CutterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { zv::engine::init(zv::engine::NoSoundDevice, 44100); }

    CutterTest()
    {
        writeWav(m_source, toneSteps({ 440, 660 }, 1.0));
        m_cutter.SourceFile = m_source;
    }

    TempDir m_dir;
    const std::string m_source = m_dir.file("src.wav");
    RecordingHost m_host;
    TCutter m_cutter { m_host };
};

TEST_F(CutterTest, WritesTheSegmentAndGivesTheWindowsBackInOrder)
{
    const std::string output = m_dir.file("out.mp3");
    m_host.answer = true;
    const std::size_t filesBefore = openFileCount();

    m_cutter.Execute(500, 1500, output, 128, "mp3");

    EXPECT_EQ(openFileCount(), filesBefore) << "a stream of the cut stayed open";
    EXPECT_THAT(m_host.steps(),
        ElementsAre(
            "progress 0", "disable", StartText, "show", AskText, "show file " + output, "enable", "hide"));
    const std::vector<int> percents = m_host.loopPercents();
    ASSERT_FALSE(percents.empty());
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end())
        && std::adjacent_find(percents.begin(), percents.end()) == percents.end());
    EXPECT_EQ(percents.back(), 100);
    EXPECT_THAT(folderNames(m_dir.path().string()), ElementsAre("out.mp3", "src.wav"));

    const Signal out = decodeWithEngine(output);
    EXPECT_NEAR(out.seconds(), 1.0, 0.002);
    EXPECT_NEAR(dominantHz(out.mono(0.1, 0.4), out.rate, 300, 800), 440, 2);
    EXPECT_NEAR(dominantHz(out.mono(0.6, 0.9), out.rate, 300, 800), 660, 2);
}

TEST_F(CutterTest, M4rWritesUnderTheM4rExtensionAndShowsThatFile)
{
    m_host.answer = true;
    m_cutter.Execute(0, 1000, m_dir.file("a.mp3"), 128, "M4R");

    EXPECT_THAT(m_host.steps(), ::testing::Contains("show file " + m_dir.file("a.m4r")));
    EXPECT_THAT(folderNames(m_dir.path().string()), ElementsAre("a.m4r", "src.wav"));
}

TEST_F(CutterTest, EndNotAfterStartOnlyShowsTheMessage)
{
    ScopedFakeDialogs dialogs;
    m_cutter.Execute(1000, 1000, m_dir.file("out.mp3"), 128, "mp3");

    EXPECT_THAT(dialogs->texts(), ElementsAre("“开始时间”必须小于“结束时间”。"));
    EXPECT_TRUE(m_host.events.empty());
    EXPECT_THAT(folderNames(m_dir.path().string()), ElementsAre("src.wav"));
}

TEST_F(CutterTest, EndBeyondTheSourceKeepsWhatThereIsWithoutReaching100)
{
    m_cutter.Execute(1000, 5000, m_dir.file("out.mp3"), 128, "mp3");

    EXPECT_THAT(m_host.steps(), ::testing::Contains(AskText));
    EXPECT_LT(m_host.loopPercents().back(), 100);
    EXPECT_NEAR(decodeWithEngine(m_dir.file("out.mp3")).seconds(), 1.0, 0.002);
}

TEST_F(CutterTest, TempoShortensTheOutputAndKeepsThePitch)
{
    m_cutter.DecodeEffects.SetEnabled(true);
    m_cutter.DecodeEffects.SetTempoOn(true);
    m_cutter.DecodeEffects.SetTempo(25);
    m_cutter.Execute(0, 1000, m_dir.file("out.mp3"), 128, "mp3");

    const Signal out = decodeWithEngine(m_dir.file("out.mp3"));
    EXPECT_NEAR(out.seconds(), 0.8, 0.005);
    EXPECT_NEAR(dominantHz(out.mono(0.2, 0.6), out.rate, 300, 800), 440, 2);
}

// Every failure leaves the source, the folder and any file at the output path
// as they were, reports the program's text and gives the windows back.
TEST_F(CutterTest, FailuresLeaveEverythingAsItWas)
{
    const ScopedWorkingFolder workingFolder(m_dir.path().string());
    fs::create_directory(m_dir.path() / "sub");
    fs::create_directory(m_dir.path() / "bin");
    fs::create_symlink(m_source, m_dir.file("link.wav"));
    fs::create_hard_link(m_source, m_dir.file("hard.wav"));
    makeWithFfmpeg(m_source, { "-c:a", "aac", "-f", "ipod" }, m_dir.file("song.m4r"));
    const std::string binFolder = m_dir.file("bin");
    const std::string missingEncoder
        = "系统异常，文件\"" + ProgramFolder() + "lame\"不存在，请重新安装本程序";
    const std::string encodeFailed = "编码失败，输出文件没有写成(";

    struct Case {
        std::string name;
        std::string source;
        std::string output;
        std::string format;
        std::uint32_t startMs;
        std::string lame; // script body of a stand-in encoder on an otherwise empty PATH; "" = the real one
        std::string message;
        bool windowsChanged;
        bool existingOutput = true; // a file at the output path that must survive
    };
    const std::vector<Case> cases {
        { "output is the source", "src.wav", m_source, "mp3", 0, "",
            "输出文件不能是源文件本身，请另选输出文件。", false, false },
        { "through a symlink", "src.wav", "link.wav", "mp3", 0, "",
            "输出文件不能是源文件本身，请另选输出文件。", false, false },
        { "through .. relatively", "src.wav", "sub/../src.wav", "mp3", 0, "",
            "输出文件不能是源文件本身，请另选输出文件。", false, false },
        { "through a hard link", "src.wav", "hard.wav", "mp3", 0, "",
            "输出文件不能是源文件本身，请另选输出文件。", false, false },
        { "through the m4r extension", "song.m4r", "song.mp3", "m4r", 0, "",
            "输出文件不能是源文件本身，请另选输出文件。", false, false },
        { "missing output folder", "src.wav", "none/out.mp3", "mp3", 0, "",
            "输出目录不存在：" + m_dir.file("none"), false, false },
        { "missing source", "gone.wav", "out.mp3", "mp3", 0, "", "文件打开失败(2)", false },
        { "start beyond the source", "src.wav", "out.mp3", "mp3", 5000, "", "无法定位到“开始时间”，剪切失败(",
            true },
        { "missing encoder", "src.wav", "out.mp3", "mp3", 0, "-", missingEncoder, true },
        { "encoder fails at once", "src.wav", "out.mp3", "mp3", 0, "exit 1", encodeFailed, true },
        { "encoder reads all, then fails", "src.wav", "out.mp3", "mp3", 0, "/bin/cat >/dev/null; exit 1",
            encodeFailed, true },
        { "encoder writes, then fails", "src.wav", "out.mp3", "mp3", 0, "/bin/cat >\"$5\"; exit 1",
            encodeFailed, true },
    };
    const std::string previous = "previous output";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(m_dir.file("bin/lame"));
        if (!c.lame.empty() && c.lame != "-")
            writeScript(m_dir.file("bin/lame"), c.lame);
        const ScopedEnv path("PATH", c.lame.empty() ? std::getenv("PATH") : binFolder);
        if (c.existingOutput)
            writeBytes(c.output, previous);
        const std::string sourceBytes = readBytes(c.source);
        const auto namesBefore = folderNames(m_dir.path().string());
        RecordingHost host;
        TCutter cutter(host);
        cutter.SourceFile = c.source;

        try {
            cutter.Execute(c.startMs, c.startMs + 1000, c.output, 128, c.format);
            ADD_FAILURE() << "no error";
        } catch (const AppError& error) {
            EXPECT_THAT(error.what(), StartsWith(c.message));
        }

        EXPECT_EQ(readBytes(c.source), sourceBytes);
        EXPECT_EQ(folderNames(m_dir.path().string()), namesBefore);
        if (c.existingOutput) {
            EXPECT_EQ(readBytes(c.output), previous);
        }
        if (c.windowsChanged) {
            EXPECT_THAT(
                host.steps(), ElementsAre("progress 0", "disable", StartText, "show", "enable", "hide"));
        } else {
            EXPECT_TRUE(host.events.empty());
        }
        fs::remove(m_dir.file("out.mp3"));
    }
}

} // namespace
