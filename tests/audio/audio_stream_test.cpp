#include "audio/app_error.h"
#include "audio/audio_stream.h"
#include "support/signal.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace engine = zv::engine;

namespace {

class AudioStream : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine::init(engine::NoSoundDevice, 44100);
        zvtest::writeWav(m_dir.file("tone.wav"), zvtest::sine(440, 0.2));
    }

    // A WAV file under another name: what opens it tells which opener ran.
    std::string wavNamed(const std::string& name)
    {
        std::filesystem::copy_file(m_dir.file("tone.wav"), m_dir.file(name));
        return m_dir.file(name);
    }

    // The text and code of the error OpenAudioStream raises for the file.
    static std::pair<std::string, int> openError(const std::string& path)
    {
        try {
            engine::streamFree(OpenAudioStream(path, engine::StreamDecode, true));
        } catch (const AppError& error) {
            return { error.what(), error.engineCode() };
        }
        return { "opened", 0 };
    }

    zvtest::TempDir m_dir;
};

TEST_F(AudioStream, OpensPlayableAndDecodeStreams)
{
    for (const std::uint32_t flags : { 0u, engine::StreamDecode }) {
        for (const bool prescan : { false, true }) {
            const engine::Handle stream = OpenAudioStream(m_dir.file("tone.wav"), flags, prescan);
            ASSERT_NE(stream, 0u);
            EXPECT_EQ(engine::channelGetLength(stream), 8820u * 4);
            char buffer[400];
            EXPECT_EQ(
                engine::channelGetData(stream, buffer, sizeof buffer) > 0, flags == engine::StreamDecode);
            engine::streamFree(stream);
        }
    }
}

TEST_F(AudioStream, FailuresCarryTheMessageAndTheCode)
{
    std::ofstream(m_dir.file("text.mp3")) << "this is not audio\n";
    EXPECT_EQ(openError(m_dir.file("missing.mp3")), (std::pair<std::string, int> { "文件打开失败(2)", 2 }));
    EXPECT_EQ(openError(m_dir.file("text.mp3")),
        (std::pair<std::string, int> { "文件打开失败（不支持的文件格式）(41)", 41 }));
}

TEST_F(AudioStream, TheWmaOpenerIsChosenByTheExtensionInAnyCase)
{
    // The WMA opener refuses a file that is not ASF; the general one plays WAV.
    EXPECT_EQ(openError(wavNamed("SONG.WMA")).second, engine::FileFormat);
    EXPECT_EQ(openError(wavNamed("song.wma")).second, engine::FileFormat);
    EXPECT_EQ(openError(wavNamed("song.wma.mp3")).first, "opened");
    EXPECT_EQ(openError(wavNamed("song")).first, "opened");
    std::filesystem::create_directory(m_dir.file("folder.wma"));
    EXPECT_EQ(openError(wavNamed("folder.wma/song")).first, "opened");
}

TEST_F(AudioStream, WithoutAnInitialisedEngineTheMessageAsksForASoundCard)
{
    engine::shutdown();
    const auto error = openError(m_dir.file("tone.wav"));
    engine::init(engine::NoSoundDevice, 44100);
    EXPECT_EQ(
        error, (std::pair<std::string, int> { "初始化失败，请检查是否安装了声卡及其驱动程序。(8)", 8 }));
}

} // namespace
