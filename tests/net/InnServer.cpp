#include "InnServer.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vexil::test {

namespace {

std::string FirstLine(const std::string &path) {
    std::string text = ReadFile(path);
    return text.substr(0, text.find('\n'));
}

std::vector<std::string> Split(const std::string &text, char separator) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, separator);)
        parts.push_back(part);
    return parts;
}

} // namespace

InnServer::InnServer() {
    const char *state = std::getenv("VEXIL_INN_STATE");
    if (state == nullptr)
        throw std::runtime_error("VEXIL_INN_STATE is not set: run these tests through ctest");
    state_ = state;
    port_ = FirstLine(state_ + "/port");
    authPort_ = FirstLine(state_ + "/auth-port");
    const std::string auth = FirstLine(state_ + "/auth");
    user_ = auth.substr(0, auth.find(':'));
    password_ = auth.substr(auth.find(':') + 1);
}

std::string InnServer::Read(const std::string &Name) const {
    return FirstLine(state_ + "/" + Name);
}

void InnServer::AddGroup(const std::string &Group) const {
    RunScript("add-group", Group);
}

void InnServer::Post(const std::string &ArticleFile) const {
    RunScript("post-article", ArticleFile);
}

void InnServer::RunScript(const std::string &Script, const std::string &Argument) const {
    const std::string command = "bash " + std::string(std::getenv("VEXIL_SOURCE_DIR")) +
                                "/tools/inn/" + Script + " " + Read("inn-dir") + "/plain " +
                                Argument + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("failed: " + command);
}

std::vector<PostedArticle> InnServer::Articles(const std::string &Group) const {
    std::vector<PostedArticle> articles;
    for (const std::string &row :
         Split(ReadFile(state_ + "/articles/" + Group + "/manifest.tsv"), '\n')) {
        const std::vector<std::string> f = Split(row, '\t');
        if (f.size() < 5)
            continue;
        PostedArticle a{f[0], f[1], std::stoi(f[2]), f[3], {}};
        if (f[4] != "-")
            a.attachments = Split(f[4], ',');
        articles.push_back(a);
    }
    return articles;
}

std::string InnServer::Original(const std::string &Group, const std::string &Name) const {
    return ReadFile(state_ + "/articles/" + Group + "/originals/" + Name);
}

} // namespace vexil::test
