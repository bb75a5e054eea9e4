#include "cutter/partial_output.h"

#include "audio/app_error.h"
#include "audio/file_names.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::size_t MaxNameBytes = 255;

// Shortens a UTF-8 text to at most maxBytes without splitting a character.
std::string TruncateUtf8(const std::string& text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    std::size_t end = maxBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

std::string PartialName(const std::filesystem::path& output, unsigned serial)
{
    // The output's extension stays last: the M4R command line replaces the
    // extension by the same rule.
    const std::string name = output.filename().string();
    const std::string ext = ExtractFileExt(name);
    const std::string suffix = ".zvpart-" + std::to_string(getpid()) + "-" + std::to_string(serial);
    const std::size_t room = MaxNameBytes - 1 - suffix.size() - std::min(ext.size(), MaxNameBytes / 2);
    return "." + TruncateUtf8(RemoveFileExt(name), room) + suffix + ext;
}

} // namespace

TPartialOutput::TPartialOutput(const std::filesystem::path& output)
    : m_output(output)
{
    static std::atomic<unsigned> serial { 0 };
    const std::filesystem::path folder = output.parent_path();
    for (;;) {
        const std::filesystem::path candidate = folder / PartialName(output, ++serial);
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            m_path = candidate.string();
            return;
        }
        if (errno == EEXIST)
            continue;
        if (errno == ENOENT || errno == ENOTDIR)
            throw AppError("输出目录不存在：" + folder.string());
        throw AppError("无法在输出目录中写入文件：" + folder.string());
    }
}

TPartialOutput::~TPartialOutput()
{
    if (!m_committed)
        ::unlink(m_path.c_str());
}

void TPartialOutput::Commit()
{
    std::error_code error;
    std::filesystem::rename(m_path, m_output, error);
    if (error)
        throw AppError("无法写入输出文件：" + m_output.string());
    m_committed = true;
}
