// C++ exceptions (memory exhausted, mostly on the 32-bit build) must not
// unwind into the script engine from a host function: they become that
// function's failure result. Script errors are no std::exception and pass
// on to the engine's protected call as before.
#pragma once

#include <exception>

namespace vek {

template <typename Body, typename Failure>
auto FailOnNativeException(Body body, Failure failure) -> decltype(body()) {
    try {
        return body();
    } catch (const std::exception&) {
        return failure();
    }
}

}  // namespace vek
