#pragma once
// The report of an error that no handler caught: the text in an error box
// captioned with the application title. GUI thread only.

#include <string>

// Appends "." when the text's last character sorts after "."; an empty text
// is shown as it is.
void ShowErrorReport(const std::string& text);
