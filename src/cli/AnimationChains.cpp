#include "cli/AnimationChains.h"

#include "base/Utf8.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>

namespace texelary {

namespace {

std::string Key(std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    return AsciiLower(std::move(name));
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

} // namespace

std::vector<std::string> CheckAnimationChains(const std::vector<AnimatedTexture>& textures) {
    std::map<std::string, std::size_t> byName; // the first texture of each name
    for (std::size_t i = 0; i < textures.size(); ++i) {
        for (const std::string& name : textures[i].names) {
            if (!name.empty()) {
                byName.emplace(Key(name), i);
            }
        }
    }
    const auto next = [&](std::size_t i) -> std::optional<std::size_t> {
        const auto found = byName.find(Key(textures[i].next));
        return found == byName.end() ? std::nullopt : std::optional(found->second);
    };

    std::vector<std::string> problems;
    std::set<std::size_t> reportedEnds;
    for (std::size_t start = 0; start < textures.size(); ++start) {
        if (textures[start].next.empty()) {
            continue;
        }
        if (!next(start)) {
            problems.push_back("the next frame of " + Quoted(textures[start].path) + ", " +
                               Quoted(textures[start].next) + ", is none of the textures given");
            continue;
        }
        // Round the chain from `start`: back to it, or stopped by an end or a loop without it.
        std::set<std::size_t> seen = {start};
        std::size_t at = *next(start);
        while (at != start && !textures[at].next.empty() && next(at) && seen.insert(at).second) {
            at = *next(at);
        }
        if (at == start || (!textures[at].next.empty() && !next(at))) {
            continue; // closed, or its missing frame is reported with the texture naming it
        }
        if (textures[at].next.empty()) {
            if (reportedEnds.insert(at).second) {
                problems.push_back("the animation through " + Quoted(textures[start].path) +
                                   " ends at " + Quoted(textures[at].path) +
                                   ", which names no next frame");
            }
        } else {
            problems.push_back("the animation through " + Quoted(textures[start].path) +
                               " runs into a loop that does not come back to it");
        }
    }
    return problems;
}

bool IsNumberedFrame(const std::string& name) {
    if (name.size() < 3 || name[0] != '+') {
        return false;
    }
    const auto mark = static_cast<char>(std::tolower(static_cast<unsigned char>(name[1])));
    return (mark >= '0' && mark <= '9') || (mark >= 'a' && mark <= 'j');
}

std::vector<std::string> CheckFrameNumbers(const std::vector<std::string>& names) {
    // For each texture and run (numbers, letters): the frames there are, 0 to 9.
    std::map<std::pair<std::string, bool>, std::set<int>> runs;
    for (const std::string& name : names) {
        if (IsNumberedFrame(name)) {
            const auto mark = static_cast<char>(std::tolower(static_cast<unsigned char>(name[1])));
            const bool letters = mark >= 'a';
            runs[{Key(name.substr(2)), letters}].insert(letters ? mark - 'a' : mark - '0');
        }
    }
    std::vector<std::string> problems;
    for (const auto& [run, frames] : runs) {
        const int last = *frames.rbegin();
        const char first = run.second ? 'a' : '0';
        const auto mark = [first](int n) {
            return "+" + std::string(1, static_cast<char>(first + n));
        };
        for (int frame = 0; frame <= last; ++frame) {
            if (frames.count(frame) == 0) {
                problems.push_back("the frames of " + Quoted(run.first) + " run to " + mark(last) +
                                   " without " + mark(frame));
                break;
            }
        }
    }
    return problems;
}

} // namespace texelary
