#include "base/ReplyWords.h"

#include <charconv>

namespace vexil {

namespace {

// Without leading and trailing characters of code 32 or below.
std::string_view Trim(std::string_view S) {
    std::size_t begin = 0;
    std::size_t end = S.size();
    while (begin < end && static_cast<unsigned char>(S[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(S[end - 1]) <= ' ')
        --end;
    return S.substr(begin, end - begin);
}

} // namespace

std::string GetWord(std::string_view S, int K, bool Single) {
    for (int i = 0; i < K; ++i) {
        const std::size_t blank = S.find(' ');
        if (blank == std::string_view::npos)
            return {};
        S = Trim(S.substr(blank + 1));
    }
    if (Single)
        S = S.substr(0, S.find(' '));
    return std::string(Trim(S));
}

int StrToIntDef(std::string_view S, int Default) {
    if (!S.empty() && S.front() == '+')
        S.remove_prefix(1);
    if (S.empty() || S.front() == '+')
        return Default;
    int value = 0;
    const auto [end, ec] = std::from_chars(S.data(), S.data() + S.size(), value, 10);
    if (ec != std::errc() || end != S.data() + S.size())
        return Default;
    return value;
}

int GetWordAsInt(std::string_view S, int K) {
    return StrToIntDef(GetWord(S, K, true), -1);
}

} // namespace vexil
