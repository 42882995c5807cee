#pragma once
// A label showing one entry of the program's version block, optionally after a prefix such
// as "File Version:". The caption is derived from the properties and rebuilt when they
// change; every failure shows as a bracketed text in the caption, nothing is raised.

#include <QLabel>

#include <string>

namespace vexil {

enum TVersionResources {
    vrCompanyName,
    vrFileDescription,
    vrFileVersion,
    vrInternalName,
    vrLegalCopyright,
    vrOriginalFilename,
    vrProductName,
    vrProductVersion,
    vrComments,
    vrFlags,
};

class TVersionLabel : public QLabel {
    Q_OBJECT
public:
    explicit TVersionLabel(QWidget *parent = nullptr);
    ~TVersionLabel() override;

    TVersionResources VersionResource() const { return versionResource_; }
    void SetVersionResource(TVersionResources value);
    const std::string &VersionResourceKey() const { return versionResourceKey_; }
    void SetVersionResourceKey(const std::string &key);
    const std::string &InfoPrefix() const { return infoPrefix_; }
    void SetInfoPrefix(const std::string &prefix);
    bool ShowInfoPrefix() const { return showInfoPrefix_; }
    void SetShowInfoPrefix(bool value);
    // Language and code page of the string table as eight hexadecimal digits; "-1" takes the
    // block's first translation, and is replaced by it at the first rebuild.
    const std::string &LangCharset() const { return langCharset_; }
    void SetLangCharset(const std::string &value);
    // The executable whose version block is shown; empty (the default) is the running one.
    const std::string &FileName() const { return fileName_; }
    void SetFileName(const std::string &path);

private:
    void Rebuild();
    std::string Value();

    TVersionResources versionResource_ = vrFileVersion;
    std::string versionResourceKey_;
    std::string infoPrefix_;
    bool showInfoPrefix_ = true;
    std::string langCharset_ = "-1";
    std::string fileName_;
};

} // namespace vexil
