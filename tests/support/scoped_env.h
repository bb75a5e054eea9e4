#pragma once
// Test-scoped changes of process state that child programs inherit.

#include <optional>
#include <string>

namespace zvtest {

// Sets an environment variable until the end of the scope.
class ScopedEnv {
public:
    ScopedEnv(const std::string& name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

// Makes a folder the working folder until the end of the scope.
class ScopedWorkingFolder {
public:
    explicit ScopedWorkingFolder(const std::string& folder);
    ~ScopedWorkingFolder();
    ScopedWorkingFolder(const ScopedWorkingFolder&) = delete;
    ScopedWorkingFolder& operator=(const ScopedWorkingFolder&) = delete;

private:
    std::string m_old;
};

// Writes an executable shell script (a stand-in for an encoder).
void writeScript(const std::string& path, const std::string& body);

} // namespace zvtest
