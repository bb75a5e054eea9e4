#include "audio/file_names.h"

namespace {

// Position of the extension's dot in the file-name part, or npos.
std::size_t extensionDot(const std::string& path)
{
    const std::size_t dot = path.find_last_of("./");
    return dot != std::string::npos && path[dot] == '.' ? dot : std::string::npos;
}

} // namespace

bool IsValidFileName(const std::string& name)
{
    return name.find_first_of("\\/:*?\"<>|") == std::string::npos;
}

std::string ExtractFileExt(const std::string& path)
{
    const std::size_t dot = extensionDot(path);
    return dot == std::string::npos ? std::string() : path.substr(dot);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext)
{
    return RemoveFileExt(path) + ext;
}

std::string RemoveFileExt(const std::string& path)
{
    return path.substr(0, extensionDot(path));
}
