#include "cli_options.h"

#include "audio/app_error.h"
#include "audio/time_text.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <strings.h>

namespace {

constexpr std::array BitRates { 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320 };

// Options and their values as given; files in the order given.
struct TRawArgs {
    std::map<std::string, std::string> Values;
    std::vector<std::string> Files;
};

TRawArgs SplitArgs(const std::vector<std::string>& args, const std::vector<std::string>& valueOptions,
    const std::vector<std::string>& flagOptions)
{
    const auto known = [](const std::vector<std::string>& list, const std::string& name) {
        return std::find(list.begin(), list.end(), name) != list.end();
    };
    TRawArgs raw;
    bool onlyFiles = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyFiles || arg.size() < 2 || arg[0] != '-') {
            raw.Files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyFiles = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> value;
        if (const auto equals = arg.find('='); arg.starts_with("--") && equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
        }
        if (name == "-o")
            name = "--output";
        if (known(flagOptions, name) && !value) {
            raw.Values[name] = "";
        } else if (known(valueOptions, name)) {
            if (!value) {
                if (i + 1 == args.size())
                    throw TUsageError("选项 " + name + " 缺少值");
                value = args[++i];
            }
            if (raw.Values.count(name))
                throw TUsageError("选项 " + name + " 只能给出一次");
            raw.Values[name] = *value;
        } else {
            throw TUsageError("未知的选项：" + arg);
        }
    }
    return raw;
}

std::string OneFile(const TRawArgs& raw)
{
    if (raw.Files.empty())
        throw TUsageError("缺少源文件");
    if (raw.Files.size() > 1)
        throw TUsageError("只能给出一个源文件，多余的参数：" + raw.Files[1]);
    return raw.Files.front();
}

double ParseNumber(const std::string& text, const std::string& option)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value))
        throw TUsageError("选项 " + option + " 的值不是数字：" + text);
    return value;
}

float ParseInRange(
    const std::string& text, const std::string& option, double low, double high, const std::string& rangeText)
{
    const double value = ParseNumber(text, option);
    if (value < low || value > high)
        throw TUsageError(rangeText + "：" + text);
    return static_cast<float>(value);
}

std::uint32_t ParseTime(const std::string& text, const std::string& option)
{
    try {
        return TimeTextToMs(text);
    } catch (const AppError&) {
        throw TUsageError("选项 " + option + " 的时间无效（格式为 mm:ss.zzz）：" + text);
    }
}

std::uint32_t ParseFadeMs(const std::string& text, const std::string& option)
{
    ParseInRange(text, option, 0, 60, "选项 " + option + " 的淡变时长必须在 0 到 60 秒之间");
    return SecondsTextToMs(text);
}

std::array<float, 10> ParseEqBands(const std::string& text)
{
    const std::string rangeText = "选项 --eq 需要 10 个 -15 到 15 之间的分贝数，以逗号分隔";
    std::array<float, 10> bands {};
    std::size_t count = 0;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = text.find(',', from);
        const std::string item
            = text.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        if (count == bands.size())
            throw TUsageError(rangeText + "：" + text);
        bands[count++] = ParseInRange(item, "--eq", -15, 15, rangeText);
        if (comma == std::string::npos)
            break;
        from = comma + 1;
    }
    if (count != bands.size())
        throw TUsageError(rangeText + "：" + text);
    return bands;
}

const std::string* Value(const TRawArgs& raw, const std::string& name)
{
    const auto it = raw.Values.find(name);
    return it == raw.Values.end() ? nullptr : &it->second;
}

const std::vector<std::string> EffectOptionNames { "--gain", "--tempo", "--fade-in", "--fade-out", "--eq",
    "--eq-preset" };

void ParseEffectOptions(const TRawArgs& raw, TEffectOptions& options)
{
    if (const auto* gain = Value(raw, "--gain"))
        options.GainDb = ParseInRange(*gain, "--gain", -20, 20, "音量增益必须在 -20 到 20 分贝之间");
    if (const auto* tempo = Value(raw, "--tempo"))
        options.TempoPercent = ParseInRange(*tempo, "--tempo", -50, 100, "速度变化必须在 -50 到 100 之间");
    if (const auto* fade = Value(raw, "--fade-in"))
        options.FadeInMs = ParseFadeMs(*fade, "--fade-in");
    if (const auto* fade = Value(raw, "--fade-out"))
        options.FadeOutMs = ParseFadeMs(*fade, "--fade-out");
    if (const auto* eq = Value(raw, "--eq"))
        options.EqBands = ParseEqBands(*eq);
    if (const auto* preset = Value(raw, "--eq-preset")) {
        if (options.EqBands)
            throw TUsageError("--eq 和 --eq-preset 只能用一个");
        if (preset->empty())
            throw TUsageError("均衡器预设文件名为空");
        options.EqPresetFile = *preset;
    }
}

} // namespace

bool TEffectOptions::HasEffects() const
{
    return GainDb || TempoPercent || FadeInMs || FadeOutMs || EqBands || !EqPresetFile.empty();
}

std::string UsageText()
{
    return "用法：\n"
           "  zelvora-cli info SOURCE\n"
           "  zelvora-cli cut SOURCE -o OUTPUT --start TIME --end TIME [选项]\n"
           "  zelvora-cli play SOURCE [--start TIME] [--end TIME] [音效选项]\n"
           "\n"
           "info 在各行写出 length_ms、rate、channels 和 format。\n"
           "TIME 的格式为 mm:ss.zzz，例如 01:30.250；从 100 分钟起分钟为三位或更多位。\n"
           "\n"
           "cut 的选项：\n"
           "  -o, --output FILE       输出文件；m4r 格式时扩展名换成 .m4r\n"
           "  --start TIME            开始时间\n"
           "  --end TIME              结束时间，不能超出源文件的长度\n"
           "  --format mp3|m4r        输出格式，默认 mp3\n"
           "  --bitrate KBPS          32 40 48 56 64 80 96 112 128 160 192 224 256 320，默认 128\n"
           "  --gain DB               增大音量，-20 到 20 分贝\n"
           "  --tempo PERCENT         速度变化（音调不变），-50 到 100\n"
           "  --fade-in SECONDS       淡入时长，0 到 60 秒\n"
           "  --fade-out SECONDS      淡出时长，0 到 60 秒\n"
           "  --eq DB,DB,...          均衡器的 10 个频段（70 180 320 600 1000 3000 6000 12000 14000\n"
           "                          16000 Hz），各 -15 到 15 分贝\n"
           "  --eq-preset FILE.zveq   从均衡器预设文件读取 10 个频段\n"
           "  --force                 覆盖已经存在的输出文件\n"
           "  --                      其后的参数都是文件名（用于以 - 开头的文件名）\n"
           "\n"
           "写成的输出文件的路径写到标准输出。\n"
           "\n"
           "play 用默认声音设备播放 --start 到 --end 这一段（默认整个文件），带上与 cut\n"
           "相同的音效选项（--gain --tempo --fade-in --fade-out --eq --eq-preset），\n"
           "放完后返回。\n"
           "\n"
           "退出码：0 输出文件已完整写成（play：已放完）；1 失败；2 命令行有误。\n";
}

std::string ShortUsageText()
{
    return "用法：zelvora-cli info SOURCE\n"
           "      zelvora-cli cut SOURCE -o OUTPUT --start TIME --end TIME [选项]\n"
           "      zelvora-cli play SOURCE [--start TIME] [--end TIME] [音效选项]\n"
           "详见 zelvora-cli --help。\n";
}

bool WantsHelp(const std::vector<std::string>& args)
{
    for (const std::string& arg : args) {
        if (arg == "--")
            return false;
        if (arg == "--help" || arg == "-h")
            return true;
    }
    return false;
}

std::string ParseInfoOptions(const std::vector<std::string>& args)
{
    return OneFile(SplitArgs(args, {}, {}));
}

TCutOptions ParseCutOptions(const std::vector<std::string>& args)
{
    std::vector<std::string> valueOptions { "--output", "--start", "--end", "--format", "--bitrate" };
    valueOptions.insert(valueOptions.end(), EffectOptionNames.begin(), EffectOptionNames.end());
    const TRawArgs raw = SplitArgs(args, valueOptions, { "--force" });
    const auto required = [&raw](const std::string& name, const std::string& what) {
        const std::string* text = Value(raw, name);
        if (!text)
            throw TUsageError("缺少" + what + "（" + name + "）");
        return *text;
    };

    TCutOptions options;
    options.Source = OneFile(raw);
    options.Output = required("--output", "输出文件");
    if (options.Output.empty())
        throw TUsageError("输出文件名为空");
    options.StartMs = ParseTime(required("--start", "开始时间"), "--start");
    options.EndMs = ParseTime(required("--end", "结束时间"), "--end");
    if (const auto* format = Value(raw, "--format")) {
        if (strcasecmp(format->c_str(), "mp3") != 0 && strcasecmp(format->c_str(), "m4r") != 0)
            throw TUsageError("输出格式必须是 mp3 或 m4r：" + *format);
        options.Format = *format;
    }
    if (const auto* bitrate = Value(raw, "--bitrate")) {
        const double kbps = ParseNumber(*bitrate, "--bitrate");
        if (std::find(BitRates.begin(), BitRates.end(), kbps) == BitRates.end())
            throw TUsageError(
                "比特率必须是 32 40 48 56 64 80 96 112 128 160 192 224 256 320 之一：" + *bitrate);
        options.Bitrate = static_cast<int>(kbps);
    }
    ParseEffectOptions(raw, options);
    options.Force = Value(raw, "--force") != nullptr;
    return options;
}

TPlayOptions ParsePlayOptions(const std::vector<std::string>& args)
{
    std::vector<std::string> valueOptions { "--start", "--end" };
    valueOptions.insert(valueOptions.end(), EffectOptionNames.begin(), EffectOptionNames.end());
    const TRawArgs raw = SplitArgs(args, valueOptions, {});

    TPlayOptions options;
    options.Source = OneFile(raw);
    if (const auto* start = Value(raw, "--start"))
        options.StartMs = ParseTime(*start, "--start");
    if (const auto* end = Value(raw, "--end"))
        options.EndMs = ParseTime(*end, "--end");
    ParseEffectOptions(raw, options);
    return options;
}
