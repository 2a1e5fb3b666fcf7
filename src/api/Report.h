// Where the library's diagnostics go: one line at a time, to the message sink
// a host registered on the state, or else to standard error.
#pragma once

#include <iostream>
#include <locale>
#include <sstream>
#include <string>

#include "vfft_v8_0_ext.h"

// The destination of one state's messages, handed explicitly to the code that
// may write them. The default value writes to standard error.
struct Reporter {
    velmor_ip_vfft_v8_0_sink sink = nullptr;
    void* user = nullptr;

    // Writes the parts as one line and, on standard error, flushes it. The
    // line is composed in a fresh classic-locale stream, so integers come out
    // as plain signed decimals and doubles in the default general format with
    // six significant digits, whatever formatting (base, precision, field
    // width) the host has set on std::cerr. A sink receives the line without
    // its newline.
    template <class... Parts>
    void line(const Parts&... parts) const
    {
        std::ostringstream text;
        text.imbue(std::locale::classic());
        (text << ... << parts);
        write(text.str());
    }

private:
    void write(std::string text) const
    {
        if (sink != nullptr) {
            sink(user, text.c_str());
            return;
        }
        text += '\n';
        std::cerr.write(text.data(), static_cast<std::streamsize>(text.size())).flush();
    }
};
