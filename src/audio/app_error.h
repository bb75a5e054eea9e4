#pragma once
// The program's error: its text is the finished user-visible message.

#include <stdexcept>
#include <string>

class AppError : public std::runtime_error {
public:
    // engineCode: the engine's error code when the engine failed, 0 otherwise.
    explicit AppError(const std::string& text, int engineCode = 0);
    int engineCode() const { return m_engineCode; }

private:
    int m_engineCode;
};
