#pragma once
// An external encoder program fed through its standard input: a WAV header
// with unknown sizes, then 16-bit PCM. Started without a shell.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace zv::engine {

class Encoder {
public:
    // Starts the program without handing it anything yet, so that its
    // start-up can overlap the work that tells the format. argv[0] is the
    // program; without a '/' it is looked up on PATH. Returns nullptr with
    // EncoderStart recorded when it cannot be started.
    static std::shared_ptr<Encoder> launch(const std::vector<std::string>& argv);
    // launch, then begin. BadParameter for a format no WAV header can hold.
    static std::shared_ptr<Encoder> start(const std::vector<std::string>& argv, int rate, int channels);
    ~Encoder(); // stops the encoder if it still runs

    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    // Hands over the WAV header of 16-bit PCM at this rate and channel
    // count; write() then hands over the PCM. False with BadParameter for a
    // format no WAV header can hold, or when the header has been sent already.
    bool begin(int rate, int channels);
    // After begin. False once the encoder no longer takes data (it exited or
    // closed its input).
    bool write(const void* data, std::size_t bytes);
    // Closes the input and waits for the encoder to exit. False, with
    // EncoderFailed or EncoderWrite recorded, unless it took every byte and
    // exited with status 0. Only the first call waits; later ones repeat its
    // result. Before begin the encoder has no file to finish: it is killed,
    // and that counts as EncoderFailed.
    bool stop(std::string* errorOutput);
    bool active() const;

private:
    struct Process;
    explicit Encoder(std::unique_ptr<Process> process);
    std::unique_ptr<Process> m_process;
};

// Splits a command line into words as a POSIX shell would split plain words
// and double-quoted strings; nothing is expanded or executed.
std::vector<std::string> splitCommandLine(const std::string& commandLine);

} // namespace zv::engine
