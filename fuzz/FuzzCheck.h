#pragma once
// A promise the fuzzed code keeps: breaking it aborts, which the fuzzer reports with the input.

#include <cstdlib>

namespace vexil::fuzz {

inline void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace vexil::fuzz
