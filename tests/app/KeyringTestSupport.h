#pragma once
// What the keyring tests of the window share: the settings values of the login, the window's
// Setup with a new password typed, and a look at the bytes of the settings file.

#include "app/TfrmMain.h"

#include <QStringList>

#include <string>

namespace vexil::test {

void StoreLogin(const std::string &user, const std::string &password);
std::string StoredPass();
// Types password into Setup and presses OK; the texts of the message boxes that follow.
QStringList SetupWithPassword(TfrmMain &form, const QString &password);
// True when the settings file at path holds text anywhere, deleted records included.
bool FileHolds(const std::string &path, const std::string &text);

} // namespace vexil::test
