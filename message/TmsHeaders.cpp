#include "message/TmsHeaders.h"

#include "message/HeaderText.h"
#include "platform/Exception.h"

namespace vexil {

const std::string &TmsHeaders::Strings(int index) const {
    if (index < 0 || index >= Count())
        throw EListError(index);
    return lines_[static_cast<std::size_t>(index)];
}

std::string TmsHeaders::GetHeaderValue(std::string_view name) const {
    return vexil::GetHeaderValue(lines_, name);
}

void TmsHeaders::RemoveHeader(std::string_view name) {
    vexil::RemoveHeader(lines_, name);
}

} // namespace vexil
