// The vfft commands; each takes the arguments after its name and returns the
// exit code, or throws Failure.
#ifndef VFFT_TOOLS_COMMANDS_H
#define VFFT_TOOLS_COMMANDS_H

#include <string>
#include <vector>

namespace vfft_cli {

int demoCommand(const std::vector<std::string>& args);
int runCommand(const std::vector<std::string>& args);
int vectorsCommand(const std::vector<std::string>& args);

}  // namespace vfft_cli

#endif
