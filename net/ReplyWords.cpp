#include "net/ReplyWords.h"

#include <charconv>

namespace vexil {

std::string_view TrimText(std::string_view S) {
    std::size_t begin = 0;
    std::size_t end = S.size();
    while (begin < end && static_cast<unsigned char>(S[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(S[end - 1]) <= ' ')
        --end;
    return S.substr(begin, end - begin);
}

std::string GetWord(std::string_view S, int K, bool Single) {
    for (int i = 0; i < K; ++i) {
        const std::size_t blank = S.find(' ');
        if (blank == std::string_view::npos)
            return {};
        S = TrimText(S.substr(blank + 1));
    }
    if (Single)
        S = S.substr(0, S.find(' '));
    return std::string(TrimText(S));
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
