#pragma once
// A display name and a mail address, as in a From header.

#include "platform/Object.h"

#include <string>
#include <string_view>

namespace vexil {

class TmsMailAddress;

// Edits an address in place (the address dialog of the GUI); it keeps the address unchanged
// when the user cancels.
using TmsMailAddressEditor = void (*)(TmsMailAddress &address);

// Installs the editor that TmsMailAddress::Edit calls (nullptr removes it) and returns the
// previous one. The message model knows no GUI; the application installs its dialog here.
TmsMailAddressEditor SetMailAddressEditor(TmsMailAddressEditor editor);

class TmsMailAddress : public TObject {
public:
    // Short texts: longer values are cut at 255 characters.
    const std::string &Name() const { return name_; }
    void SetName(std::string_view name);
    const std::string &Address() const { return address_; }
    void SetAddress(std::string_view address);

    void Assign(const TmsMailAddress &source);
    // Opens the installed editor on this address; without one the address stays as it is.
    void Edit();
    void Clear();

private:
    std::string name_;
    std::string address_;
};

} // namespace vexil
