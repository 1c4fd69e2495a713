#include "base/Failure.h"

#include <filesystem>
#include <new>
#include <system_error>

namespace texelary {

std::string DescribeFailure(const std::exception_ptr& error) {
    try {
        if (error) {
            std::rethrow_exception(error);
        }
    } catch (const std::bad_alloc&) {
        return "out of memory";
    } catch (const std::filesystem::filesystem_error& failure) {
        return failure.what(); // with the paths it concerns
    } catch (const std::system_error& failure) {
        return failure.code().message();
    } catch (const std::exception& failure) {
        return failure.what();
    } catch (...) {
    }
    return "an unexpected error";
}

} // namespace texelary
