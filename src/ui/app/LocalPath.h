#pragma once

// The names the windows hand to the core and take from it. The core's names are UTF-8 on every
// platform; a window's are QStrings.

#include <QString>
#include <string>

namespace texelary {

std::string LocalPath(const QString& path);

// A name that is not UTF-8 comes from a project file of an older version, written in the
// system's 8-bit code page (the ANSI code page on Windows), and is read as such.
QString FromLocalPath(const std::string& path);

} // namespace texelary
