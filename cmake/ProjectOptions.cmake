# Interface targets that carry the project's compiler settings; every target links both.

# Off by default, so that a packager's compiler with new warnings still builds; the dev and
# asan-ubsan presets and scripts/test turn it on.
option(TEXELARY_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)
option(TEXELARY_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(TEXELARY_SANITIZE_THREAD "Build with ThreadSanitizer (not with TEXELARY_SANITIZE)" OFF)
if(TEXELARY_SANITIZE AND TEXELARY_SANITIZE_THREAD)
    message(FATAL_ERROR "ThreadSanitizer cannot be combined with AddressSanitizer")
endif()

add_library(texelary_warnings INTERFACE)
if(MSVC)
    target_compile_options(texelary_warnings INTERFACE /W4 $<$<BOOL:${TEXELARY_WARNINGS_AS_ERRORS}>:/WX>)
else()
    target_compile_options(texelary_warnings INTERFACE
        -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow
        -Wold-style-cast -Wdouble-promotion
        $<$<BOOL:${TEXELARY_WARNINGS_AS_ERRORS}>:-Werror>)
endif()

add_library(texelary_options INTERFACE)
target_compile_features(texelary_options INTERFACE cxx_std_20)
# The sources are UTF-8, and so are the texts they hold ("€uro.bmp" in the tests).
if(MSVC)
    target_compile_options(texelary_options INTERFACE /utf-8)
endif()
if(TEXELARY_SANITIZE AND NOT MSVC)
    target_compile_options(texelary_options INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(texelary_options INTERFACE -fsanitize=address,undefined)
endif()

if(TEXELARY_SANITIZE_THREAD AND NOT MSVC)
    target_compile_options(texelary_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(texelary_options INTERFACE -fsanitize=thread)
endif()

option(TEXELARY_FUZZ "Build the fuzz harnesses with libFuzzer (needs clang)" OFF)
if(TEXELARY_FUZZ)
    # Coverage for everything the harnesses reach; the sanitizers come with it.
    target_compile_options(texelary_options INTERFACE
        -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
        -fno-omit-frame-pointer)
    target_link_options(texelary_options INTERFACE -fsanitize=address,undefined)
endif()
