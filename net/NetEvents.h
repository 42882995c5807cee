#pragma once
// The event types of the client components. Handlers run on the caller's thread, inside the
// operation that fires them.

#include "platform/Object.h"

#include <functional>
#include <string>

namespace vexil {

// Fired before a failure is raised; the handler may reword Msg, which the exception carries.
using TmsErrorEvent = std::function<void(TObject *Sender, std::string &Msg)>;

// Progress of a data block: Perc is -1 when no expected size was given and may exceed 100.
using TmsProgressEvent = std::function<void(TObject *Sender, int Perc, int Transferred)>;

// A numbered notification, such as the index of a header block just added to a list.
using TmsNumNotifyEvent = std::function<void(TObject *Sender, int Num)>;

} // namespace vexil
