#pragma once
// Boxes with their own caption and one OK button, through the dialogs service.

#include <string>

void ShowInfo(const std::string& caption, const std::string& text);
void ShowWarning(const std::string& caption, const std::string& text);
