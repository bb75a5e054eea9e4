#pragma once
// The program's few preferences: integers in an INI file, read when first
// needed and written once, when the store is destroyed. GUI thread only.
//
// A path is a section and a key joined by a backslash ("EqDefault\f70"):
// the text before the last backslash is the section, the rest the key; a
// path without a backslash uses the section "preference". Sections and keys
// are compared without regard to ASCII case.

#include <memory>
#include <string>

// $XDG_CONFIG_HOME/qxzelvora.ini, or ~/.config/qxzelvora.ini.
std::string DefaultPreferencesPath();

class TPreferenceDataModule {
public:
    explicit TPreferenceDataModule(std::string iniPath);
    // Writes the whole store to the file, creating its folder, unless the
    // file is read-only. A missing file thus becomes an empty one.
    ~TPreferenceDataModule();
    TPreferenceDataModule(const TPreferenceDataModule&) = delete;
    TPreferenceDataModule& operator=(const TPreferenceDataModule&) = delete;

    // The stored value; defaultValue when the key is missing or its text is
    // not a decimal integer; 0 for an empty text.
    int ReadPrefInteger(const std::string& path, int defaultValue);
    // Changes only the memory copy.
    void WritePrefInteger(const std::string& path, int value);

private:
    struct Store;
    Store& store();

    std::string m_iniPath;
    std::unique_ptr<Store> m_store; // loaded at first use
};
