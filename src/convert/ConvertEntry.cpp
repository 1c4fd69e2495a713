#include "convert/ConvertEntry.h"

#include "colour/Quantize.h"
#include "image/RgbaImage.h"

#include <algorithm>
#include <array>
#include <new>

namespace texelary {

namespace {

// Whether a pixel less than half opaque has another index than `transparent`.
bool SeeThroughElsewhere(const IndexedImage& image, const std::array<std::uint8_t, 256>& alpha,
                         std::uint8_t transparent) {
    const std::uint8_t* pixels = image.pixels.get();
    const std::size_t count = PixelCount(image.width, image.height).value_or(0);
    return std::any_of(pixels, pixels + count, [&alpha, transparent](std::uint8_t index) {
        return alpha[index] < OpaqueAlpha && index != transparent;
    });
}

// Makes what was read a palette picture the target can write. A true-colour picture is brought
// down to the target's colours; so is a palette picture with pixels less than half opaque at
// other indices than the transparent one, when one is asked for, since its own indices cannot
// keep that index for them alone. (A picture whose holes are at that index already, such as a
// PNG made from a texture, keeps its indices.)
void BringDown(const EntryRecipe& recipe, SourceRead& read) {
    const TrueColourOptions& options = recipe.colours;
    if (read.image && options.transparentIndex &&
        SeeThroughElsewhere(*read.image, read.paletteAlpha, *options.transparentIndex)) {
        read.trueColour = ExpandToRgba(*read.image, read.palette, read.paletteAlpha);
        read.image.reset();
        read.levels.clear();
        read.reason = read.trueColour ? read.reason : ReadError::OutOfMemory;
    }
    if (!read.trueColour) {
        return;
    }
    if (read.trueColour->width == 0 || read.trueColour->height == 0) {
        read.reason = ReadError::NoPixels;
    } else {
        read.image = recipe.to->fromTrueColour(*read.trueColour, read.palette, options);
        read.reason = read.image ? read.reason : ReadError::OutOfMemory;
    }
    read.trueColour.reset();
}

// Reads picture and palette of one input file, from one read of its bytes, as a palette picture
// for the target; the header fields of a source that has them (and its smaller levels, when
// asked for) come from the same bytes. A picture without pixels is no conversion: it fails like a
// file that cannot be read.
EntryStage ReadEntry(const EntryRecipe& recipe, const std::string& path, SourceRead& read) {
    read.wantLevels = recipe.levelFiles;
    ReadSourceFile(*recipe.from, path, read);
    if (read.paletteRead) {
        BringDown(recipe, read);
    }
    if (read.image && (read.image->width == 0 || read.image->height == 0)) {
        read.image.reset();
        read.reason = ReadError::NoPixels;
    }
    if (!read.image) {
        return EntryStage::NotFound;
    }
    return read.paletteRead ? EntryStage::Written : EntryStage::BadPalette;
}

EntryResult ConvertEntryKeepingPicture(const EntryRecipe& ownRecipe, const EntryTask& task) {
    EntryResult result;
    result.task = task;
    EntryRecipe recipe = ownRecipe;
    if (task.seeThrough) {
        recipe.colours.transparentIndex = 255;
    }
    try {
        SourceRead read;
        result.stage = ReadEntry(recipe, task.inputPath, read);
        result.reason = read.reason;
        result.image = std::move(read.image);
        if (result.stage != EntryStage::Written) {
            return result;
        }
        WriteOptions options;
        options.mips = recipe.mips;
        options.fullbright = recipe.colours.fullbright;
        options.transparentIndex = recipe.colours.transparentIndex;
        options.palette = recipe.colours.palette;
        // Only the rows of mip textures give header fields; every other source is written as
        // before.
        if (recipe.keepHeader && !recipe.to->wad) {
            options.fields = std::move(read.fields);
        }
        result.fields = options.fields;
        options.name = task.textureName;
        result.stage = EntryStage::NotWritten;
        // Level 0, then the levels after it when they are files of their own.
        for (std::size_t level = 0; level == 0 || level <= read.levels.size(); ++level) {
            const IndexedImage& picture = level == 0 ? *result.image : *read.levels[level - 1];
            const std::string path =
                level == 0 ? task.outputPath
                           : task.levelPaths + std::to_string(level) + "." + recipe.to->extension;
            const char* refusal =
                recipe.to->refusal ? recipe.to->refusal(picture, options) : nullptr;
            if (refusal != nullptr) {
                result.outputs.push_back({path, nullptr, std::nullopt, refusal});
                return result;
            }
            auto bytes = recipe.to->write(picture, read.palette, options);
            if (recipe.intoArchive) {
                result.outputs.push_back({path, nullptr, std::move(bytes), {}});
                if (!result.outputs.back().bytes) {
                    return result;
                }
                continue;
            }
            auto output = std::make_unique<ReplacingFile>(path);
            if (!bytes || !output->Write(*bytes) || !output->Finish()) {
                result.outputs.push_back({path, nullptr, std::nullopt, {}}); // named in the box
                return result;
            }
            result.outputs.push_back({path, std::move(output), std::nullopt, {}});
        }
        result.stage = EntryStage::Written;
    } catch (const std::bad_alloc&) {
        // Out of memory while reading is a file that could not be read; later, a failed write.
        result.outputs.clear();
        if (result.stage != EntryStage::NotWritten) {
            result.image.reset();
            result.stage = EntryStage::NotFound;
            result.reason = ReadError::OutOfMemory;
        }
    }
    return result;
}
} // namespace

EntryResult ConvertEntry(const EntryRecipe& recipe, const EntryTask& task) {
    // A run's threads are its only ones: --jobs N keeps to N cores.
    thread_local const bool alone = (QuantizeOnCallingThreadOnly(), true);
    static_cast<void>(alone);
    EntryResult result = ConvertEntryKeepingPicture(recipe, task);
    if (!task.keepsPicture) {
        result.image.reset();
    }
    return result;
}

} // namespace texelary
