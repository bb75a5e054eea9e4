#include "app/widget_error_report.h"

#include "audio/dialogs_service.h"

namespace {

// The code point of the last UTF-8 character; a stray byte counts as itself.
char32_t lastCharacter(const std::string& text)
{
    std::size_t start = text.size() - 1;
    while (start > 0 && text.size() - start < 4 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
        --start;
    const auto lead = static_cast<unsigned char>(text[start]);
    const std::size_t length = text.size() - start;
    const std::size_t expected = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (expected != length)
        return static_cast<unsigned char>(text.back());
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = start + 1; i < text.size(); ++i)
        code = (code << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    return code;
}

} // namespace

void ShowErrorReport(const std::string& text)
{
    const bool addDot = !text.empty() && lastCharacter(text) > U'.';
    Dialogs().show(ApplicationTitle, addDot ? text + "." : text, DialogIcon::Error);
}
