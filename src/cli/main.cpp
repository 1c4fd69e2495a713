// texelary-convert: runs a saved project, or a list of files given on the command line, through
// the same conversion run as the windowed program, for build scripts and batch jobs.

#include "base/Failure.h"
#include "cli/ConvertCommand.h"
#include "cli/Utf8Arguments.h"

#include <exception>
#include <iostream>
#include <span>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const texelary::Utf8Console console;
    try {
        const std::vector<std::string> arguments = texelary::Utf8Arguments(argc, argv);
        const std::span<const std::string> all(arguments);
        return texelary::RunConvertCommand(all.empty() ? all : all.subspan(1));
    } catch (...) {
        std::cerr << "texelary-convert: " << texelary::DescribeFailure(std::current_exception())
                  << '\n';
        return 1;
    }
}
