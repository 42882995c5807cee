#pragma once
// The common root of the program's components, so that every event can name its sender.

#include <functional>

namespace vexil {

class TObject {
public:
    TObject() = default;
    TObject(const TObject &) = default;
    TObject &operator=(const TObject &) = default;
    virtual ~TObject() = default;
};

// A plain notification: something happened to Sender.
using TNotifyEvent = std::function<void(TObject *Sender)>;

} // namespace vexil
