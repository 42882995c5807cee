#pragma once
// The attachments of a message, in article order; the list owns its items.

#include "message/TmsAttItem.h"
#include "platform/Object.h"

#include <memory>
#include <vector>

namespace vexil {

class TmsAttList : public TObject {
public:
    TmsAttList() = default;
    TmsAttList(TmsAttList &&) noexcept = default;
    TmsAttList &operator=(TmsAttList &&) noexcept = default;
    ~TmsAttList() override { Clear(); }

    int Count() const { return static_cast<int>(items_.size()); }
    // Throws EListError outside 0 .. Count() - 1.
    TmsAttItem &Items(int index) const;
    // Appends the item and takes it over; returns its index.
    int Add(std::unique_ptr<TmsAttItem> item);
    // Frees every item, from the last to the first.
    void Clear();
    // Clears, then appends a copy of every item of source, in order.
    void Assign(const TmsAttList &source);

private:
    std::vector<std::unique_ptr<TmsAttItem>> items_;
};

} // namespace vexil
