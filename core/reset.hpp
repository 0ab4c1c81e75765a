// Return a process-wide record to the value it had when the process started.
#pragma once

namespace core {

// The fresh value is built once and kept, so that even the largest records (the ensemble,
// the tables) are never built on the stack.
template <typename T> void restore_initial(T& record) {
    static const T initial{};
    record = initial;
}

}  // namespace core
