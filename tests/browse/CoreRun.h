#pragma once
// A browse core on a connection of its own to a news server, storing its pictures in a
// folder and remembering in a settings store, as a Go sets one up.

#include "browse/TBrowseCore.h"
#include "message/TmsArticle.h"
#include "net/TmsNNTP.h"
#include "platform/TRegistry.h"

#include <string>

namespace vexil::test {

struct CoreRun {
    CoreRun(const std::string &server, const std::string &folder, TRegistry &store) {
        nntp.SetWinsockLoaded(true);
        nntp.SetTimeOut(30);
        nntp.SetServer(server);
        core.PictureFolder = folder;
        core.MakePictureFolder = true;
        core.SettingsStore = [&store] { return &store; };
    }

    TmsNNTP nntp;
    TmsArticle article;
    TBrowseCore core{nntp, article};
};

} // namespace vexil::test
