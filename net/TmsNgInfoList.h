#pragma once
// The header blocks of a header walk: each item is one article's header lines with its
// article number. Once the walk's handler has seen an item, the walk
// trims it to what the browse run reads later (its Number, Lines and Subject): a walk over
// many articles then holds a few dozen bytes each, not whole header blocks.

#include "message/TmsHeaders.h"
#include "net/TOwnedList.h"

namespace vexil {

class TmsNgInfoItem : public TmsHeaders {
public:
    // The article number from the HEAD reply.
    int Number = 0;

    // Drops every line but the first Lines and Subject headers (with their continuation
    // lines); GetHeaderValue of those two gives what it gave before.
    void KeepHandledHeaders();
};

class TmsNgInfoList : public TOwnedList<TmsNgInfoItem> {};

} // namespace vexil
