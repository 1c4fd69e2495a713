#pragma once

// The program's own settings, kept between runs of the program in the user's configuration
// (QSettings), never in project files: they say how this user wants textures written, whatever
// the project.

#include "texture/WriteOptions.h"

namespace texelary {

struct ProgramSettings {
    bool keepHeader = false; // copy names, flags, contents and value of .m8 and .wal sources
    MipFilter mips = MipFilter::Point;
};

// The saved settings; the defaults where none were saved or a stored value is unknown.
ProgramSettings LoadProgramSettings();
void SaveProgramSettings(const ProgramSettings& settings);

} // namespace texelary
