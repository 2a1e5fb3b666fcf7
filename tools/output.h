// Output files that appear whole or not at all, and the progress line.
#ifndef VFFT_TOOLS_OUTPUT_H
#define VFFT_TOOLS_OUTPUT_H

#include <chrono>
#include <cstdio>
#include <string>

namespace vfft_cli {

// Written to a temporary file in the target's directory and renamed onto the
// target by commit; destroyed without commit, the temporary is removed. The
// path "-" writes to standard output directly.
class AtomicFile {
public:
    explicit AtomicFile(const std::string& path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    void write(const std::string& text);
    void line(const std::string& text) { write(text + "\n"); }
    // Flushes and closes the temporary, reporting any write error; commit
    // then only renames, so several files can be finished before any appears.
    void finish();
    void commit();
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string temp_;
    std::FILE* file_ = nullptr;
    bool committed_ = false;
};

// "vfft run: frame 12 of 400" on standard error, rewritten in place, when
// standard error is a terminal, the work has taken more than half a second,
// and the user did not ask for quiet.
class Progress {
public:
    Progress(const std::string& label, size_t total, bool quiet);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    void update(size_t done);

private:
    std::string label_;
    size_t total_;
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_, last_;
};

}  // namespace vfft_cli

#endif
