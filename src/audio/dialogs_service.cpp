#include "audio/dialogs_service.h"

#include <iostream>

namespace {

// Keeps headless runs (CLI, tests without a fake) from ever blocking on a box.
class StderrDialogs : public DialogsService {
public:
    void message(const std::string& text) override { std::cerr << ApplicationTitle << ": " << text << '\n'; }
    void show(const std::string& caption, const std::string& text, DialogIcon) override
    {
        std::cerr << caption << ": " << text << '\n';
    }
    bool question(const std::string& caption, const std::string& text, bool) override
    {
        std::cerr << caption << ": " << text << " (No)\n";
        return false;
    }
    std::string openFile(const std::string& title, const std::string&) override
    {
        std::cerr << title << " (cancelled)\n";
        return {};
    }
    std::string saveFile(const SaveFileRequest& request) override { return openFile(request.title, {}); }
    std::string chooseFolder(const std::string& text) override { return openFile(text, {}); }
};

std::unique_ptr<DialogsService>& installed()
{
    static std::unique_ptr<DialogsService> service;
    return service;
}

} // namespace

DialogsService& Dialogs()
{
    static StderrDialogs fallback;
    auto& service = installed();
    return service ? *service : fallback;
}

void InstallDialogs(std::unique_ptr<DialogsService> service)
{
    installed() = std::move(service);
}
