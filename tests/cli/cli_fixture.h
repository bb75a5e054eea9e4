#pragma once
// Running zelvora-cli and looking at what it wrote, for the end-to-end tests.

#include "support/command.h"

#include <string>
#include <vector>

namespace zvtest {

CommandResult runCli(const std::vector<std::string>& args);

// What ffprobe says about a file's container and first audio stream.
struct Probe {
    std::string formatName; // e.g. "mp3", "mov,mp4,m4a,3gp,3g2,mj2"
    std::string codec; // e.g. "mp3", "aac"
    long bitRate = 0; // of the stream, bit/s
    double duration = 0; // of the container, seconds
};
Probe probe(const std::string& path);

} // namespace zvtest
