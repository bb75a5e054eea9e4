#include "audio/messages.h"

#include "audio/dialogs_service.h"

void ShowInfo(const std::string& caption, const std::string& text)
{
    Dialogs().show(caption, text, DialogIcon::Information);
}

void ShowWarning(const std::string& caption, const std::string& text)
{
    Dialogs().show(caption, text, DialogIcon::Warning);
}
