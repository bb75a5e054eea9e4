#include "audio/app_error.h"

AppError::AppError(const std::string& text, int engineCode)
    : std::runtime_error(text)
    , m_engineCode(engineCode)
{
}
