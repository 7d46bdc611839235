#pragma once
// What a step of the program gives: its value, or the kind of run-time error it raises.
#include <variant>

#include "core/run_time_error.h"

namespace kavrel {

template <class Value, class Step>
std::variant<Value, ErrorKind> Outcome(Step step) {
    try {
        return step();
    } catch (const RunTimeError& error) {
        return error.Kind();
    }
}

}  // namespace kavrel
