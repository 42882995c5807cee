#pragma once
// An article that keeps the text it was decoded from, for the parts of a post in several
// parts: they are joined from their text, not from what each decoded to alone.

#include "message/TmsArticle.h"
#include "platform/TStream.h"

#include <cstddef>
#include <string>

namespace vexil {

class TSourceArticle : public TmsArticle {
public:
    void LoadFromStream(TStream &stream) override {
        source_.assign(static_cast<std::size_t>(stream.Size()), '\0');
        stream.SetPosition(0);
        source_.resize(stream.Read(source_.data(), source_.size()));
        TmsArticle::LoadFromStream(stream);
    }
    const std::string &Source() const { return source_; }

private:
    std::string source_;
};

} // namespace vexil
