#pragma once

// The one way a reason for a failure is handed out beside a simple result (ReadError,
// WriteError): into the caller's variable, if it asked for one.

namespace texelary {

// Stores `value` where the caller asked for a reason, if it did. Returns whether `value` is None,
// so that a reader or a writer can end with `return SetReason(error, ReadError::Truncated);`.
template <class Reason> bool SetReason(Reason* error, Reason value) {
    if (error != nullptr) {
        *error = value;
    }
    return value == Reason::None;
}

} // namespace texelary
