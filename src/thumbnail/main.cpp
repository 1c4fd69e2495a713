// texelary-thumbnailer: the thumbnail of one texture or wad as a PNG, for file managers, which
// start it once per file as its .thumbnailer entry says:
//   texelary-thumbnailer -s SIZE INPUT OUTPUT
// INPUT is a path or a file:// URI. On any failure the exit status is not 0 and OUTPUT is not
// written; a watchdog ends the program should a file ever take longer than kWatchdogSeconds.

#include "base/FileIo.h"
#include "thumbnail/Thumbnail.h"
#include "thumbnail/ThumbnailPng.h"

#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>

namespace texelary {
namespace {

// Real textures take milliseconds; a file manager gives up on a thumbnailer long before this.
constexpr unsigned kWatchdogSeconds = 5;

constexpr const char* kUsage = "usage: texelary-thumbnailer -s SIZE INPUT OUTPUT\n";

struct Arguments {
    std::int32_t size = 0;
    std::string input;
    std::string output;
};

std::optional<int> HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return std::nullopt;
}

// The local path of INPUT: a path as it is, a file:// URI (empty or "localhost" host) with its
// percent escapes decoded. None for another URI, a bad escape or an escaped zero byte.
std::optional<std::string> LocalPath(std::string_view input) {
    constexpr std::string_view scheme = "file://";
    if (input.substr(0, scheme.size()) != scheme) {
        return std::string(input);
    }
    std::string_view rest = input.substr(scheme.size());
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos || (slash != 0 && rest.substr(0, slash) != "localhost")) {
        return std::nullopt;
    }
    rest = rest.substr(slash);
    std::string path;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] != '%') {
            path += rest[i];
            continue;
        }
        const auto high = i + 2 < rest.size() ? HexDigit(rest[i + 1]) : std::nullopt;
        const auto low = i + 2 < rest.size() ? HexDigit(rest[i + 2]) : std::nullopt;
        if (!high || !low || (*high == 0 && *low == 0)) {
            return std::nullopt;
        }
        path += static_cast<char>(*high * 16 + *low);
        i += 2;
    }
    return path;
}

std::optional<Arguments> ParseArguments(int argc, char** argv) {
    Arguments arguments;
    std::optional<std::string_view> size;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "-s" && i + 1 < argc) {
            size = argv[++i];
        } else if (positional < 2 && !argument.empty()) {
            (positional++ == 0 ? arguments.input : arguments.output) = argument;
        } else {
            return std::nullopt;
        }
    }
    if (!size || positional != 2) {
        return std::nullopt;
    }
    const auto [end, error] =
        std::from_chars(size->data(), size->data() + size->size(), arguments.size);
    if (error != std::errc() || end != size->data() + size->size()) {
        return std::nullopt;
    }
    return arguments;
}

int Run(const Arguments& arguments) {
    const auto path = LocalPath(arguments.input);
    if (!path) {
        std::fprintf(stderr, "texelary-thumbnailer: %s: not a local file\n",
                     arguments.input.c_str());
        return 1;
    }
    ThumbnailFailure failure;
    const auto thumbnail = MakeThumbnailOfFile(*path, arguments.size, &failure);
    if (!thumbnail) {
        std::fprintf(stderr, "texelary-thumbnailer: %s: %s\n", path->c_str(),
                     DescribeThumbnailFailure(failure).c_str());
        return 1;
    }
    const auto png = EncodeThumbnailPng(*thumbnail);
    if (!png || !WriteFileReplacing(arguments.output, *png)) {
        std::fprintf(stderr, "texelary-thumbnailer: %s: cannot write the thumbnail\n",
                     arguments.output.c_str());
        return 1;
    }
    return 0;
}

} // namespace
} // namespace texelary

int main(int argc, char** argv) {
    // SIGALRM's default action ends the process with a failing status.
    alarm(texelary::kWatchdogSeconds);
    const auto arguments = texelary::ParseArguments(argc, argv);
    if (!arguments) {
        std::fputs(texelary::kUsage, stderr);
        return 2;
    }
    return texelary::Run(*arguments);
}
