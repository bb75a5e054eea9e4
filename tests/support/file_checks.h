#pragma once
// Whole-file reads and folder listings for checks that nothing was touched
// or left behind.

#include <string>
#include <vector>

namespace zvtest {

std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);
// Names in a folder (hidden ones included), sorted.
std::vector<std::string> folderNames(const std::string& folder);

} // namespace zvtest
