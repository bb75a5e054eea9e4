#include "audio/audio_stream.h"

#include "audio/app_error.h"
#include "audio/file_names.h"

#include <algorithm>

namespace engine = zv::engine;

namespace {

std::string openErrorText(int code)
{
    switch (code) {
    case engine::NotInitialised:
        return "初始化失败，请检查是否安装了声卡及其驱动程序。";
    case engine::FileFormat:
        return "文件打开失败（不支持的文件格式）";
    case engine::WmaProtected:
        return "该文件设置了版权保护，打开失败。";
    case engine::WmaUnavailable:
        return "文件打开失败，Windows Media Player版本过低，请升级到9.0或以上版本。";
    case engine::DecoderLibraryMissing:
        return "文件打开失败（找不到解码库 FFmpeg，请重新安装本程序）";
    default:
        return "文件打开失败";
    }
}

} // namespace

engine::Handle OpenAudioStream(const std::string& fileName, std::uint32_t flags, bool prescan)
{
    std::string ext = ExtractFileExt(fileName);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c);
    });
    if (prescan)
        flags |= engine::StreamPrescan;
    const engine::Handle stream = ext == ".wma" ? engine::streamCreateWmaFile(fileName, flags)
                                                : engine::streamCreateFile(fileName, flags);
    if (stream != 0)
        return stream;
    const int code = engine::lastError();
    throw AppError(openErrorText(code) + "(" + std::to_string(code) + ")", code);
}
