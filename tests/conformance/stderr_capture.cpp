#include "stderr_capture.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <system_error>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

namespace conformance {

namespace {

[[noreturn]] void fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

#if defined(__SANITIZE_ADDRESS__)
// A sanitizer report goes to the real standard error, and the activity that
// was running follows it, since the report itself cannot name the case.
int reportFd = -1;
char activity[256] = "";

void onSanitizerDeath()
{
    const ssize_t written = write(reportFd, activity, std::strlen(activity));
    static_cast<void>(written);
}
#endif

}  // namespace

StderrCapture::StderrCapture()
{
    char name[] = "/tmp/vfft_conformance_XXXXXX";
    sink_ = mkstemp(name);
    if (sink_ < 0) fail("cannot create a temporary file for standard error");
    unlink(name);
    saved_ = dup(2);
    if (saved_ < 0) fail("cannot duplicate standard error");
#if defined(__SANITIZE_ADDRESS__)
    reportFd = saved_;
    __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(saved_)));
    __sanitizer_set_death_callback(onSanitizerDeath);
#endif
}

StderrCapture::~StderrCapture()
{
    close(saved_);
    close(sink_);
}

void StderrCapture::setActivity(const std::string& text)
{
#if defined(__SANITIZE_ADDRESS__)
    std::snprintf(activity, sizeof activity, "while replaying %s\n", text.c_str());
#else
    static_cast<void>(text);
#endif
}

void StderrCapture::begin()
{
    std::cerr.flush();
    std::fflush(stderr);
    if (ftruncate(sink_, 0) != 0 || lseek(sink_, 0, SEEK_SET) != 0) fail("cannot empty the standard error file");
    if (dup2(sink_, 2) < 0) fail("cannot redirect standard error");
}

std::string StderrCapture::end()
{
    std::cerr.flush();
    std::fflush(stderr);
    if (dup2(saved_, 2) < 0) fail("cannot restore standard error");
    const off_t length = lseek(sink_, 0, SEEK_END);
    if (length < 0) fail("cannot measure the standard error file");
    std::string text(static_cast<std::size_t>(length), '\0');
    if (pread(sink_, text.data(), text.size(), 0) != length) fail("cannot read the standard error file");
    return text;
}

}  // namespace conformance
