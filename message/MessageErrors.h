#pragma once
// The failures of the article classes; each carries one text of the message table.

#include "platform/Exception.h"

#include <cstdint>

namespace vexil {

// A message that fails its check before it is sent (Validate).
class EMessageError : public Exception {
public:
    explicit EMessageError(std::uint16_t number);
};

// A structural fault in an article being decoded; the decoder turns it into a note in the
// body and keeps the raw article as an attachment.
class EMessageParserError : public Exception {
public:
    explicit EMessageParserError(std::uint16_t number);
};

} // namespace vexil
