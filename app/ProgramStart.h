#pragma once
// Program start: the date format, the processor check, the application and its main window.

#include <QString>

class QLocale;

namespace vexil {

inline constexpr const char *kProgramTitle = "Vexil - Image Browser";

// The program's short date format for a locale: a format naming the month ("MMM") gives
// way to day/month/four-digit year.
QString ProgramDateFormat(const QLocale &locale);
// The format chosen at start.
const QString &ShortDateFormat();

// True on a processor whose floating-point division is flawed (the classic
// 4195835 / 3145727 test).
bool FlawedDivide();

// Everything main does: start, run the message loop until the main window closes, end.
int RunProgram(int argc, char **argv);

} // namespace vexil
