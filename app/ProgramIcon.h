#pragma once
// The program's icon: a framed picture of hills under a sun, drawn at any size.

#include <QIcon>
#include <QPixmap>

namespace vexil {

QPixmap ProgramIconPixmap(int side);
QIcon ProgramIconSet();

} // namespace vexil
