#pragma once

// The animation chains of a set of textures: each .m8 or .wal texture may name the next frame of
// its animation, and the engines play the frames round and round, so every name must lead to a
// texture of the set and every chain must come back to where it started. --info checks the
// chains; the texture browser follows them to play the frames.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace texelary {

struct AnimatedTexture {
    std::string path;               // as given or found, for the messages
    std::vector<std::string> names; // what other textures call it: its header name, its path
                                    // under the folder given without the extension, its file name
    std::string next;               // the animation name: the next frame, empty for none
};

// A name as frames are compared by it, here and in the texture browser alike: '\' as '/', ASCII
// letters in lower case, every other byte (UTF-8 included) as it is, as the engines compare them.
std::string AnimationKey(std::string name);

// What is wrong with the chains of `textures`, one line each, in the order of the textures: a
// next frame that is none of them, and a chain that does not come back to a texture on it (it
// ends at a texture without a next frame, or runs into a loop that leaves it out). Names are
// compared by their AnimationKey. Empty when every chain closes.
std::vector<std::string> CheckAnimationChains(const std::vector<AnimatedTexture>& textures);

// What is wrong with the numbered frames among `names`: the engines of WAD2 textures play
// "+0lava", "+1lava", ... (and the alternate frames "+alava", "+blava", ...) in order, so each
// run must start at +0 (or +a) and leave no number out. One line for each name whose frames do
// not, in name order; names are compared by their AnimationKey.
std::vector<std::string> CheckFrameNumbers(const std::vector<std::string>& names);

// Whether `name` is a numbered frame ("+0lava", "+alava").
bool IsNumberedFrame(const std::string& name);

// The texture browser's frames, among `names`: textures as it lists them, UTF-8 paths under a
// folder, '/' between folders, extension included ("e1u1/lava1.wal"). Names are compared by
// their AnimationKey, without their extension (from the first '.' of their last part).

// The numbered frames of the run that `name` belongs to, as indices into `names` in the order
// they are played ("+0lava.wal", "+1lava.wal", ...); empty when `name` is not a numbered frame.
std::vector<std::size_t> NumberedFramesOf(const std::string& name,
                                          const std::vector<std::string>& names);

// The index of the texture of `names` that the animation name `next` (a header's field, a path in
// the game such as "e1u1/lava2") names: one named as the whole of it or as its last part. None
// when no texture of the list has that name.
std::optional<std::size_t> TextureNamed(const std::string& next,
                                        const std::vector<std::string>& names);

} // namespace texelary
