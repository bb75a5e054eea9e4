#include "support/command.h"

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zvtest {

namespace {
std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
} // namespace

CommandResult runCommand(const std::vector<std::string>& argv)
{
    CommandResult result;
    char outName[] = "/tmp/zvcmd-out-XXXXXX";
    char errName[] = "/tmp/zvcmd-err-XXXXXX";
    const int outFd = mkstemp(outName);
    const int errFd = mkstemp(errName);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(outFd);
    close(errFd);
    if (rc == 0) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0) { }
        if (WIFEXITED(status))
            result.exitCode = WEXITSTATUS(status);
    }
    result.out = readAll(outName);
    result.err = readAll(errName);
    unlink(outName);
    unlink(errName);
    return result;
}

std::string binDir()
{
    const char* dir = std::getenv("ZV_BIN_DIR");
    return dir ? dir : ZV_TEST_BIN_DIR;
}

void makeMp3(const std::string& wav, const std::string& mp3, int kbps)
{
    const auto r = runCommand({ "lame", "--quiet", "--alt-preset", "cbr", std::to_string(kbps), wav, mp3 });
    if (r.exitCode != 0)
        throw std::runtime_error("lame failed: " + r.err);
}

void makeWithFfmpeg(const std::string& input, const std::vector<std::string>& args, const std::string& output)
{
    std::vector<std::string> argv { "ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y", "-i",
        input };
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back(output);
    const auto r = runCommand(argv);
    if (r.exitCode != 0)
        throw std::runtime_error("ffmpeg failed: " + r.err);
}

} // namespace zvtest
