#pragma once
// Runs a program (no shell) for fixtures and end-to-end tests.

#include <string>
#include <vector>

namespace zvtest {

struct CommandResult {
    int exitCode = -1; // -1 when it could not run or was killed
    std::string out;
    std::string err;
};

CommandResult runCommand(const std::vector<std::string>& argv);
// Folder of the built programs (set by ctest), for the CLI tests.
std::string binDir();

// Encodes a WAV to MP3 with lame at a constant bit rate; throws on failure.
void makeMp3(const std::string& wav, const std::string& mp3, int kbps = 128);
// Makes a file with the ffmpeg program (arguments between input and output).
void makeWithFfmpeg(
    const std::string& input, const std::vector<std::string>& args, const std::string& output);

} // namespace zvtest
