#pragma once
// File-name helpers. Paths use '/'; names are UTF-8 bytes.

#include <string>

// False when the name holds one of \ / : * ? " < > |; true for an empty name.
bool IsValidFileName(const std::string& name);
// The extension of the file-name part, from its last "." (dot included), or "".
std::string ExtractFileExt(const std::string& path);
// The path with the file-name part's extension replaced by ext (appended when there is none).
std::string ChangeFileExt(const std::string& path, const std::string& ext);
// The path without the file-name part's extension.
std::string RemoveFileExt(const std::string& path);
// True when both paths name one file: through links, "..", relative paths or a
// hard link. Paths that do not both exist are compared by their absolute,
// link-resolved form; an empty path is never the same file.
bool IsSameFile(const std::string& a, const std::string& b);
