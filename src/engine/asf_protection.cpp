#include "engine/asf_protection.h"

#include "engine/fd_read.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace zv::engine {
namespace {

using Guid = std::array<std::uint8_t, 16>;

// GUIDs as stored in the file (first three fields little-endian).
constexpr Guid HeaderObject { 0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00,
    0x62, 0xCE, 0x6C };
constexpr Guid HeaderExtension { 0xB5, 0x03, 0xBF, 0x5F, 0x2E, 0xA9, 0xCF, 0x11, 0x8E, 0xE3, 0x00, 0xC0, 0x0C,
    0x20, 0x53, 0x65 };
constexpr Guid StreamProperties { 0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11, 0x8E, 0xE6, 0x00, 0xC0,
    0x0C, 0x20, 0x53, 0x65 };
constexpr Guid ContentEncryption { 0xFB, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11, 0xB4, 0xB7, 0x00, 0xA0,
    0xC9, 0x55, 0xFC, 0x6E };
constexpr Guid ExtendedContentEncryption { 0x14, 0xE6, 0x8A, 0x29, 0x22, 0x26, 0x17, 0x4C, 0xB9, 0x35, 0xDA,
    0xE0, 0x7E, 0xE9, 0x28, 0x9C };
constexpr Guid AdvancedContentEncryption { 0x33, 0x85, 0x05, 0x43, 0x81, 0x69, 0xE6, 0x49, 0x9B, 0x74, 0xAD,
    0x12, 0xCB, 0x86, 0xD5, 0x8C };

constexpr std::int64_t ObjectHeaderBytes = 24; // GUID + 64-bit size
constexpr std::int64_t HeaderPreambleBytes = 30; // object header + count + 2 reserved
constexpr std::int64_t ExtensionPreambleBytes = 46; // object header + GUID + 16-bit + 32-bit size
// Offset of the 16-bit flags in a stream properties object; bit 15 marks
// encrypted content.
constexpr std::int64_t StreamFlagsOffset = 72;

std::uint64_t le64(const std::uint8_t* p)
{
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

bool isGuid(const std::uint8_t* p, const Guid& guid)
{
    return std::memcmp(p, guid.data(), guid.size()) == 0;
}

// Walks the objects in [begin, end); descends into a header extension once.
bool containsProtection(int fd, std::int64_t begin, std::int64_t end, bool nested)
{
    std::int64_t at = begin;
    while (at + ObjectHeaderBytes <= end) {
        std::uint8_t object[ObjectHeaderBytes];
        if (readAt(fd, object, sizeof object, at) != ObjectHeaderBytes)
            return false;
        const std::uint64_t size = le64(object + 16);
        if (size < static_cast<std::uint64_t>(ObjectHeaderBytes)
            || size > static_cast<std::uint64_t>(end - at))
            return false;
        if (isGuid(object, ContentEncryption) || isGuid(object, ExtendedContentEncryption)
            || isGuid(object, AdvancedContentEncryption))
            return true;
        if (isGuid(object, StreamProperties) && size >= StreamFlagsOffset + 2) {
            std::uint8_t flags[2];
            if (readAt(fd, flags, sizeof flags, at + StreamFlagsOffset) == 2 && (flags[1] & 0x80))
                return true;
        }
        if (!nested && isGuid(object, HeaderExtension) && size >= ExtensionPreambleBytes
            && containsProtection(
                fd, at + ExtensionPreambleBytes, at + static_cast<std::int64_t>(size), true))
            return true;
        at += static_cast<std::int64_t>(size);
    }
    return false;
}

} // namespace

bool asfIsProtected(int fd)
{
    std::uint8_t header[HeaderPreambleBytes];
    if (readAt(fd, header, sizeof header, 0) != HeaderPreambleBytes || !isGuid(header, HeaderObject))
        return false;
    const std::uint64_t size = le64(header + 16);
    if (size < static_cast<std::uint64_t>(HeaderPreambleBytes)
        || size > static_cast<std::uint64_t>(INT64_MAX))
        return false;
    return containsProtection(fd, HeaderPreambleBytes, static_cast<std::int64_t>(size), false);
}

} // namespace zv::engine
