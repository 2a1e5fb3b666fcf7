// Output files, and the progress line.
#ifndef VFFT_TOOLS_OUTPUT_H
#define VFFT_TOOLS_OUTPUT_H

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace vfft_cli {

// An output file. A new path or a regular file is written to a temporary
// file in the target's directory and renamed onto the target by commit, so
// it appears whole or not at all; destroyed without commit, the temporary is
// removed. Anything else at the path (a FIFO, a device, a symbolic link) is
// opened and written in place, and stays what it is. The path "-" writes to
// standard output.
class OutputFile {
public:
    explicit OutputFile(const std::string& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(const std::string& text);
    void line(const std::string& text) { write(text + "\n"); }
    // Flushes and closes the file, reporting any write error; commit then
    // only renames, so several files can be finished before any appears.
    void finish();
    void commit();
    const std::string& path() const { return path_; }
    uint64_t bytes() const { return bytes_; }

private:
    [[noreturn]] void fail(int err) const;

    std::string path_;
    std::string temp_;  // empty when written in place
    std::FILE* file_ = nullptr;
    uint64_t bytes_ = 0;
    bool committed_ = false;
};

// Flushes standard output; a failed write to it (a full disk, a closed pipe)
// ends the command with exit code 1.
void finishStandardOutput();

// "vfft run: frame 12 of 400" on standard error, rewritten in place, when
// standard error is a terminal, the work has taken more than half a second,
// and the user did not ask for quiet. A total of 0 stands for unknown.
class Progress {
public:
    Progress(const std::string& label, uint64_t total, bool quiet);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    void update(uint64_t done);

private:
    std::string label_;
    uint64_t total_;
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_, last_;
};

}  // namespace vfft_cli

#endif
