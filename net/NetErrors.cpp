#include "net/NetErrors.h"

#include "base/MessageTable.h"

namespace vexil {

ECanceledError::ECanceledError() : Exception(MessageText(kMsgCanceled)) {}

ETimedOutError::ETimedOutError() : Exception(MessageText(kMsgTimedOut)) {}

} // namespace vexil
