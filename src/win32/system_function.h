#pragma once
// A system function bound by name at its first call. The library is loaded then,
// and released with the object; a missing library or entry point is a
// RunTimeError at that call, not a failure to start the program.
#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "core/run_time_error.h"

namespace kavrel::win32 {

struct LibraryRelease {
    void operator()(HMODULE module) const noexcept { FreeLibrary(module); }
};
using LibraryHandle = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryRelease>;

// Pointer is the function's pointer type, e.g. decltype(&::InternetOpenA).
template <class Pointer>
class SystemFunction {
public:
    SystemFunction(const char* library, const char* name) : library_(library), name_(name) {}
    // Bound already: a stand-in through which a test watches the calls.
    explicit SystemFunction(Pointer bound) : library_(""), name_(""), function_(bound) {}

    template <class... Args>
    auto operator()(Args&&... args) {
        return Bind()(std::forward<Args>(args)...);
    }

private:
    Pointer Bind() {
        if (function_) return function_;
        if (!module_) {
            module_.reset(LoadLibraryA(library_));
            if (!module_) throw RunTimeError(ErrorKind::MissingSystemFunction, std::string("cannot load ") + library_);
        }
        const FARPROC address = GetProcAddress(module_.get(), name_);
        if (!address) throw RunTimeError(ErrorKind::MissingSystemFunction, std::string(library_) + " has no " + name_);
        function_ = reinterpret_cast<Pointer>(reinterpret_cast<void (*)()>(address));
        return function_;
    }

    const char* library_;
    const char* name_;
    LibraryHandle module_;
    Pointer function_ = nullptr;
};

}  // namespace kavrel::win32
