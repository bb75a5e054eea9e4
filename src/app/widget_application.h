#pragma once
// The program's application object. Errors that escape an event handler end
// there as the top-level error report instead of ending the program.

#include <QApplication>
#include <functional>

class TApplication : public QApplication {
    Q_OBJECT

public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Runs dispatch; a std::exception escaping it is shown with
    // ShowErrorReport and the event counts as handled. GUI thread only.
    static bool ReportErrors(const std::function<bool()>& dispatch);
};
