#include "net/ArticleFilter.h"

#include "base/AsciiCase.h"

namespace vexil {

bool IsLaterPart(std::string_view Subject) {
    // A web address may hold "/2" and the like without being a part of anything.
    if (FindNoCase(Subject, "HTTP") != std::string_view::npos)
        return false;
    for (std::size_t i = 0; i + 1 < Subject.size(); ++i)
        if (Subject[i] == '/' && Subject[i + 1] >= '2' && Subject[i + 1] <= '9')
            return true;
    return false;
}

} // namespace vexil
