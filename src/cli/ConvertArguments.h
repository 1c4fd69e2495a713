#pragma once

// The command line of texelary-convert: its options, one row each, read by one loop and then
// checked against each other in one place, and the help text made from the same rows.

#include "convert/ConversionRun.h"
#include "formats/Formats.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace texelary {

// What the command line says, as given: nothing here has been checked against anything else.
struct ConvertArguments {
    std::optional<SourceFormat> from;
    std::optional<TargetFormat> to;
    std::string inputDir = ".";
    std::string outputDir = ".";
    bool inputGiven = false;
    bool outputGiven = false;
    bool recursive = false;
    bool stopOnError = false;
    unsigned jobs = DefaultJobs();
    bool jobsGiven = false;
    bool keepHeader = false;
    bool sidecar = false;
    bool longPakEntries = false;   // --pak-entries 72
    std::optional<MipFilter> mips; // none: the project's, or point sampling
    bool dither = false;
    std::optional<std::uint8_t> transparentIndex;
    bool allLevels = false;
    bool fullbright = false;
    std::string paletteFile; // empty: the built-in palettes
    std::string texturesOf;  // --textures-of: a map whose named textures are the files
    bool info = false;
    bool json = false;
    std::optional<std::string> set;     // --set's edits, as given
    std::optional<std::string> rename;  // --rename's OLD=NEW pairs, as given
    bool remove = false;                // --delete
    std::optional<std::string> add;     // --add's archive, and folder of it
    std::optional<std::string> extract; // --extract's folder
    bool help = false;                  // the reading stopped at --help
    bool version = false;               // the reading stopped at --version
    std::vector<std::string> operands;  // the files, folders or project file, in order
};

// Reads the arguments after the program's name, left to right, into `arguments`. Stops at the
// first option that is unknown or lacks or refuses its value, giving its message, and at --help
// or --version, so that nothing after them can fail.
std::optional<std::string> ParseArguments(std::span<const std::string> args,
                                          ConvertArguments& arguments);

// The message of the first rule between the options that the arguments break, when one is.
std::optional<std::string> CheckArguments(const ConvertArguments& arguments);

// The --help text: one line per form of the command, as manual page makers read it, then one
// entry per option.
std::string Usage();

} // namespace texelary
