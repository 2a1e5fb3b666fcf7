#include "output.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "cli.h"

namespace vfft_cli {

AtomicFile::AtomicFile(const std::string& path) : path_(path) {
    if (path == "-") {
        file_ = stdout;
        return;
    }
    std::string pattern = path + ".tmp-XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) dataError("cannot write '" + path + "': " + std::strerror(errno));
    temp_ = pattern;
    file_ = fdopen(fd, "w");
    if (!file_) {
        const int err = errno;
        close(fd);
        std::remove(temp_.c_str());
        dataError("cannot write '" + path + "': " + std::strerror(err));
    }
}

AtomicFile::~AtomicFile() {
    if (temp_.empty()) return;
    if (file_) std::fclose(file_);
    if (!committed_) std::remove(temp_.c_str());
}

void AtomicFile::write(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size())
        dataError("cannot write '" + path_ + "': " + std::strerror(errno));
}

void AtomicFile::finish() {
    if (std::fflush(file_) != 0 || std::ferror(file_))
        dataError("cannot write '" + path_ + "': " + std::strerror(errno));
    if (temp_.empty()) return;
    std::FILE* f = file_;
    file_ = nullptr;
    if (std::fclose(f) != 0) dataError("cannot write '" + path_ + "': " + std::strerror(errno));
}

void AtomicFile::commit() {
    if (temp_.empty()) return;
    // mkstemp creates the file for its owner only; give it the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    chmod(temp_.c_str(), 0666 & ~mask);
    if (std::rename(temp_.c_str(), path_.c_str()) != 0)
        dataError("cannot write '" + path_ + "': " + std::strerror(errno));
    committed_ = true;
}

Progress::Progress(const std::string& label, size_t total, bool quiet)
    : label_(label), total_(total), enabled_(!quiet && isatty(STDERR_FILENO)),
      start_(std::chrono::steady_clock::now()), last_(start_) {}

Progress::~Progress() {
    if (shown_) std::fprintf(stderr, "\r%*s\r", int(label_.size() + 40), "");
}

void Progress::update(size_t done) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < std::chrono::milliseconds(500) || (shown_ && now - last_ < std::chrono::milliseconds(100)))
        return;
    last_ = now;
    shown_ = true;
    std::fprintf(stderr, "\r%s: frame %zu of %zu", label_.c_str(), done, total_);
    std::fflush(stderr);
}

}  // namespace vfft_cli
