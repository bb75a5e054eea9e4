#include "support/fake_dialogs.h"

#include <gtest/gtest.h>
#include <memory>

namespace zvtest {

void FakeDialogs::message(const std::string& text)
{
    boxes.push_back({ BoxKind::Message, ApplicationTitle, text, DialogIcon::None, false, {} });
}

void FakeDialogs::show(const std::string& caption, const std::string& text, DialogIcon icon)
{
    boxes.push_back({ BoxKind::Show, caption, text, icon, false, {} });
}

bool FakeDialogs::question(const std::string& caption, const std::string& text, bool defaultYes)
{
    boxes.push_back({ BoxKind::Question, caption, text, DialogIcon::Question, defaultYes, {} });
    if (replies.empty()) {
        ADD_FAILURE() << "unscripted question: " << caption << ": " << text;
        return false;
    }
    const bool reply = replies.front();
    replies.pop_front();
    return reply;
}

std::string FakeDialogs::openFile(const std::string& title, const std::string& filter)
{
    boxes.push_back({ BoxKind::OpenFile, title, filter, DialogIcon::None, false, {} });
    return nextFile(title);
}

std::string FakeDialogs::saveFile(const SaveFileRequest& request)
{
    boxes.push_back({ BoxKind::SaveFile, request.title, request.filter, DialogIcon::None, false, request });
    return nextFile(request.title);
}

std::string FakeDialogs::chooseFolder(const std::string& text)
{
    boxes.push_back({ BoxKind::ChooseFolder, text, {}, DialogIcon::None, false, {} });
    return nextFile(text);
}

std::string FakeDialogs::nextFile(const std::string& title)
{
    if (files.empty()) {
        ADD_FAILURE() << "unscripted file dialog: " << title;
        return {};
    }
    std::string file = files.front();
    files.pop_front();
    return file;
}

std::vector<std::string> FakeDialogs::texts() const
{
    std::vector<std::string> result;
    for (const Box& box : boxes)
        result.push_back(box.text);
    return result;
}

ScopedFakeDialogs::ScopedFakeDialogs()
{
    auto fake = std::make_unique<FakeDialogs>();
    m_fake = fake.get();
    InstallDialogs(std::move(fake));
}

ScopedFakeDialogs::~ScopedFakeDialogs()
{
    InstallDialogs(nullptr);
}

} // namespace zvtest
