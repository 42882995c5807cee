#include "message/MessageErrors.h"

#include "base/MessageTable.h"

namespace vexil {

EMessageError::EMessageError(std::uint16_t number) : Exception(MessageText(number)) {}

EMessageParserError::EMessageParserError(std::uint16_t number) : Exception(MessageText(number)) {}

} // namespace vexil
