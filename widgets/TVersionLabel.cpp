#include "widgets/TVersionLabel.h"
#include "platform/QtText.h"
#include "platform/VersionBlock.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace vexil {

namespace {

struct TResourceEntry {
    const char *Key;
    const char *Prefix;
};

// Indexed by TVersionResources.
constexpr TResourceEntry kResources[] = {
    {"CompanyName", "Company Name:"},
    {"FileDescription", "File Description:"},
    {"FileVersion", "File Version:"},
    {"InternalName", "Internal Name:"},
    {"LegalCopyright", "Legal Copyright:"},
    {"OriginalFilename", "Original Filename:"},
    {"ProductName", "Product Name:"},
    {"ProductVersion", "Product Version:"},
    {"Comments", "Comments:"},
    {"Flags", "Flags:"},
};

constexpr const char *kNoData = "< No Data Available >";
constexpr const char *kErrorVersion = "< Error retrieving version info >";
constexpr const char *kErrorTranslation = "< Error retrieving translation info >";
constexpr const char *kNoVersionInfo = "< No Version Info >";

std::string flagsText(std::uint32_t flags) {
    static constexpr std::pair<std::uint32_t, const char *> kFlags[] = {
        {0x01, ", Debug Build"},   {0x02, ", Pre-Release Build"}, {0x04, ", Patched Build"},
        {0x08, ", Private Build"}, {0x10, ", InfoInferred"},      {0x20, ", Special Build"},
    };
    std::string text;
    for (const auto &[bit, name] : kFlags)
        if (flags & bit)
            text += name;
    if (!text.empty() && text.front() == ',')
        text.erase(0, 2);
    return text;
}

std::string hex4(std::uint16_t value) {
    char digits[5];
    std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(value));
    return digits;
}

} // namespace

TVersionLabel::TVersionLabel(QWidget *parent) : QLabel(parent) {
    setWordWrap(false);
    // AutoSize: the label takes its text's size.
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    SetVersionResource(vrFileVersion);
}

TVersionLabel::~TVersionLabel() = default;

void TVersionLabel::SetVersionResource(TVersionResources value) {
    versionResource_ = value;
    SetVersionResourceKey(kResources[value].Key);
    SetInfoPrefix(kResources[value].Prefix);
}

void TVersionLabel::SetVersionResourceKey(const std::string &key) {
    if (key == versionResourceKey_)
        return;
    versionResourceKey_ = key;
    SetInfoPrefix(key);
}

void TVersionLabel::SetInfoPrefix(const std::string &prefix) {
    if (prefix == infoPrefix_)
        return;
    infoPrefix_ = prefix;
    Rebuild();
}

void TVersionLabel::SetShowInfoPrefix(bool value) {
    if (value == showInfoPrefix_)
        return;
    showInfoPrefix_ = value;
    Rebuild();
}

void TVersionLabel::SetLangCharset(const std::string &value) {
    if (value == langCharset_)
        return;
    langCharset_ = value;
    Rebuild();
}

void TVersionLabel::SetFileName(const std::string &path) {
    if (path == fileName_)
        return;
    fileName_ = path;
    Rebuild();
}

std::string TVersionLabel::Value() {
    const std::string path =
        fileName_.empty() ? QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString()
                          : fileName_;
    const std::optional<std::string> section = ReadVersionSection(path);
    if (!section || section->empty())
        return kNoData;
    const std::optional<TVersionBlock> block = TVersionBlock::Parse(*section);
    if (!block)
        return kErrorVersion;
    if (versionResource_ == vrFlags) {
        const std::optional<std::uint32_t> flags = block->FileFlags();
        return flags ? flagsText(*flags) : kErrorVersion;
    }
    if (langCharset_ == "-1") {
        if (block->Translations().empty())
            return kErrorTranslation;
        const TVersionBlock::Translation first = block->Translations().front();
        langCharset_ = hex4(first.Language) + hex4(first.CodePage);
    }
    const std::optional<std::string> value = block->StringValue(langCharset_, versionResourceKey_);
    if (!value)
        return kErrorVersion;
    if (value->empty())
        return kNoVersionInfo;
    return *value;
}

void TVersionLabel::Rebuild() {
    const std::string value = Value();
    setText(TextOfBytes(showInfoPrefix_ ? infoPrefix_ + " " + value : value));
    adjustSize();
}

} // namespace vexil
