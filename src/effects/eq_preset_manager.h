#pragma once
// Equalizer preset files (*.zveq): INI text with section "eq", keys "f" and
// the band's centre frequency of EqBandTable ("f70" … "f16000"), whole dB;
// and, in the presets shipped with the program, section "desc" with "index"
// and "name". Sections and keys are compared without regard to ASCII case.
// No shared state: any thread, one call at a time per file.

#include "effects/eq_preset.h"

#include <string>

class TEqPresetManager {
public:
    explicit TEqPresetManager(std::string Folder);

    const std::string Folder; // the folder ScanPresets lists

    // false, leaving preset as it was, when file is missing, a folder or
    // cannot be read. Otherwise fills every field: a band whose value is
    // missing, not a decimal integer or outside -15..15 reads as 0; Index
    // defaults to 100; Name to the file's name without folder and extension.
    static bool LoadPreset(const std::string& file, TEqPreset& preset);
    // Writes the ten band values into section "eq" of file, creating the
    // file; every other section and key already there stays. Index and Name
    // are not written. Throws AppError "Unable to write to <file>" when the
    // file cannot be written, or exists and cannot be read.
    static void SavePreset(const std::string& file, const TEqPreset& preset);
    // Every loadable file directly in Folder whose extension is exactly
    // ".zveq" (capitals do not count), sorted by file name so the list does
    // not depend on the file system. A missing folder gives none.
    void ScanPresets(TEqPresetArray& presets) const;
};
