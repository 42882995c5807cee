#include "MemoryProbe.h"

#include <atomic>
#include <cstdlib>
#include <malloc.h>
#include <new>

namespace {

std::atomic<std::size_t> held{0};
std::atomic<std::size_t> peak{0};

void *Allocate(std::size_t size) {
    void *p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr)
        throw std::bad_alloc();
    const std::size_t now = held.fetch_add(malloc_usable_size(p)) + malloc_usable_size(p);
    std::size_t seen = peak.load();
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
    }
    return p;
}

void Release(void *p) {
    if (p == nullptr)
        return;
    held.fetch_sub(malloc_usable_size(p));
    std::free(p);
}

} // namespace

void *operator new(std::size_t size) {
    return Allocate(size);
}
void *operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void *p) noexcept {
    Release(p);
}
void operator delete[](void *p) noexcept {
    Release(p);
}
void operator delete(void *p, std::size_t) noexcept {
    Release(p);
}
void operator delete[](void *p, std::size_t) noexcept {
    Release(p);
}

namespace vexil::test {

MemoryProbe::MemoryProbe() : start_(held.load()) {
    peak.store(start_);
}

std::size_t MemoryProbe::Held() const {
    const std::size_t now = held.load();
    return now > start_ ? now - start_ : 0;
}

std::size_t MemoryProbe::Peak() const {
    const std::size_t top = peak.load();
    return top > start_ ? top - start_ : 0;
}

} // namespace vexil::test
