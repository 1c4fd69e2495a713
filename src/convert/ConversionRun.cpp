#include "convert/ConversionRun.h"

#include "texture/BmpFormat.h"
#include "texture/M8Format.h"
#include "texture/WalFormat.h"

#include <filesystem>
#include <optional>

namespace texelary {

const std::array<const char*, kTargetFormatCount> OutputExtensions = {"m8", "wal"};
const char* const kMessageCaption = "Texelary";

namespace {

constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

// Reads picture and palette of one input file. Returns false after showing the box for a failed
// entry; sets `cancelled` when the user ended the run in the not-found box.
bool ReadEntry(SourceFormat format, const std::string& path, RunState& state, Palette& palette,
               RunFeedback& feedback, bool& cancelled) {
    switch (format) {
    case SourceFormat::Bmp:
        state.Image = ReadBmpImage(path);
        break;
    case SourceFormat::M8:
        state.Image = ReadM8Image(path);
        break;
    case SourceFormat::Wal:
        state.Image = ReadWalImage(path);
        break;
    }
    if (!state.Image) {
        cancelled = feedback.ShowMessage("Could'nt find file " + Quoted(path), kMessageCaption,
                                         BoxButtons::OkCancel, BoxIcon::Stop) == BoxAnswer::Cancel;
        return false;
    }
    bool paletteRead = false;
    switch (format) {
    case SourceFormat::Bmp:
        paletteRead = ReadBmpPalette(palette, path);
        if (!paletteRead) {
            feedback.ShowMessage("File " + Quoted(path) +
                                     " has an invalid color palette. Must be 256 colors",
                                 kMessageCaption, BoxButtons::Ok, BoxIcon::Stop);
        }
        return paletteRead;
    case SourceFormat::M8:
        paletteRead = ReadM8Palette(palette, path);
        break;
    case SourceFormat::Wal:
        paletteRead = ReadWalPalette(palette);
        break;
    }
    if (!paletteRead) {
        feedback.ShowMessage("File " + Quoted(path) + " couldn't read palette.", kMessageCaption,
                             BoxButtons::Ok, BoxIcon::Stop);
    }
    return paletteRead;
}

// The header fields a .m8 or .wal source carries; none for other sources, or when the file can
// no longer be read.
std::optional<HeaderFields> ReadSourceFields(SourceFormat format, const std::string& path) {
    switch (format) {
    case SourceFormat::M8:
        return ReadM8Fields(path);
    case SourceFormat::Wal:
        return ReadWalFields(path);
    case SourceFormat::Bmp:
        break;
    }
    return std::nullopt;
}

bool WriteEntry(TargetFormat format, IndexedImage& image, const Palette& palette,
                const std::string& path, const WriteOptions& options) {
    switch (format) {
    case TargetFormat::M8:
        return WriteM8(image, palette, path, options);
    case TargetFormat::Wal:
        return WriteWal(image, palette, path, options);
    }
    return false;
}

} // namespace

void RunFeedback::ShowNotice(const std::string& text) {
    ShowMessage(text, kMessageCaption, BoxButtons::Ok, BoxIcon::Information);
}

void CopyBounded(char* field, const char* text, std::size_t size) {
    if (size == 0) {
        return;
    }
    std::size_t i = 0;
    for (; i + 1 < size && text[i] != '\0'; ++i) {
        field[i] = text[i];
    }
    field[i] = '\0';
    field[size - 1] = '\0';
}

std::string ReplaceExtension(const std::string& name, const std::string& extension) {
    const auto dot = name.find('.');
    if (dot == std::string::npos) {
        return name + "." + extension;
    }
    return name.substr(0, dot + 1) + extension;
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    std::string path = directory;
    if (path.empty() || path.back() != kSeparator) {
        path += kSeparator;
    }
    return path + name;
}

void PrepareProgress(RunState& state, std::size_t entryCount) {
    if (entryCount == 0) {
        return;
    }
    state.Step = 100.0f / static_cast<float>(entryCount);
    state.Progress = state.Step;
}

void RunConversion(const RunSettings& settings, RunState& state, RunFeedback& feedback) {
    const bool formatsKnown = settings.RunConvFrom >= 0 &&
                              settings.RunConvFrom < kSourceFormatCount &&
                              settings.RunConvTo >= 0 && settings.RunConvTo < kTargetFormatCount;
    if (settings.RunFiles == nullptr || settings.RunFiles->Count() == 0 || !formatsKnown) {
        state.Aborted = 1;
        return;
    }
    const auto from = static_cast<SourceFormat>(settings.RunConvFrom);
    const auto to = static_cast<TargetFormat>(settings.RunConvTo);
    const std::string extension = OutputExtensions[static_cast<std::size_t>(settings.RunConvTo)];
    Palette palette{};

    // The list's length is read again before every entry: it is the caller's own list.
    for (std::size_t i = 0; i < settings.RunFiles->Count(); ++i) {
        if (feedback.CancelRequested()) {
            state.Aborted = 1;
            return;
        }
        const std::string entry = settings.RunFiles->Entry(i);
        const std::string inputPath = JoinPath(settings.RunInputDir, entry);
        const std::string outputPath =
            JoinPath(settings.RunOutputDir, ReplaceExtension(entry, extension));

        state.Image.reset();
        bool cancelled = false;
        bool good = ReadEntry(from, inputPath, state, palette, feedback, cancelled);
        if (cancelled) {
            ++state.Failed;
            state.Aborted = 1;
            return;
        }
        WriteOptions options;
        options.mips = settings.RunMips;
        if (good && settings.RunKeepHeader && from != SourceFormat::Bmp) {
            options.fields = ReadSourceFields(from, inputPath);
            if (!options.fields) { // the file went away since its picture was read
                good = false;
                if (feedback.ShowMessage("Could'nt find file " + Quoted(inputPath), kMessageCaption,
                                         BoxButtons::OkCancel,
                                         BoxIcon::Stop) == BoxAnswer::Cancel) {
                    ++state.Failed;
                    state.Aborted = 1;
                    return;
                }
            }
        }
        if (good && !WriteEntry(to, *state.Image, palette, outputPath, options)) {
            good = false;
            if (feedback.ShowMessage("Error writing " + Quoted(outputPath), kMessageCaption,
                                     BoxButtons::OkCancel, BoxIcon::Stop) == BoxAnswer::Cancel) {
                ++state.Failed;
                state.Aborted = 1;
                return;
            }
        }
        if (good && options.fields && !NamesFit(*options.fields, kTextureNameFieldSize)) {
            feedback.ShowNotice("Texture name cut to fit in " + Quoted(outputPath));
        }
        ++(good ? state.Converted : state.Failed);

        feedback.SetProgress(static_cast<int>(state.Progress));
        state.Progress = state.Step + state.Progress;
    }
    state.Done = 1;
}

} // namespace texelary
