#include "base/Failure.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <new>
#include <stdexcept>
#include <system_error>

namespace texelary {
namespace {

// What ends a run or the program is said in the words of what ended it.
TEST(Failure, SaysWhatTheExceptionSays) {
    const auto from = [](auto thrown) { return DescribeFailure(std::make_exception_ptr(thrown)); };
    EXPECT_EQ(from(std::bad_alloc()), "out of memory");
    EXPECT_EQ(
        from(std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again))),
        std::make_error_code(std::errc::resource_unavailable_try_again).message());
    EXPECT_NE(
        from(std::filesystem::filesystem_error("cannot list", std::filesystem::path("lost/folder"),
                                               std::make_error_code(std::errc::permission_denied)))
            .find("lost/folder"),
        std::string::npos);
    EXPECT_EQ(from(std::runtime_error("the pool stopped")), "the pool stopped");
    EXPECT_EQ(from(42), "an unexpected error");
}

} // namespace
} // namespace texelary
