#include "convert/ConvertEntry.h"

#include "archives/ArchiveInput.h"
#include "colour/Quantize.h"
#include "formats/Sidecar.h"
#include "image/RgbaImage.h"

#include <algorithm>
#include <array>
#include <new>

namespace texelary {

namespace {

// Whether a pixel less than half opaque has another index than `transparent`.
bool SeeThroughElsewhere(const IndexedImage& image, const std::array<std::uint8_t, 256>& alpha,
                         std::uint8_t transparent) {
    // Most palettes are opaque throughout: then no pixel can be, whatever its index.
    bool anySeeThrough = false;
    for (std::size_t entry = 0; entry < alpha.size(); ++entry) {
        anySeeThrough |= alpha[entry] < OpaqueAlpha && entry != transparent;
    }
    if (!anySeeThrough) {
        return false;
    }
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
void BringDown(const EntryRecipe& recipe, const TrueColourOptions& options, SourceRead& read) {
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

// Whether the run writes true colour: to a target of true colour alone, or from a texture of true
// colour to a target that can keep it.
bool WritesTrueColour(const EntryRecipe& recipe) {
    return recipe.to->writeTrueColour && (!recipe.to->write || recipe.from->trueColourTexture);
}

// Makes what was read a true-colour picture, for a target that writes one: a palette picture
// takes its colours, each pixel as opaque as its entry.
void KeepTrueColour(SourceRead& read) {
    read.levels.clear(); // a palette picture's levels are written by palette targets alone
    if (!read.image) {
        return;
    }
    read.trueColour = read.image->width == 0 || read.image->height == 0
                          ? std::make_unique<RgbaImage>()
                          : ExpandToRgba(*read.image, read.palette, read.paletteAlpha);
    read.image.reset();
    read.reason = read.trueColour ? read.reason : ReadError::OutOfMemory;
}

// The fields of the .wal_json file beside a picture source, into `read`: none when there is no
// such file; one that cannot be read or holds no fields fails the entry.
bool ReadSidecar(const std::string& path, SourceRead& read) {
    ReadError error = ReadError::None;
    const auto bytes = ReadInput(SidecarPath(path), &error);
    if (!bytes) {
        if (error == ReadError::NoSuchFile) {
            return true;
        }
        read.reason = error;
        return false;
    }
    read.fields = ParseSidecar(*bytes, read.reasonDetail);
    read.reason = read.fields ? read.reason : ReadError::BadSidecar;
    return read.fields.has_value();
}

// The .wal_json file of a PNG written from a source with header fields, beside it (or beside it
// in the archive), as one more output of the entry. False when it could not be made.
bool AddSidecar(bool intoArchive, const EntryTask& task, std::int32_t width, std::int32_t height,
                const HeaderFields& fields, std::vector<EntryOutput>& outputs) {
    auto bytes = EncodeSidecar(width, height, fields);
    const std::string path = SidecarPath(task.outputPath);
    if (intoArchive) {
        outputs.push_back({path, nullptr, std::move(bytes), {}});
        return true;
    }
    auto output = std::make_unique<ReplacingFile>(path);
    if (!output->Write(bytes) || !output->Finish()) {
        outputs.push_back({path, nullptr, std::nullopt, DescribeWriteError(output->Error())});
        return false;
    }
    outputs.push_back({path, std::move(output), std::nullopt, {}});
    return true;
}

// Reads picture and palette of one input file, from one read of its bytes, as a palette picture
// for the target; the header fields of a source that has them (and its smaller levels, when
// asked for) come from the same bytes; those of a picture source from the .wal_json file beside
// it, when one is asked for (`besideFields` then tells that they came from there). A picture
// without pixels is no conversion: it fails like a file that cannot be read.
EntryStage ReadEntry(const EntryRecipe& recipe, const TrueColourOptions& colours,
                     const std::string& path, SourceRead& read, bool& besideFields) {
    read.wantLevels = recipe.levelFiles;
    ReadSourceFile(*recipe.from, path, read);
    const bool picture = read.image || read.trueColour;
    besideFields = picture && !read.fields && (recipe.options.sidecar || recipe.options.keepHeader);
    if (besideFields && !ReadSidecar(path, read)) {
        read.image.reset();
        read.trueColour.reset();
        return EntryStage::NotFound;
    }
    if (read.paletteRead) {
        if (WritesTrueColour(recipe)) {
            KeepTrueColour(read);
        } else {
            BringDown(recipe, colours, read);
        }
    }
    if ((read.image && (read.image->width == 0 || read.image->height == 0)) ||
        (read.trueColour && (read.trueColour->width == 0 || read.trueColour->height == 0))) {
        read.image.reset();
        read.trueColour.reset();
        read.reason = ReadError::NoPixels;
    }
    if (!read.image && !read.trueColour) {
        return EntryStage::NotFound;
    }
    return read.paletteRead ? EntryStage::Written : EntryStage::BadPalette;
}

// One level of what was read: a palette picture in `palette`'s colours, or true colour.
struct LevelPicture {
    const IndexedImage* indexed = nullptr;
    const RgbaImage* trueColour = nullptr;
    const Palette* palette = nullptr;
};

// The output file's bytes for `picture`, or why there are none.
std::optional<std::vector<std::uint8_t>> Encode(const TargetFormatRow& to,
                                                const LevelPicture& picture,
                                                const WriteOptions& options, const char*& why) {
    const auto refusal = to.trueColourRefusal;
    why = picture.indexed ? (to.refusal ? to.refusal(*picture.indexed, options) : nullptr)
                          : (refusal ? refusal(*picture.trueColour, options) : nullptr);
    if (why != nullptr) {
        return std::nullopt;
    }
    auto bytes = picture.indexed ? to.write(*picture.indexed, *picture.palette, options)
                                 : to.writeTrueColour(*picture.trueColour, options);
    // The picture fit the format (its refusal said nothing): memory ran out.
    why = bytes ? nullptr : DescribeWriteError(WriteError::OutOfMemory);
    return bytes;
}

// One file of the entry written to `path` (or kept as bytes for the archive), as one more of
// `outputs`. False, with the reason in that output, when it could not be made.
bool WriteOutput(const EntryRecipe& recipe, const LevelPicture& picture,
                 const WriteOptions& options, const std::string& path,
                 std::vector<EntryOutput>& outputs) {
    const char* why = nullptr;
    auto bytes = Encode(*recipe.to, picture, options, why);
    if (!bytes) {
        outputs.push_back({path, nullptr, std::nullopt, why});
        return false;
    }
    if (recipe.intoArchive) {
        outputs.push_back({path, nullptr, std::move(bytes), {}});
        return true;
    }
    auto output = std::make_unique<ReplacingFile>(path);
    if (!output->Write(*bytes) || !output->Finish()) {
        outputs.push_back({path, nullptr, std::nullopt, DescribeWriteError(output->Error())});
        return false;
    }
    outputs.push_back({path, std::move(output), std::nullopt, {}});
    return true;
}

EntryResult ConvertEntryKeepingPicture(const EntryRecipe& recipe, const EntryTask& task) {
    EntryResult result;
    result.task = task;
    WriteOptions options = recipe.options.write;
    if (task.seeThrough) {
        options.transparentIndex = 255;
    } else if (!options.transparentIndex) {
        options.transparentIndex = recipe.to->seeThroughIndex;
    }
    try {
        SourceRead read;
        bool besideFields = false;
        result.stage = ReadEntry(recipe, options, task.inputPath, read, besideFields);
        result.reason = read.reason;
        result.reasonDetail = read.reasonDetail;
        result.image = std::move(read.image);
        if (result.stage != EntryStage::Written) {
            return result;
        }
        // Only the rows of mip textures give header fields; every other source is written as
        // before.
        if (!recipe.to->wad && (recipe.options.keepHeader || besideFields)) {
            options.fields = read.fields;
        }
        result.fields = options.fields;
        options.name = task.textureName;
        result.stage = EntryStage::NotWritten;
        // Level 0, then the levels after it when they are files of their own.
        const bool indexed = result.image != nullptr;
        const std::size_t levels = indexed ? read.levels.size() : read.trueColourLevels.size();
        for (std::size_t level = 0; level == 0 || level <= levels; ++level) {
            LevelPicture picture{nullptr, nullptr, &read.palette};
            if (indexed) {
                picture.indexed = level == 0 ? result.image.get() : read.levels[level - 1].get();
            } else {
                picture.trueColour =
                    level == 0 ? read.trueColour.get() : read.trueColourLevels[level - 1].get();
            }
            const std::string path =
                level == 0 ? task.outputPath
                           : task.levelPaths + std::to_string(level) + "." + recipe.to->extension;
            if (!WriteOutput(recipe, picture, options, path, result.outputs)) {
                return result;
            }
        }
        if (recipe.options.sidecar && read.fields && recipe.to->format == TargetFormat::Png) {
            const bool palette = result.image != nullptr;
            const std::int32_t width = palette ? result.image->width : read.trueColour->width;
            const std::int32_t height = palette ? result.image->height : read.trueColour->height;
            if (!AddSidecar(recipe.intoArchive, task, width, height, *read.fields,
                            result.outputs)) {
                return result;
            }
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
