#pragma once
// The program's one error type. A failing step raises it with its kind; it
// passes up unchanged to the few handlers that are meant to stop it.
#include <stdexcept>
#include <string>

namespace kavrel {

enum class ErrorKind {
    InvalidArgument,
    IndexOutOfRange,
    Overflow,
    MissingSystemFunction,  // a system library or entry point could not be bound
    SystemCallFailed,       // the system refused a request (a window, a font, a list entry)
};

class RunTimeError : public std::runtime_error {
public:
    RunTimeError(ErrorKind kind, const std::string& what) : std::runtime_error(what), kind_(kind) {}
    ErrorKind Kind() const noexcept { return kind_; }

private:
    ErrorKind kind_;
};

}  // namespace kavrel
