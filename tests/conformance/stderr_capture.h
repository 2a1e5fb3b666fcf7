// Captures what is written to file descriptor 2 while an action runs, so that
// messages written through std::cerr, stdio or write(2) are all seen exactly.
#pragma once

#include <string>

namespace conformance {

class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Runs the action and returns the text it wrote; the real standard error
    // is back in place when this returns or throws.
    template <class Action>
    std::string run(Action&& action)
    {
        begin();
        try {
            action();
        } catch (...) {
            end();
            throw;
        }
        return end();
    }

    // Names what is running, for a sanitizer report that ends the process
    // while standard error is redirected.
    void setActivity(const std::string& activity);

private:
    void begin();
    std::string end();

    int sink_ = -1;   // temporary file that receives the text
    int saved_ = -1;  // the real standard error
};

}  // namespace conformance
