#pragma once

// What an exception that ends a run or a program says to the user, in a few words.

#include <exception>
#include <string>

namespace texelary {

// The reason `error` gives: "out of memory" for a failed allocation, the system's words for a
// thread or a file system that failed (with the paths concerned), the message of any other standard
// exception, or "an unexpected error" for anything else.
std::string DescribeFailure(const std::exception_ptr& error);

} // namespace texelary
