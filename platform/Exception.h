#pragma once
// The program's exception classes of general use. Every error the user can cause ends in one
// of these, and its message is what the user reads.

#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>

namespace vexil {

// Base of every exception the program raises; the message is the whole report.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const char *what() const noexcept override { return message_.c_str(); }
    const std::string &Message() const noexcept { return message_; }
    void SetMessage(std::string message) { message_ = std::move(message); }

private:
    std::string message_;
};

// An input/output fault in data being read or written (for instance a character that does
// not belong to a transfer encoding).
class EInOutError : public Exception {
public:
    using Exception::Exception;
};

// A file could not be created: "Cannot create file <path>".
class EFCreateError : public Exception {
public:
    explicit EFCreateError(const std::string &path);
};

// A file could not be opened: "Cannot open file <path>".
class EFOpenError : public Exception {
public:
    explicit EFOpenError(const std::string &path);
};

// A list was indexed outside its items: "List index out of bounds (<index>)".
class EListError : public Exception {
public:
    explicit EListError(long long index);
};

// Fills the "%s" and "%d" markers of a message text, in order, with the given texts;
// "%%" is a single "%". Markers without an argument are left as they stand.
std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args);

} // namespace vexil
