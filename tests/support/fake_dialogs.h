#pragma once
// A dialogs service for tests: records every box in order and answers
// questions from a script, so no test ever blocks on a modal window.
//
//     zvtest::ScopedFakeDialogs dialogs;      // installed until the end of the scope
//     dialogs->replies = {true};              // the first question is answered Yes
//     ... code under test ...
//     dialogs->files = {"/tmp/a.mp3"};      // the first file dialog picks this file
//     ASSERT_EQ(dialogs->boxes.size(), 1u);
//     EXPECT_EQ(dialogs->boxes[0].text, "...");

#include "audio/dialogs_service.h"

#include <deque>
#include <string>
#include <vector>

namespace zvtest {

enum class BoxKind { Message, Show, Question, OpenFile, SaveFile, ChooseFolder };

struct Box {
    BoxKind kind = BoxKind::Message;
    std::string caption; // the application title for plain messages; a file dialog's title
    std::string text; // a file dialog's filter
    DialogIcon icon = DialogIcon::None; // Question for questions
    bool defaultYes = false; // questions only
    SaveFileRequest save; // save dialogs only
};

class FakeDialogs : public DialogsService {
public:
    std::vector<Box> boxes; // every box shown, oldest first
    std::deque<bool> replies; // answers to the next questions, first first
    std::deque<std::string> files; // picks of the next file and folder dialogs, first first; "" cancels

    void message(const std::string& text) override;
    void show(const std::string& caption, const std::string& text, DialogIcon icon) override;
    // Answers with the next scripted reply. A question nobody scripted is a
    // test failure (reported with its text) and is answered No.
    bool question(const std::string& caption, const std::string& text, bool defaultYes) override;
    // Picks the next scripted file. A dialog nobody scripted is a test failure
    // and is cancelled.
    std::string openFile(const std::string& title, const std::string& filter) override;
    // Recorded with the whole request in Box::save; answered like openFile.
    std::string saveFile(const SaveFileRequest& request) override;
    // Recorded with the text as caption; answered like openFile.
    std::string chooseFolder(const std::string& text) override;

    // The texts of all boxes, oldest first, for compact checks.
    std::vector<std::string> texts() const;

private:
    std::string nextFile(const std::string& title);
};

// Installs a FakeDialogs for its lifetime and restores the default afterwards.
class ScopedFakeDialogs {
public:
    ScopedFakeDialogs();
    ~ScopedFakeDialogs();
    ScopedFakeDialogs(const ScopedFakeDialogs&) = delete;
    ScopedFakeDialogs& operator=(const ScopedFakeDialogs&) = delete;

    FakeDialogs& operator*() const { return *m_fake; }
    FakeDialogs* operator->() const { return m_fake; }

private:
    FakeDialogs* m_fake; // owned by the installed service
};

} // namespace zvtest
