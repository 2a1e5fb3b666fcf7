#include "output.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli.h"

namespace vfft_cli {

namespace {

// True when the path names nothing yet or a regular file (not through a link).
bool replaceable(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return errno == ENOENT;
    return S_ISREG(st.st_mode);
}

}  // namespace

OutputFile::OutputFile(const std::string& path) : path_(path) {
    if (path == "-") {
        file_ = stdout;
        return;
    }
    int fd = -1;
    if (replaceable(path)) {
        std::string pattern = path + ".tmp-XXXXXX";
        fd = mkstemp(pattern.data());
        if (fd >= 0) temp_ = pattern;
    } else {
        fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    }
    if (fd < 0) fail(errno);
    file_ = fdopen(fd, "w");
    if (!file_) {
        const int err = errno;
        close(fd);
        if (!temp_.empty()) std::remove(temp_.c_str());
        fail(err);
    }
}

OutputFile::~OutputFile() {
    if (file_ && file_ != stdout) std::fclose(file_);
    if (!temp_.empty() && !committed_) std::remove(temp_.c_str());
}

void OutputFile::fail(int err) const {
    dataError("cannot write " + (path_ == "-" ? "standard output" : "'" + path_ + "'") + ": " + std::strerror(err));
}

void OutputFile::write(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) fail(errno);
    bytes_ += text.size();
}

void OutputFile::finish() {
    if (std::fflush(file_) != 0 || std::ferror(file_)) fail(errno);
    if (file_ == stdout) return;
    std::FILE* f = file_;
    file_ = nullptr;
    if (std::fclose(f) != 0) fail(errno);
}

void OutputFile::commit() {
    if (temp_.empty()) return;
    // mkstemp creates the file for its owner only; give it the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    chmod(temp_.c_str(), 0666 & ~mask);
    if (std::rename(temp_.c_str(), path_.c_str()) != 0) fail(errno);
    committed_ = true;
}

void finishStandardOutput() {
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        dataError(std::string("cannot write standard output: ") + std::strerror(errno));
}

Progress::Progress(const std::string& label, uint64_t total, bool quiet)
    : label_(label), total_(total), enabled_(!quiet && isatty(STDERR_FILENO)),
      start_(std::chrono::steady_clock::now()), last_(start_) {}

Progress::~Progress() {
    if (shown_) std::fprintf(stderr, "\r%*s\r", int(label_.size() + 50), "");
}

void Progress::update(uint64_t done) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < std::chrono::milliseconds(500) || (shown_ && now - last_ < std::chrono::milliseconds(100)))
        return;
    last_ = now;
    shown_ = true;
    if (total_)
        std::fprintf(stderr, "\r%s: frame %llu of %llu", label_.c_str(), (unsigned long long)done,
                     (unsigned long long)total_);
    else
        std::fprintf(stderr, "\r%s: frame %llu", label_.c_str(), (unsigned long long)done);
    std::fflush(stderr);
}

}  // namespace vfft_cli
