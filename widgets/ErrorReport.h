#pragma once
// The application's general error report: an exception that leaves a command ends in a
// message box with its text, and the application goes on.

#include <exception>
#include <utility>

class QWidget;

namespace vexil {

void ReportError(QWidget *parent, const std::exception &error);

// Runs one command (a button, a menu entry, a handler the event loop calls) so that its
// failure reaches the user instead of the event loop.
template <typename Command> void RunCommand(QWidget *parent, Command &&command) {
    try {
        std::forward<Command>(command)();
    } catch (const std::exception &error) {
        ReportError(parent, error);
    }
}

} // namespace vexil
