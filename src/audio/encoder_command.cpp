#include "audio/encoder_command.h"

#include "audio/app_error.h"
#include "audio/file_names.h"

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <strings.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool isExecutableFile(const fs::path& path)
{
    std::error_code error;
    return fs::is_regular_file(path, error) && access(path.c_str(), X_OK) == 0;
}

std::string absolutePath(const std::string& path)
{
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    return error ? path : absolute.string();
}

std::string joinQuoted(std::initializer_list<std::string> words)
{
    std::string line;
    for (const std::string& word : words) {
        if (!line.empty())
            line += ' ';
        line += QuoteCommandWord(word);
    }
    return line;
}

} // namespace

std::string ProgramFolder()
{
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    if (error)
        return "./";
    return exe.parent_path().string() + '/';
}

std::string LocateProgram(const std::string& name, const std::string& folder, const std::string& searchPath)
{
    if (isExecutableFile(fs::path(folder) / name))
        return (fs::path(folder) / name).string();
    std::size_t begin = 0;
    while (begin < searchPath.size()) {
        std::size_t end = searchPath.find(':', begin);
        if (end == std::string::npos)
            end = searchPath.size();
        // Empty entries would mean the working folder: never run an encoder from there.
        if (end > begin) {
            const fs::path candidate = fs::path(searchPath.substr(begin, end - begin)) / name;
            if (isExecutableFile(candidate))
                return absolutePath(candidate.string());
        }
        begin = end + 1;
    }
    return {};
}

std::string FindEncoder(const std::string& name)
{
    const char* path = std::getenv("PATH");
    const std::string found = LocateProgram(name, ProgramFolder(), path ? path : "");
    if (found.empty())
        throw AppError("系统异常，文件\"" + ProgramFolder() + name + "\"不存在，请重新安装本程序");
    return found;
}

std::string QuoteCommandWord(const std::string& word)
{
    std::string quoted = "\"";
    for (char c : word) {
        if (c == '\\' || c == '"' || c == '$' || c == '`')
            quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

std::string Mp3EncoderCommand(int kbps, const std::string& outputPath)
{
    return joinQuoted(
        { FindEncoder("lame"), "--alt-preset", "cbr", std::to_string(kbps), "-", absolutePath(outputPath) });
}

std::string M4rEncoderCommand(int kbps, const std::string& outputPath)
{
    // "file:" keeps a name such as "10:30.m4r" from reading as a protocol.
    return joinQuoted({ FindEncoder("ffmpeg"), "-hide_banner", "-nostdin", "-loglevel", "error", "-f", "wav",
        "-i", "-", "-c:a", "aac", "-b:a", std::to_string(kbps) + "k", "-f", "ipod", "-y",
        "file:" + absolutePath(ChangeFileExt(outputPath, ".m4r")) });
}

std::string RecordEncoderCommand(const std::string& recordPath)
{
    return joinQuoted({ FindEncoder("lame"), "--alt-preset", "standard", "-", absolutePath(recordPath) });
}

bool IsM4r(const std::string& format)
{
    return strcasecmp(format.c_str(), "m4r") == 0;
}
