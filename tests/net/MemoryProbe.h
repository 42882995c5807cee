#pragma once
// Counts the heap bytes the test program holds (every operator new of the process), so that
// a test can bound what one operation keeps or needed at its peak, whatever else ran before.

#include <cstddef>

namespace vexil::test {

class MemoryProbe {
public:
    // Starts measuring from what is held now.
    MemoryProbe();
    // Bytes held now beyond what was held at the start (0 when fewer).
    std::size_t Held() const;
    // The most bytes held at any moment since the start, beyond what was held then.
    std::size_t Peak() const;

private:
    std::size_t start_;
};

} // namespace vexil::test
