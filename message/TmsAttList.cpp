#include "message/TmsAttList.h"

#include "platform/Exception.h"

namespace vexil {

TmsAttItem &TmsAttList::Items(int index) const {
    if (index < 0 || index >= Count())
        throw EListError(index);
    return *items_[static_cast<std::size_t>(index)];
}

int TmsAttList::Add(std::unique_ptr<TmsAttItem> item) {
    items_.push_back(std::move(item));
    return Count() - 1;
}

void TmsAttList::Clear() {
    while (!items_.empty())
        items_.pop_back();
}

void TmsAttList::Assign(const TmsAttList &source) {
    if (&source == this)
        return;
    Clear();
    for (const auto &item : source.items_) {
        auto copy = std::make_unique<TmsAttItem>();
        copy->Assign(*item);
        items_.push_back(std::move(copy));
    }
}

} // namespace vexil
