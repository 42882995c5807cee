#pragma once
// The private INN instances the test fixture started (tools/inn/test-fixture), and the
// articles it posted to them.

#include "tests/support/TestFiles.h" // tests against the server compare the files it led to

#include <string>
#include <vector>

namespace vexil::test {

struct PostedArticle {
    std::string file;
    std::string kind;
    int lines = 0;
    std::string subject;
    std::vector<std::string> attachments;
};

class InnServer {
public:
    // Reads the fixture's state folder (VEXIL_INN_STATE).
    InnServer();
    // "127.0.0.1:port" of the open instance and of the one that wants a login.
    std::string Address() const { return "127.0.0.1:" + port_; }
    std::string AuthAddress() const { return "127.0.0.1:" + authPort_; }
    // The same two over implicit TLS, with certificates of test CAs that CaFile() holds.
    std::string TlsAddress() const { return "127.0.0.1:" + Read("tls-port"); }
    std::string AuthTlsAddress() const { return "127.0.0.1:" + Read("auth-tls-port"); }
    std::string CaFile() const { return state_ + "/ca.pem"; }
    // TLS ports of the open instance whose certificates a client must refuse: one for another
    // name, one expired, one self-signed. (TlsAddress() without CaFile() is untrusted.)
    std::string WrongNameAddress() const { return "127.0.0.1:" + Read("wrong-name-port"); }
    std::string ExpiredAddress() const { return "127.0.0.1:" + Read("expired-port"); }
    std::string SelfSignedAddress() const { return "127.0.0.1:" + Read("self-signed-port"); }
    const std::string &User() const { return user_; }
    const std::string &Password() const { return password_; }
    // The articles posted to Group, in posting order (article numbers 1, 2 ...).
    std::vector<PostedArticle> Articles(const std::string &Group) const;
    // The bytes of a posted picture.
    std::string Original(const std::string &Group, const std::string &Name) const;
    // Adds a group to the open instance, and posts an article file to it; throws
    // std::runtime_error when the server's script fails.
    void AddGroup(const std::string &Group) const;
    void Post(const std::string &ArticleFile) const;

    static constexpr const char *PictureGroup = "alt.binaries.pictures.test";
    static constexpr const char *TextGroup = "alt.test.text";

private:
    // The first line of a file of the fixture's state folder.
    std::string Read(const std::string &Name) const;
    // Runs a script of tools/inn/ on the open instance's folder with Argument.
    void RunScript(const std::string &Script, const std::string &Argument) const;

    std::string state_;
    std::string port_;
    std::string authPort_;
    std::string user_;
    std::string password_;
};

} // namespace vexil::test
