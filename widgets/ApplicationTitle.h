#pragma once
// The application's title: the caption of its message boxes and error reports.

#include <QString>

namespace vexil {

QString ApplicationTitle();
void SetApplicationTitle(const QString &title);

} // namespace vexil
