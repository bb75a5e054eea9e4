#include "app/widget_application.h"

#include "app/widget_error_report.h"

#include <exception>

TApplication::TApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    return ReportErrors([&] { return QApplication::notify(receiver, event); });
}

bool TApplication::ReportErrors(const std::function<bool()>& dispatch)
{
    try {
        return dispatch();
    } catch (const std::exception& error) {
        ShowErrorReport(error.what());
        return true;
    }
}
