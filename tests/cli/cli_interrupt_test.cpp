#include "support/command.h"
#include "support/scoped_env.h"
#include "support/signal.h"
#include "support/temp_dir.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

using namespace zvtest;
namespace fs = std::filesystem;

// Ctrl-C during a cut ends it as a failure: no output and no unfinished
// hidden file stay behind.
TEST(CliInterruptTest, InterruptedCutLeavesNothingBehind)
{
    TempDir dir;
    writeWav(dir.file("src.wav"), sine(440, 20.0));
    fs::create_directory(dir.file("bin"));
    // An encoder slow to start: the cut is still running when the signal comes.
    writeScript(dir.file("bin/lame"), "sleep 1; exec cat > \"$5\"");
    ScopedEnv path("PATH", dir.file("bin") + ":/usr/bin:/bin");

    const std::string cli = binDir() + "/zelvora-cli";
    const std::string source = dir.file("src.wav");
    const std::string output = dir.file("out.mp3");
    std::vector<std::string> args { cli, "cut", source, "-o", output, "--start", "00:00.000", "--end",
        "00:20.000" };
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, cli.c_str(), nullptr, nullptr, argv.data(), environ), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);

    ASSERT_TRUE(WIFEXITED(status)) << "killed by the signal instead of cleaning up";
    EXPECT_EQ(WEXITSTATUS(status), 1);
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_TRUE(entry.path().filename() == "src.wav" || entry.path().filename() == "bin")
            << "left behind: " << entry.path();
}
