#pragma once
// The file an encoder writes while a cut runs: a hidden file beside the
// output, so a failed or half-written encode never takes the output's name
// and never touches a file already there. Commit renames it over the output
// in one step; otherwise the destructor removes it.

#include <filesystem>
#include <string>

class TPartialOutput {
public:
    // Creates the file (exclusively, so an unwritable or missing folder fails
    // here, before any work). Throws AppError.
    explicit TPartialOutput(const std::filesystem::path& output);
    ~TPartialOutput();
    TPartialOutput(const TPartialOutput&) = delete;
    TPartialOutput& operator=(const TPartialOutput&) = delete;

    const std::string& Path() const { return m_path; }
    // Replaces the output with the finished file. Throws AppError.
    void Commit();

private:
    std::filesystem::path m_output;
    std::string m_path;
    bool m_committed = false;
};
