#include "formats/AnimationChains.h"

#include "base/Utf8.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>
#include <string_view>

namespace texelary {

namespace {

// The part of `name` after its last '/'.
std::string_view LastPart(std::string_view name) {
    const std::size_t slash = name.rfind('/');
    return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

// `text` before its first '.' at or after `from`; all of it when there is none, or when that
// '.' starts it.
std::string_view CutAtDot(std::string_view text, std::size_t from) {
    const std::size_t dot = text.find('.', from);
    return dot == std::string_view::npos || dot == 0 ? text : text.substr(0, dot);
}

// A listed name's key without its folders and its extension: what a numbered frame is, and the
// last part of an animation name.
std::string_view Stem(std::string_view key) {
    return CutAtDot(LastPart(key), 0);
}

} // namespace

std::string AnimationKey(std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    return AsciiLower(std::move(name));
}

std::vector<std::string> CheckAnimationChains(const std::vector<AnimatedTexture>& textures) {
    std::map<std::string, std::size_t> byName; // the first texture of each name
    for (std::size_t i = 0; i < textures.size(); ++i) {
        for (const std::string& name : textures[i].names) {
            if (!name.empty()) {
                byName.emplace(AnimationKey(name), i);
            }
        }
    }
    const auto next = [&](std::size_t i) -> std::optional<std::size_t> {
        const auto found = byName.find(AnimationKey(textures[i].next));
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
            runs[{AnimationKey(name.substr(2)), letters}].insert(letters ? mark - 'a' : mark - '0');
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

std::vector<std::size_t> NumberedFramesOf(const std::string& name,
                                          const std::vector<std::string>& names) {
    const std::string key = AnimationKey(name);
    const std::string_view stem = Stem(key);
    if (!IsNumberedFrame(std::string(stem))) {
        return {};
    }
    const bool digits = stem[1] <= '9';
    std::vector<std::pair<char, std::size_t>> frames; // each frame's mark, and where it is listed
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string otherKey = AnimationKey(names[i]);
        const std::string_view other = Stem(otherKey);
        if (IsNumberedFrame(std::string(other)) && (other[1] <= '9') == digits &&
            other.substr(2) == stem.substr(2)) {
            frames.emplace_back(other[1], i);
        }
    }
    std::stable_sort(frames.begin(), frames.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::size_t> order;
    for (const auto& frame : frames) {
        order.push_back(frame.second);
    }
    return order;
}

std::optional<std::size_t> TextureNamed(const std::string& next,
                                        const std::vector<std::string>& names) {
    const std::string whole = AnimationKey(next);
    if (whole.empty()) {
        return std::nullopt;
    }
    const std::string_view last = LastPart(whole);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string key = AnimationKey(names[i]);
        const std::size_t slash = key.rfind('/');
        const std::size_t lastStart = slash == std::string::npos ? 0 : slash + 1;
        if (CutAtDot(key, lastStart) == whole || Stem(key) == last) {
            return i;
        }
    }
    return std::nullopt;
}

} // namespace texelary
