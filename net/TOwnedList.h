#pragma once
// A list that owns its entries: what is added is freed with the list or by Clear.

#include "platform/Exception.h"
#include "platform/Object.h"

#include <memory>
#include <vector>

namespace vexil {

template <typename T> class TOwnedList : public TObject {
public:
    TOwnedList() = default;
    TOwnedList(const TOwnedList &) = delete;
    TOwnedList &operator=(const TOwnedList &) = delete;
    TOwnedList(TOwnedList &&) noexcept = default;
    TOwnedList &operator=(TOwnedList &&) noexcept = default;
    ~TOwnedList() override { Clear(); }

    int Count() const { return static_cast<int>(items_.size()); }
    // Throws EListError outside 0 .. Count() - 1.
    T &Items(int Index) const {
        if (Index < 0 || Index >= Count())
            throw EListError(Index);
        return *items_[static_cast<std::size_t>(Index)];
    }
    // Takes Entry over; returns its index.
    int Add(std::unique_ptr<T> Entry) {
        items_.push_back(std::move(Entry));
        return Count() - 1;
    }
    // Frees every entry, the last one first.
    void Clear() {
        while (!items_.empty())
            items_.pop_back();
    }

private:
    std::vector<std::unique_ptr<T>> items_;
};

} // namespace vexil
