#pragma once

// The animation chains of a set of textures: each .m8 or .wal texture may name the next frame of
// its animation, and the engines play the frames round and round, so every name must lead to a
// texture of the set and every chain must come back to where it started.

#include <string>
#include <vector>

namespace texelary {

struct AnimatedTexture {
    std::string path;               // as given or found, for the messages
    std::vector<std::string> names; // what other textures call it: its header name, its path
                                    // under the folder given without the extension, its file name
    std::string next;               // the animation name: the next frame, empty for none
};

// What is wrong with the chains of `textures`, one line each, in the order of the textures: a
// next frame that is none of them, and a chain that does not come back to a texture on it (it
// ends at a texture without a next frame, or runs into a loop that leaves it out). Names are
// compared in any case, '\' as '/'. Empty when every chain closes.
std::vector<std::string> CheckAnimationChains(const std::vector<AnimatedTexture>& textures);

// What is wrong with the numbered frames among `names`: the engines of WAD2 textures play
// "+0lava", "+1lava", ... (and the alternate frames "+alava", "+blava", ...) in order, so each
// run must start at +0 (or +a) and leave no number out. One line for each name whose frames do
// not, in name order; names are compared in any case.
std::vector<std::string> CheckFrameNumbers(const std::vector<std::string>& names);

// Whether `name` is a numbered frame ("+0lava", "+alava").
bool IsNumberedFrame(const std::string& name);

} // namespace texelary
