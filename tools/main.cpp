// vfft: the command-line program of the vfft core model. Runs the
// demonstration transform, transforms sample files, and writes golden-vector
// sets for HDL test benches; it uses the library only through its C interface.
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "output.h"
#include "vfft_v8_0_ext.h"

namespace {

const char* const kHelp =
    "usage: vfft [COMMAND] [options]\n"
    "\n"
    "Bit-accurate model of the vfft FFT core.\n"
    "\n"
    "Commands:\n"
    "  demo      one transform of a built-in five-tone frame (the default command)\n"
    "  run       transform frames from a sample file\n"
    "  vectors   write a golden-vector set for an HDL test bench\n"
    "\n"
    "  vfft COMMAND --help    options of a command\n"
    "  vfft --version        program and library version\n"
    "\n"
    "Without a command, the arguments (NAME=VALUE generics and core options)\n"
    "go to demo. Exit codes: 0 success, 1 bad data, files or library call,\n"
    "2 bad command line.\n";

int command(const std::vector<std::string>& args) {
    using namespace vfft_cli;
    if (args.empty()) return demoCommand(args);
    const std::string first = args[0];
    if (first == "--help" || first == "-h" || first == "help") {
        std::printf("%s", kHelp);
        return 0;
    }
    if (first == "--version") {
        std::printf("vfft %s\nlibrary vfft_v8_0 %s, %s datapath\n", VFFT_VERSION, velmor_ip_vfft_v8_0_version(),
                    velmor_ip_vfft_v8_0_datapath());
        return 0;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (first == "demo") return demoCommand(rest);
    if (first == "run") return runCommand(rest);
    if (first == "vectors") return vectorsCommand(rest);
    if (first.compare(0, 1, "-") == 0 || first.compare(0, 2, "C_") == 0) return demoCommand(args);
    usageError("unknown command '" + first + "'; expected demo, run or vectors (see vfft --help)");
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vfft_cli;
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        const int code = command(args);
        finishStandardOutput();
        return code;
    } catch (const Failure& f) {
        if (*f.what()) std::fprintf(stderr, "vfft: %s\n", f.what());
        return f.exitCode();
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "vfft: out of memory\n");
        return kExitFailure;
    }
}
