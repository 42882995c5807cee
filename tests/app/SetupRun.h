#pragma once
// Runs the window's Setup the way a user does: the dialog is handed to the test from its own
// loop, and the message boxes it raises are answered with their default.

#include "app/TSetupDlg.h"
#include "app/TfrmMain.h"

#include <QStringList>

#include <functional>

class QWidget;

namespace vexil::test {

// A ModalCatcher handler: message boxes answered with their default and their texts kept in
// `boxes` (when given); the Setup dialog handed to `use`, then rejected unless `use` closed it.
std::function<void(QWidget *)> AnswerSetup(std::function<void(TSetupDlg &)> use,
                                           QStringList *boxes = nullptr);
// Presses Setup and answers it with AnswerSetup; fails when no dialog opened.
void WithSetup(TfrmMain &form, const std::function<void(TSetupDlg &)> &use,
               QStringList *boxes = nullptr);

} // namespace vexil::test
