#include "convert/ConversionRun.h"

#include "texture/ReadError.h"

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <system_error>

namespace texelary {

const char* const kMessageCaption = "Texelary";

namespace {

namespace fs = std::filesystem;

constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

// Reads picture and palette of one input file, from one read of its bytes. Returns false after
// showing the box for a failed entry, with the reason; sets `cancelled` when the user ended the
// run in the not-found box. With `fields` given, the header fields of a source that has them are
// taken from the same bytes. A picture without pixels is no conversion: it fails like a file that
// cannot be read.
bool ReadEntry(const SourceFormatRow& format, const std::string& path, RunState& state,
               Palette& palette, std::optional<HeaderFields>* fields, RunFeedback& feedback,
               bool& cancelled) {
    SourceRead read;
    const auto bytes = ReadInputFile(path, &read.reason);
    if (bytes && bytes->empty()) {
        read.reason = ReadError::Empty;
    } else if (bytes) {
        format.read(*bytes, read);
    }
    if (read.image && (read.image->width == 0 || read.image->height == 0)) {
        read.image.reset();
        read.reason = ReadError::NoPixels;
    }
    state.Image = std::move(read.image);
    if (!state.Image) {
        cancelled = feedback.ShowMessage("Could'nt find file " + Quoted(path), kMessageCaption,
                                         BoxButtons::OkCancel, BoxIcon::Stop,
                                         DescribeReadError(read.reason)) == BoxAnswer::Cancel;
        return false;
    }
    if (!read.paletteRead) {
        feedback.ShowMessage("File " + Quoted(path) + format.paletteFailure, kMessageCaption,
                             BoxButtons::Ok, BoxIcon::Stop, DescribeReadError(read.reason));
        return false;
    }
    palette = read.palette;
    if (fields != nullptr) {
        *fields = std::move(read.fields);
    }
    return true;
}

// What is known of a failed write without asking the writer.
std::string WhyNotWritten(const std::string& path) {
    std::error_code ignored;
    const fs::path output(path);
    const fs::path directory = output.parent_path().empty() ? fs::path(".") : output.parent_path();
    if (!fs::is_directory(directory, ignored)) {
        return "no such directory";
    }
    if (fs::exists(output, ignored) && !fs::is_regular_file(output, ignored)) {
        return "something other than a file has that name";
    }
    return {};
}

// The files a run must not write over: each input of the list (its own and the others', which
// the user still has as the only copy), and each output an earlier entry of the run has written
// from another input (the same name listed twice gives the same file twice, which loses nothing).
// Files are told apart by their paths with the directories resolved, so that "./a.wal", "a.wal"
// and a directory reached through a link all name one file; the entry's own input is also
// compared as a file, which catches every link and other spelling of it.
class OutputGuard {
public:
    explicit OutputGuard(const RunSettings& settings) {
        for (std::size_t i = 0; i < settings.RunFiles->Count(); ++i) {
            m_inputs.insert(Key(JoinPath(settings.RunInputDir, settings.RunFiles->Entry(i))));
        }
    }

    // Why `output` may not be written for the entry read from `input`; empty when it may.
    std::string Refusal(const std::string& input, const std::string& output) {
        std::error_code error;
        const std::string key = Key(output);
        if (fs::equivalent(fs::path(input), fs::path(output), error) && !error) {
            return "the output is the input file itself";
        }
        const auto written = m_written.find(key);
        if (written != m_written.end() && written->second != Key(input)) {
            return "an earlier file of this run was written there";
        }
        if (m_inputs.count(key) != 0) {
            return "that file is the input of another entry";
        }
        return {};
    }

    void Written(const std::string& input, const std::string& output) {
        m_written.emplace(Key(output), Key(input));
    }

private:
    std::string Key(const std::string& path) {
        const fs::path file(path);
        std::error_code error;
        if (fs::is_symlink(fs::symlink_status(file, error))) {
            const fs::path target = fs::weakly_canonical(file, error);
            if (!error) {
                return target.string();
            }
        }
        const std::string parent = file.parent_path().string();
        auto known = m_directories.find(parent);
        if (known == m_directories.end()) {
            fs::path resolved =
                fs::weakly_canonical(parent.empty() ? fs::path(".") : fs::path(parent), error);
            known = m_directories.emplace(parent, error ? fs::path(parent) : resolved).first;
        }
        return (known->second / file.filename()).lexically_normal().string();
    }

    std::set<std::string> m_inputs;
    std::map<std::string, std::string> m_written;  // output, and the input it was made from
    std::map<std::string, fs::path> m_directories; // resolved once per directory text
};

} // namespace

void RunFeedback::ShowNotice(const std::string& text) {
    ShowMessage(text, kMessageCaption, BoxButtons::Ok, BoxIcon::Information, {});
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
    const bool formatsKnown = SourceFormatAt(IndexOf(settings.RunConvFrom)) &&
                              TargetFormatAt(IndexOf(settings.RunConvTo));
    if (settings.RunFiles == nullptr || settings.RunFiles->Count() == 0 || !formatsKnown) {
        state.Aborted = 1;
        return;
    }
    const SourceFormatRow& from = RowOf(settings.RunConvFrom);
    const TargetFormatRow& to = RowOf(settings.RunConvTo);
    const std::string extension = to.extension;
    Palette palette{};
    OutputGuard guard(settings);

    // The list's length is read again before every entry: it is the caller's own list.
    for (std::size_t i = 0; i < settings.RunFiles->Count(); ++i) {
        if (feedback.CancelRequested()) {
            state.Aborted = 1;
            return;
        }
        const std::string entry = settings.RunFiles->Entry(i);
        feedback.EntryStarting(i, settings.RunFiles->Count(), entry);
        const std::string inputPath = JoinPath(settings.RunInputDir, entry);
        const std::string outputPath =
            JoinPath(settings.RunOutputDir, ReplaceExtension(entry, extension));

        state.Image.reset();
        bool cancelled = false;
        WriteOptions options;
        options.mips = settings.RunMips;
        // Only the rows of mip textures give header fields; every other source is written as
        // before.
        bool good =
            ReadEntry(from, inputPath, state, palette,
                      settings.RunKeepHeader ? &options.fields : nullptr, feedback, cancelled);
        if (cancelled) {
            ++state.Failed;
            state.Aborted = 1;
            return;
        }
        std::string refusal;
        if (good) {
            refusal = guard.Refusal(inputPath, outputPath);
        }
        if (good && refusal.empty() && to.write(*state.Image, palette, outputPath, options)) {
            guard.Written(inputPath, outputPath);
        } else if (good) {
            good = false;
            const std::string why = refusal.empty() ? WhyNotWritten(outputPath) : refusal;
            if (feedback.ShowMessage("Error writing " + Quoted(outputPath), kMessageCaption,
                                     BoxButtons::OkCancel, BoxIcon::Stop,
                                     why) == BoxAnswer::Cancel) {
                ++state.Failed;
                state.Aborted = 1;
                return;
            }
        }
        if (good && options.fields && !NamesFit(*options.fields, kTextureNameFieldSize)) {
            feedback.ShowNotice("Texture name cut to fit in " + Quoted(outputPath));
        }
        ++(good ? state.Converted : state.Failed);

        // The running sum in single precision can fall short of 100 (six entries end at 99.99),
        // so the bar shows 100 outright once the last entry is done.
        const bool last = i + 1 == settings.RunFiles->Count();
        feedback.SetProgress(last ? 100 : static_cast<int>(state.Progress));
        state.Progress = state.Step + state.Progress;
    }
    state.Done = 1;
}

} // namespace texelary
