#include "terminal_dialogs.h"

#include <iostream>

void TTerminalDialogs::message(const std::string& text)
{
    std::cerr << text << '\n';
}

void TTerminalDialogs::show(const std::string& caption, const std::string& text, DialogIcon)
{
    std::cerr << caption << "：" << text << '\n';
}

bool TTerminalDialogs::question(const std::string& caption, const std::string& text, bool)
{
    std::cerr << caption << "：" << text << "（否）\n";
    return false;
}

std::string TTerminalDialogs::openFile(const std::string& title, const std::string&)
{
    std::cerr << title << "（取消）\n";
    return {};
}

std::string TTerminalDialogs::saveFile(const SaveFileRequest& request)
{
    return openFile(request.title, {});
}

std::string TTerminalDialogs::chooseFolder(const std::string& text)
{
    return openFile(text, {});
}
