#include "tests/browse/CommaLinesGroup.h"

#include "tests/net/InnServer.h"
#include "tests/support/TestFiles.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <stdexcept>

namespace vexil::test {

CommaLinesGroup PostCommaLinesArticle(const std::string &Name) {
    const std::string state = std::getenv("VEXIL_INN_STATE");
    // The fixture's first uuencoded picture, moved to the group and given the comma.
    const InnServer inn;
    PostedArticle picture;
    for (const PostedArticle &a : inn.Articles(InnServer::PictureGroup))
        if (a.kind == "uu" && picture.file.empty())
            picture = a;
    if (picture.file.empty())
        throw std::runtime_error("the fixture posted no uuencoded picture");
    const std::string folder = state + "/articles/" + InnServer::PictureGroup + "/";
    std::string article = ReadFile(folder + picture.file);
    article =
        std::regex_replace(article, std::regex("Newsgroups: [^\r\n]*"), "Newsgroups: " + Name);
    article = std::regex_replace(article, std::regex("Message-ID: [^\r\n]*"),
                                 "Message-ID: <comma-lines." + Name + "@example.invalid>");
    article = std::regex_replace(article, std::regex("Lines: [^\r\n]*"), "Lines: 1,234");
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("vexil-" + Name + ".txt");
    WriteFile(file, article);
    inn.AddGroup(Name);
    inn.Post(file.string());
    std::filesystem::remove(file);
    const std::string name = picture.attachments.at(0);
    return {Name, name, inn.Original(InnServer::PictureGroup, name)};
}

} // namespace vexil::test
