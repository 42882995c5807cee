#pragma once
// A group of the fixture's open news server holding one picture article whose header reads
// "Lines: 1,234": a number with a thousands comma, which the browse rules read as 1234.

#include <string>

namespace vexil::test {

struct CommaLinesGroup {
    std::string Group;
    // The picture the article carries, and its bytes.
    std::string PictureName;
    std::string Picture;
};

// Makes the group Name (each test its own, so that tests running at once do not meet) and
// posts the article to it; a second call finds both in place.
CommaLinesGroup PostCommaLinesArticle(const std::string &Name);

} // namespace vexil::test
