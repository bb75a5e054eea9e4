#include "audio/file_names.h"

#include <filesystem>

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

bool IsSameFile(const std::string& a, const std::string& b)
{
    namespace fs = std::filesystem;
    if (a.empty() || b.empty())
        return false;
    std::error_code error;
    if (fs::exists(a, error) && fs::exists(b, error))
        return fs::equivalent(a, b, error);
    const fs::path canonicalA = fs::weakly_canonical(fs::absolute(a, error), error);
    if (error)
        return false;
    const fs::path canonicalB = fs::weakly_canonical(fs::absolute(b, error), error);
    return !error && canonicalA == canonicalB;
}
