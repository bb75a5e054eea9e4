#include "app/preference_data_module.h"

#include "app/simple_ini.h"
#include "audio/decimal_integer.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;

namespace {

struct Location {
    std::string section;
    std::string key;
};

Location splitPath(const std::string& path)
{
    const std::size_t slash = path.rfind('\\');
    if (slash == std::string::npos)
        return { "preference", path };
    std::string section = path.substr(0, slash);
    section.erase(0, section.find_first_not_of('\\'));
    return { section.empty() ? "preference" : section, path.substr(slash + 1) };
}

std::string homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    const passwd* entry = getpwuid(getuid());
    return entry && entry->pw_dir ? entry->pw_dir : ".";
}

// Read-only as a file attribute (no write bit at all): access() would let
// root write any file.
bool isReadOnly(const fs::path& file)
{
    std::error_code error;
    const fs::file_status status = fs::status(file, error);
    if (error || !fs::exists(status))
        return false;
    const fs::perms writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    return (status.permissions() & writable) == fs::perms::none;
}

} // namespace

struct TPreferenceDataModule::Store {
    CSimpleIniA ini; // case-insensitive sections and keys
    bool unreadable = false; // the file exists but could not be read: never overwrite it
};

std::string DefaultPreferencesPath()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string folder = config && *config ? config : homeFolder() + "/.config";
    return folder + "/qxzelvora.ini";
}

TPreferenceDataModule::TPreferenceDataModule(std::string iniPath)
    : m_iniPath(std::move(iniPath))
{
}

TPreferenceDataModule::~TPreferenceDataModule()
{
    // Loads first when nothing was used, so an untouched store never empties the file.
    Store& loaded = store();
    if (loaded.unreadable || isReadOnly(m_iniPath))
        return;
    std::error_code error;
    const fs::path folder = fs::path(m_iniPath).parent_path();
    if (!folder.empty())
        fs::create_directories(folder, error);
    // A destructor cannot report; the preferences of this run are then lost,
    // as with a read-only file.
    loaded.ini.SaveFile(m_iniPath.c_str());
}

int TPreferenceDataModule::ReadPrefInteger(const std::string& path, int defaultValue)
{
    const Location at = splitPath(path);
    const char* text = store().ini.GetValue(at.section.c_str(), at.key.c_str(), nullptr);
    if (!text)
        return defaultValue;
    if (*text == '\0')
        return 0;
    return ParseDecimalInteger(text).value_or(defaultValue);
}

void TPreferenceDataModule::WritePrefInteger(const std::string& path, int value)
{
    const Location at = splitPath(path);
    store().ini.SetValue(at.section.c_str(), at.key.c_str(), std::to_string(value).c_str());
}

TPreferenceDataModule::Store& TPreferenceDataModule::store()
{
    if (!m_store) {
        m_store = std::make_unique<Store>();
        // Quoted values keep their leading and trailing blanks.
        m_store->ini.SetQuotes(true);
        m_store->ini.SetSpaces(false);
        // A missing file leaves the store empty.
        std::error_code error;
        if (m_store->ini.LoadFile(m_iniPath.c_str()) < 0 && fs::exists(m_iniPath, error))
            m_store->unreadable = true;
    }
    return *m_store;
}
