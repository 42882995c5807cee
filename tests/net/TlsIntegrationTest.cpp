// The news client over implicit TLS against the fixture's INN: its own TLS listeners, with
// certificates of a test authority, and the ones whose certificates must be refused.
#include "message/TmsArticle.h"
#include "net/NetErrors.h"
#include "net/TmsNNTP.h"

#include "InnServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace vexil {
namespace {

using test::InnServer;

class TlsIntegrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        nntp.SetWinsockLoaded(true);
        nntp.SetTimeOut(30);
        nntp.SetArticle(&article);
        nntp.OnError = [&](TObject *, std::string &msg) { errors.push_back(msg); };
    }
    void TearDown() override { nntp.Disconnect(); }

    // The refusal of the server at Address, with CaFile trusted beside the system's store.
    ECertificateError Refusal(const std::string &Address, bool WithCaFile = true) {
        nntp.SetServer("nntps://" + Address);
        nntp.SetCaFile(WithCaFile ? inn.CaFile() : "");
        try {
            nntp.Connect();
        } catch (const ECertificateError &e) {
            EXPECT_FALSE(nntp.Connected());
            return e;
        }
        ADD_FAILURE() << Address << " was accepted";
        return ECertificateError("", "", "");
    }

    std::vector<std::string> PictureGroupHeaders() {
        nntp.SetNewsGroup(InnServer::PictureGroup);
        nntp.RetrieveHeaders(5, false);
        std::vector<std::string> subjects;
        for (int i = 0; i < nntp.HeaderList().Count(); ++i)
            subjects.push_back(nntp.HeaderList().Items(i).GetHeaderValue("Subject"));
        return subjects;
    }

    InnServer inn;
    TmsArticle article;
    TmsNNTP nntp;
    std::vector<std::string> errors;
};

TEST_F(TlsIntegrationTest, TrustedServerListsGroupsAndServesArticlesAsThePlainPortDoes) {
    nntp.SetServer(inn.TlsAddress());
    nntp.SetUseTls(true);
    nntp.SetCaFile(inn.CaFile());
    nntp.RetrieveNewsGroupList();
    EXPECT_TRUE(nntp.Secure());
    EXPECT_EQ(nntp.Tls()->Protocol().substr(0, 5), "TLSv1");
    // Over TLS the client asks what the server can do; INN reads news without MODE READER.
    EXPECT_TRUE(nntp.Capabilities().Known);
    EXPECT_EQ(nntp.Capabilities().Version, 2);
    EXPECT_TRUE(nntp.Capabilities().Reader);
    EXPECT_TRUE(nntp.Capabilities().Over);
    EXPECT_TRUE(nntp.Capabilities().CompressDeflate);
    bool listed = false;
    for (int i = 0; i < nntp.NewsGroupList().Count(); ++i)
        listed = listed || nntp.NewsGroupList().Items(i).Name == InnServer::PictureGroup;
    EXPECT_TRUE(listed);

    const std::vector<std::string> secure = PictureGroupHeaders();
    const auto posted = inn.Articles(InnServer::PictureGroup);
    const auto picture = std::find_if(posted.begin(), posted.end(),
                                      [](const auto &a) { return a.attachments.size() == 1; });
    ASSERT_NE(picture, posted.end());
    const int number = static_cast<int>(picture - posted.begin()) + 1;
    nntp.RetrieveArticle(number);
    ASSERT_EQ(article.Attachments().Count(), 1);
    const std::string name = article.Attachments().Items(0).FileName();
    EXPECT_EQ(name, picture->attachments[0]);

    TmsNNTP plain;
    plain.SetWinsockLoaded(true);
    plain.SetServer(inn.Address());
    TmsArticle plainArticle;
    plain.SetArticle(&plainArticle);
    plain.SetNewsGroup(InnServer::PictureGroup);
    plain.RetrieveHeaders(5, false);
    ASSERT_EQ(plain.HeaderList().Count(), static_cast<int>(secure.size()));
    for (int i = 0; i < plain.HeaderList().Count(); ++i)
        EXPECT_EQ(plain.HeaderList().Items(i).GetHeaderValue("Subject"), secure[i]);
    EXPECT_FALSE(plain.Secure());
    plain.Disconnect();
    EXPECT_TRUE(errors.empty());
}

TEST_F(TlsIntegrationTest, AnNntpsAddressNeedsNoSwitch) {
    nntp.SetServer("nntps://" + inn.TlsAddress());
    nntp.SetCaFile(inn.CaFile());
    EXPECT_FALSE(PictureGroupHeaders().empty());
    EXPECT_TRUE(nntp.Secure());
}

TEST_F(TlsIntegrationTest, LoginRunsInsideTheSecureConnection) {
    nntp.SetServer("nntps://" + inn.AuthTlsAddress());
    nntp.SetCaFile(inn.CaFile());
    nntp.UserName = inn.User();
    nntp.Password = inn.Password();
    EXPECT_EQ(PictureGroupHeaders().size(), 5u);
    EXPECT_TRUE(nntp.Secure());
    EXPECT_TRUE(nntp.Capabilities().Over);
    nntp.Disconnect();

    nntp.Password = "wrong";
    try {
        nntp.SetNewsGroup(InnServer::PictureGroup);
        ADD_FAILURE() << "a wrong password was taken";
    } catch (const EServerError &e) {
        EXPECT_EQ(e.Message().substr(0, 4), "481 ");
    }
}

TEST_F(TlsIntegrationTest, CertificatesThatFailTheCheckAreRefusedSayingWhy) {
    struct Case {
        std::string address;
        bool withCaFile;
        std::string reason;
    };
    const Case cases[] = {
        {inn.TlsAddress(), false, "is not trusted"},
        {inn.SelfSignedAddress(), true, "is self-signed"},
        {inn.ExpiredAddress(), true, "has expired"},
        {inn.WrongNameAddress(), true, "was issued for another address, not for 127.0.0.1"},
    };
    for (const Case &c : cases) {
        errors.clear();
        const ECertificateError e = Refusal(c.address, c.withCaFile);
        EXPECT_NE(e.Message().find(c.reason), std::string::npos) << e.Message();
        EXPECT_NE(e.Message().find("The certificate of the news server 127.0.0.1 "),
                  std::string::npos)
            << e.Message();
        EXPECT_EQ(e.Fingerprint.size(), 95u);
        EXPECT_NE(e.Message().find("SHA-256 fingerprint: " + e.Fingerprint), std::string::npos);
        EXPECT_NE(e.Subject.find("Vexil tests"), std::string::npos) << e.Subject;
        EXPECT_NE(e.Message().find(e.Subject), std::string::npos);
        EXPECT_EQ(errors, std::vector<std::string>{e.Message()});
    }
}

TEST_F(TlsIntegrationTest, TrustingACertificateTakesExactlyThatOne) {
    const ECertificateError first = Refusal(inn.SelfSignedAddress());
    // Written as a script might: lower case, no colons.
    std::string written;
    for (char c : first.Fingerprint)
        if (c != ':')
            written += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    nntp.SetTrustedFingerprint(written);
    nntp.SetServer("nntps://" + inn.SelfSignedAddress());
    nntp.RetrieveNewsGroupList();
    EXPECT_TRUE(nntp.Secure());
    EXPECT_EQ(nntp.Tls()->Fingerprint(), first.Fingerprint);
    nntp.Disconnect();

    // The server now shows another certificate: refused again, naming the new one.
    const ECertificateError changed = Refusal(inn.ExpiredAddress());
    EXPECT_NE(changed.Fingerprint, first.Fingerprint);
    EXPECT_NE(changed.Message().find(changed.Fingerprint), std::string::npos);
    EXPECT_NE(changed.Message().find("not the certificate you trusted"), std::string::npos);
}

TEST_F(TlsIntegrationTest, APlainServerOnTheSecurePortEndsWithAClearMessage) {
    nntp.SetServer(inn.Address());
    nntp.SetUseTls(true);
    try {
        nntp.Connect();
        ADD_FAILURE() << "a plain server passed for a TLS one";
    } catch (const ECertificateError &e) {
        ADD_FAILURE() << e.Message();
    } catch (const ESocketError &e) {
        EXPECT_NE(e.Message().find("did not answer as a secure (TLS) server"), std::string::npos)
            << e.Message();
    }
    EXPECT_FALSE(nntp.Connected());
}

} // namespace
} // namespace vexil
