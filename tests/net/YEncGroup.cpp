#include "YEncGroup.h"

#include "InnServer.h"
#include "tests/support/TestFiles.h"

#include <cstdlib>
#include <fstream>
#include <set>
#include <stdexcept>

namespace vexil::test {

namespace fs = std::filesystem;

YEncGroup PostYEncGroup(const std::string &Name, const fs::path &Scratch) {
    fs::remove_all(Scratch);
    const std::string command = "/usr/bin/python3 " + std::string(std::getenv("VEXIL_SOURCE_DIR")) +
                                "/tests/net/make_yenc_group.py " + Name + " " + Scratch.string();
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("failed: " + command);
    InnServer inn;
    inn.AddGroup(Name);
    std::set<fs::path> articles; // posted in the order of their names
    for (const auto &entry : fs::directory_iterator(Scratch / "articles"))
        articles.insert(entry.path());
    for (const fs::path &article : articles)
        inn.Post(article.string());
    YEncGroup group{Name, {}};
    std::ifstream list(Scratch / "pictures.txt");
    YEncGroupPicture picture;
    for (std::string name; list >> name >> picture.width >> picture.height;) {
        picture.bytes = ReadFile(Scratch / "pictures" / name);
        group.pictures[name] = picture;
    }
    fs::remove_all(Scratch);
    if (group.pictures.empty())
        throw std::runtime_error("no pictures listed in " + (Scratch / "pictures.txt").string());
    return group;
}

} // namespace vexil::test
