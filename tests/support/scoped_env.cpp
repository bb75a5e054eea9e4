#include "support/scoped_env.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace zvtest {

ScopedEnv::ScopedEnv(const std::string& name, const std::string& value)
    : m_name(name)
{
    if (const char* old = std::getenv(name.c_str()))
        m_old = old;
    setenv(name.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv()
{
    if (m_old)
        setenv(m_name.c_str(), m_old->c_str(), 1);
    else
        unsetenv(m_name.c_str());
}

ScopedWorkingFolder::ScopedWorkingFolder(const std::string& folder)
    : m_old(std::filesystem::current_path().string())
{
    std::filesystem::current_path(folder);
}

ScopedWorkingFolder::~ScopedWorkingFolder()
{
    std::error_code error;
    std::filesystem::current_path(m_old, error);
}

void writeScript(const std::string& path, const std::string& body)
{
    {
        std::ofstream out(path);
        if (!out)
            throw std::runtime_error("cannot write " + path);
        out << "#!/bin/sh\n" << body << '\n';
    }
    std::filesystem::permissions(path,
        std::filesystem::perms::owner_all | std::filesystem::perms::group_read
            | std::filesystem::perms::group_exec);
}

} // namespace zvtest
