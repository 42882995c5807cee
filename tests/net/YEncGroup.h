#pragma once
// A group of today's picture posts (tests/net/make_yenc_group.py) on the fixture's news
// server, for the tests of a whole run with joining on, in vexil-nntp and in the window.
#include <filesystem>
#include <map>
#include <string>

namespace vexil::test {

struct YEncGroupPicture {
    std::string bytes;
    int width = 0;
    int height = 0;
};

struct YEncGroup {
    std::string name;
    // Every picture a run must end up with, by the name it is saved under; "hostile.jpg"
    // is the one whose yEnc name climbs out of the folder, saved under a name of its own.
    std::map<std::string, YEncGroupPicture> pictures;
};

// Makes the articles in Scratch (removed again), adds group Name to the open server and posts
// them; throws std::runtime_error when a step fails.
YEncGroup PostYEncGroup(const std::string &Name, const std::filesystem::path &Scratch);

} // namespace vexil::test
