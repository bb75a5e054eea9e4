#include "engine/encoder.h"

#include "engine/engine.h"
#include "engine/error.h"
#include "engine/unique_fd.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <spawn.h>
#include <string_view>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace zv::engine {
namespace {

// Blocks handed in by the data path (a few KiB each) are batched into writes
// of this size, so feeding the encoder costs few system calls.
constexpr std::size_t BatchBytes = 64 * 1024;
// A large pipe lets decoding run ahead of the encoder. The default limit for
// unprivileged processes is 1 MiB; the pipe keeps its size where this fails.
constexpr int PipeBytes = 1024 * 1024;
// The end of the encoder's standard error is what explains a failure.
constexpr std::size_t ErrorTextBytes = 4096;

class SpawnFileActions {
public:
    SpawnFileActions() { posix_spawn_file_actions_init(&m_actions); }
    ~SpawnFileActions() { posix_spawn_file_actions_destroy(&m_actions); }
    SpawnFileActions(const SpawnFileActions&) = delete;
    SpawnFileActions& operator=(const SpawnFileActions&) = delete;
    posix_spawn_file_actions_t* get() { return &m_actions; }

private:
    posix_spawn_file_actions_t m_actions;
};

class SpawnAttributes {
public:
    SpawnAttributes() { posix_spawnattr_init(&m_attributes); }
    ~SpawnAttributes() { posix_spawnattr_destroy(&m_attributes); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    posix_spawnattr_t* get() { return &m_attributes; }

private:
    posix_spawnattr_t m_attributes;
};

// A write to a pipe whose reader is gone raises SIGPIPE in the writing
// thread, which by default ends the whole program. While this guard lives the
// signal is blocked for the calling thread only; a SIGPIPE our write raised is
// taken back before the old mask returns, so the caller sees EPIPE and the
// process's signal handling stays as the host program set it.
class SigpipeGuard {
public:
    SigpipeGuard()
    {
        sigemptyset(&m_sigpipe);
        sigaddset(&m_sigpipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &m_sigpipe, &m_oldMask);
    }
    ~SigpipeGuard()
    {
        if (m_raised && !m_wasPending) {
            const timespec now {};
            while (sigtimedwait(&m_sigpipe, nullptr, &now) < 0 && errno == EINTR) { }
        }
        pthread_sigmask(SIG_SETMASK, &m_oldMask, nullptr);
    }
    SigpipeGuard(const SigpipeGuard&) = delete;
    SigpipeGuard& operator=(const SigpipeGuard&) = delete;

    void raised() { m_raised = true; }

private:
    sigset_t m_sigpipe;
    sigset_t m_oldMask;
    bool m_wasPending = false;
    bool m_raised = false;
};

bool writeAll(int fd, const unsigned char* data, std::size_t bytes)
{
    SigpipeGuard guard;
    while (bytes > 0) {
        const ssize_t written = ::write(fd, data, bytes);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EPIPE)
                guard.raised();
            return false;
        }
        data += written;
        bytes -= static_cast<std::size_t>(written);
    }
    return true;
}

// 16-bit PCM; the RIFF and data sizes say "unknown" because the length is
// not known when encoding starts.
std::array<unsigned char, 44> wavHeader(int rate, int channels)
{
    constexpr std::uint32_t Unknown = 0xFFFFFFFF;
    const auto blockAlign = static_cast<std::uint32_t>(channels) * 2;
    std::array<unsigned char, 44> header {};
    std::size_t at = 0;
    const auto tag = [&](const char* text) {
        for (int i = 0; i < 4; ++i)
            header[at++] = static_cast<unsigned char>(text[i]);
    };
    const auto number = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            header[at++] = static_cast<unsigned char>(value >> (8 * i));
    };
    tag("RIFF");
    number(Unknown, 4);
    tag("WAVE");
    tag("fmt ");
    number(16, 4); // size of the format chunk
    number(1, 2); // PCM
    number(static_cast<std::uint32_t>(channels), 2);
    number(static_cast<std::uint32_t>(rate), 4);
    number(static_cast<std::uint32_t>(rate) * blockAlign, 4);
    number(blockAlign, 2);
    number(16, 2);
    tag("data");
    number(Unknown, 4);
    return header;
}

// The last ErrorTextBytes of the file, starting at a whole UTF-8 character.
std::string readTail(int fd)
{
    struct stat info { };
    if (fstat(fd, &info) != 0 || info.st_size <= 0)
        return {};
    const auto size = static_cast<std::size_t>(info.st_size);
    const std::size_t from = size > ErrorTextBytes ? size - ErrorTextBytes : 0;
    std::string text(size - from, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = pread(fd, text.data() + got, text.size() - got, static_cast<off_t>(from + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    std::size_t start = 0;
    if (from > 0)
        while (start < text.size() && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
            ++start;
    return text.substr(start);
}

bool validFormat(int rate, int channels)
{
    return rate > 0 && channels > 0 && channels <= 0x7FFF
        && static_cast<std::uint64_t>(rate) * static_cast<std::uint64_t>(channels) * 2 <= 0xFFFFFFFF;
}

} // namespace

// Everything of one running encoder. The mutex guards every member, so the
// data path, the is-active query and stop may come from different threads.
struct Encoder::Process {
    ~Process() { finish(); }

    // Writes bytes to the encoder; on the first failure closes its input
    // for good.
    bool send(const unsigned char* data, std::size_t bytes)
    {
        if (!taking)
            return false;
        if (bytes == 0 || writeAll(input.get(), data, bytes))
            return true;
        taking = false;
        input = UniqueFd {};
        return false;
    }

    bool flush()
    {
        const bool sent = send(pending.data(), pending.size());
        pending.clear();
        return sent;
    }

    void reap(bool block)
    {
        if (reaped)
            return;
        int status = 0;
        for (;;) {
            const pid_t got = waitpid(pid, &status, block ? 0 : WNOHANG);
            if (got == 0)
                return;
            if (got == pid)
                break;
            if (errno != EINTR) {
                // Reaped elsewhere (SIGCHLD ignored by the host): the
                // outcome is unknown, so it cannot count as success.
                status = -1;
                break;
            }
        }
        reaped = true;
        exitedCleanly = status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    // Runs once: hands over what is batched, closes the input so the encoder
    // finishes its file, and waits for it. One that never got its header has
    // no file to finish and is not left to start up only to fail.
    void finish()
    {
        if (finished)
            return;
        finished = true;
        flush();
        input = UniqueFd {};
        if (!begun && !reaped)
            ::kill(pid, SIGKILL);
        reap(true);
        if (!exitedCleanly)
            error = EncoderFailed;
        else if (!taking)
            error = EncoderWrite;
        if (error != Ok)
            errorText = readTail(errors.get());
        errors = UniqueFd {};
    }

    std::mutex mutex;
    pid_t pid = -1;
    UniqueFd input; // write end of the encoder's standard input
    UniqueFd errors; // anonymous file holding the encoder's standard error
    std::vector<unsigned char> pending;
    bool taking = true; // every byte so far reached the encoder
    bool begun = false; // the WAV header has been sent
    bool reaped = false;
    bool exitedCleanly = false;
    bool finished = false;
    int error = Ok;
    std::string errorText;
};

Encoder::Encoder(std::unique_ptr<Process> process)
    : m_process(std::move(process))
{
}

Encoder::~Encoder() = default;

std::shared_ptr<Encoder> Encoder::start(const std::vector<std::string>& argv, int rate, int channels)
{
    if (!validFormat(rate, channels))
        return fail(BadParameter, std::shared_ptr<Encoder> {});
    auto encoder = launch(argv);
    if (encoder)
        encoder->begin(rate, channels);
    return encoder;
}

std::shared_ptr<Encoder> Encoder::launch(const std::vector<std::string>& argv)
{
    if (argv.empty())
        return fail(EncoderStart, std::shared_ptr<Encoder> {});

    // Our ends of every descriptor are close-on-exec, so no encoder keeps
    // another encoder's input open (which would keep that one from ever
    // seeing the end of its data); the child also closes everything above
    // standard error in case the host program opened something without it.
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return fail(EncoderStart, std::shared_ptr<Encoder> {});
    UniqueFd readEnd(pipeFds[0]);
    UniqueFd writeEnd(pipeFds[1]);
    fcntl(writeEnd.get(), F_SETPIPE_SZ, PipeBytes);
    UniqueFd errors(memfd_create("zv-encoder-stderr", MFD_CLOEXEC));
    if (!errors)
        return fail(EncoderStart, std::shared_ptr<Encoder> {});

    SpawnFileActions actions;
    if (posix_spawn_file_actions_adddup2(actions.get(), readEnd.get(), STDIN_FILENO) != 0
        || posix_spawn_file_actions_addopen(actions.get(), STDOUT_FILENO, "/dev/null", O_WRONLY, 0) != 0
        || posix_spawn_file_actions_adddup2(actions.get(), errors.get(), STDERR_FILENO) != 0
        || posix_spawn_file_actions_addclosefrom_np(actions.get(), STDERR_FILENO + 1) != 0)
        return fail(EncoderStart, std::shared_ptr<Encoder> {});

    // The encoder starts with default signal handling whatever the calling
    // thread blocks or the host program ignores.
    SpawnAttributes attributes;
    sigset_t noSignals;
    sigset_t sigpipe;
    sigemptyset(&noSignals);
    sigemptyset(&sigpipe);
    sigaddset(&sigpipe, SIGPIPE);
    if (posix_spawnattr_setflags(attributes.get(), POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) != 0
        || posix_spawnattr_setsigmask(attributes.get(), &noSignals) != 0
        || posix_spawnattr_setsigdefault(attributes.get(), &sigpipe) != 0)
        return fail(EncoderStart, std::shared_ptr<Encoder> {});

    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    // glibc reports a program that cannot be executed (missing, not
    // executable, not a program) through the return code, and never falls
    // back to running it with a shell.
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], actions.get(), attributes.get(), args.data(), environ) != 0)
        return fail(EncoderStart, std::shared_ptr<Encoder> {});

    auto process = std::make_unique<Process>();
    process->pid = pid;
    process->input = std::move(writeEnd);
    process->errors = std::move(errors);
    process->pending.reserve(BatchBytes);
    return std::shared_ptr<Encoder>(new Encoder(std::move(process)));
}

bool Encoder::begin(int rate, int channels)
{
    Process& p = *m_process;
    const std::lock_guard lock(p.mutex);
    if (p.begun || p.finished || !validFormat(rate, channels))
        return fail(BadParameter, false);
    p.begun = true;
    // An encoder that already exited shows when data is written or it stops.
    const auto header = wavHeader(rate, channels);
    p.send(header.data(), header.size());
    return true;
}

bool Encoder::write(const void* data, std::size_t bytes)
{
    Process& p = *m_process;
    const std::lock_guard lock(p.mutex);
    if (p.finished || !p.taking)
        return false;
    const auto* in = static_cast<const unsigned char*>(data);
    if (p.pending.size() + bytes > BatchBytes && !p.flush())
        return false;
    if (bytes >= BatchBytes)
        return p.send(in, bytes);
    p.pending.insert(p.pending.end(), in, in + bytes);
    return true;
}

bool Encoder::stop(std::string* errorOutput)
{
    Process& p = *m_process;
    const std::lock_guard lock(p.mutex);
    p.finish();
    if (p.error == Ok)
        return true;
    if (errorOutput)
        *errorOutput = p.errorText;
    return fail(p.error, false);
}

bool Encoder::active() const
{
    Process& p = *m_process;
    const std::lock_guard lock(p.mutex);
    if (p.finished || !p.taking)
        return false;
    p.reap(false);
    return !p.reaped;
}

std::vector<std::string> splitCommandLine(const std::string& commandLine)
{
    // Blanks separate words; quotes group and are removed. Shell operators,
    // comments, variables, substitutions and patterns have no meaning here.
    constexpr std::string_view blanks = " \t\n";
    constexpr std::string_view escapedInDoubleQuotes = "$`\"\\";
    const std::string& s = commandLine;
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (blanks.find(c) != std::string_view::npos) {
            if (inWord)
                words.push_back(std::exchange(word, {}));
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '\\') {
            // A backslash at the very end has nothing to escape and stays.
            word += i + 1 < s.size() ? s[++i] : c;
        } else if (c == '\'') {
            const std::size_t close = std::min(s.find('\'', i + 1), s.size());
            word.append(s, i + 1, close - i - 1);
            i = close;
        } else if (c == '"') {
            for (++i; i < s.size() && s[i] != '"'; ++i) {
                if (s[i] == '\\' && i + 1 < s.size()
                    && escapedInDoubleQuotes.find(s[i + 1]) != std::string_view::npos)
                    ++i;
                word += s[i];
            }
        } else {
            word += c;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

} // namespace zv::engine
