#pragma once

// texelary-convert speaks UTF-8 on every platform: the names it is given and the lines it prints.

#include <string>
#include <vector>

namespace texelary {

// The program's arguments, its name first, as UTF-8. On Windows they are taken from the UTF-16
// command line: main's own arguments are in the ANSI code page, which turns a name such as
// "壁.bmp" into "?.bmp". Elsewhere they are main's, as they are.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// While one exists, a Windows console shows the program's output as UTF-8; the console's code
// page is restored when it ends. Elsewhere it does nothing.
class Utf8Console {
public:
    Utf8Console();
    ~Utf8Console();
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    [[maybe_unused]] unsigned m_previousCodePage = 0;
};

} // namespace texelary
