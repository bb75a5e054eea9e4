#pragma once
// Command lines of the external encoders. The engine splits a line into words
// as a shell splits double-quoted strings and runs it without a shell, so
// every word is quoted here and a file name is only ever a file name.

#include <string>

// The folder of the running executable, with a trailing '/'.
std::string ProgramFolder();
// The executable file named name in folder, else the first one on searchPath
// (a PATH-style list of folders, empty entries skipped); "" when there is none.
std::string LocateProgram(const std::string& name, const std::string& folder, const std::string& searchPath);
// "lame" or "ffmpeg": the program's own folder first, then PATH. Throws
// AppError naming the path looked for in the program's folder when found in neither.
std::string FindEncoder(const std::string& name);
// Double-quotes a word for the engine's command-line splitter (escapes \ " $ ` with a backslash).
std::string QuoteCommandWord(const std::string& word);

// Output paths are made absolute (a name such as "-a.mp3" must not read as
// an option). Each throws AppError when its encoder is missing.
std::string Mp3EncoderCommand(int kbps, const std::string& outputPath);
// True for the format text "m4r" in any case; every other text means MP3.
bool IsM4r(const std::string& format);
// The output path's extension is replaced by ".m4r" first.
std::string M4rEncoderCommand(int kbps, const std::string& outputPath);
std::string RecordEncoderCommand(const std::string& recordPath);
