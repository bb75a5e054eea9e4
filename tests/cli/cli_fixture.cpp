#include "cli/cli_fixture.h"

#include <sstream>

namespace zvtest {

CommandResult runCli(const std::vector<std::string>& args)
{
    std::vector<std::string> argv { binDir() + "/zelvora-cli" };
    argv.insert(argv.end(), args.begin(), args.end());
    return runCommand(argv);
}

Probe probe(const std::string& path)
{
    const CommandResult r = runCommand({ "ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
        "format=format_name,duration:stream=codec_name,bit_rate", "-of", "default=noprint_wrappers=1",
        path });
    Probe p;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (key == "format_name")
            p.formatName = value;
        else if (key == "codec_name")
            p.codec = value;
        else if (key == "bit_rate" && value != "N/A")
            p.bitRate = std::stol(value);
        else if (key == "duration" && value != "N/A")
            p.duration = std::stod(value);
    }
    return p;
}

} // namespace zvtest
