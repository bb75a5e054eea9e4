#pragma once
// Colours kept as 32-bit numbers 0x00BBGGRR (red in the low byte), the form
// in which the track bar's colours are configured.

#include <QColor>
#include <cstdint>

inline QColor ColorFromBgr(std::uint32_t bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

inline std::uint32_t BgrFromColor(const QColor& color)
{
    return std::uint32_t(color.red()) | std::uint32_t(color.green()) << 8 | std::uint32_t(color.blue()) << 16;
}
