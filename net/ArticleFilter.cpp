#include "net/ArticleFilter.h"

#include <algorithm>
#include <cctype>

namespace vexil {

bool IsLaterPart(std::string_view Subject) {
    // A web address may hold "/2" and the like without being a part of anything.
    const auto upper = [](char c) { return std::toupper(static_cast<unsigned char>(c)); };
    const std::string_view http = "HTTP";
    if (std::search(Subject.begin(), Subject.end(), http.begin(), http.end(),
                    [&](char a, char b) { return upper(a) == b; }) != Subject.end())
        return false;
    for (std::size_t i = 0; i + 1 < Subject.size(); ++i)
        if (Subject[i] == '/' && Subject[i + 1] >= '2' && Subject[i + 1] <= '9')
            return true;
    return false;
}

} // namespace vexil
