#include "message/TmsMailAddress.h"

#include "platform/ShortText.h"

#include <atomic>

namespace vexil {

namespace {
std::atomic<TmsMailAddressEditor> g_editor{nullptr};
} // namespace

TmsMailAddressEditor SetMailAddressEditor(TmsMailAddressEditor editor) {
    return g_editor.exchange(editor);
}

void TmsMailAddress::SetName(std::string_view name) {
    name_ = ShortText(name);
}

void TmsMailAddress::SetAddress(std::string_view address) {
    address_ = ShortText(address);
}

void TmsMailAddress::Assign(const TmsMailAddress &source) {
    name_ = source.name_;
    address_ = source.address_;
}

void TmsMailAddress::Edit() {
    if (const TmsMailAddressEditor editor = g_editor.load())
        editor(*this);
}

void TmsMailAddress::Clear() {
    name_.clear();
    address_.clear();
}

} // namespace vexil
