#pragma once
// The header blocks of a header walk: each item is one article's header lines (the final "."
// line included) with its article number.

#include "message/TmsHeaders.h"
#include "net/TOwnedList.h"

namespace vexil {

class TmsNgInfoItem : public TmsHeaders {
public:
    // The article number from the HEAD reply.
    int Number = 0;
};

class TmsNgInfoList : public TOwnedList<TmsNgInfoItem> {};

} // namespace vexil
