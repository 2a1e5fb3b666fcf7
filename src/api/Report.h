// One line of the library's diagnostics on standard error.
#pragma once

#include <iostream>
#include <locale>
#include <sstream>
#include <string>

// Writes the parts as one line to std::cerr and flushes it. The line is
// composed in a fresh classic-locale stream and written unformatted, so
// integers come out as plain signed decimals and doubles in the default
// general format with six significant digits, whatever formatting (base,
// precision, field width) the host has set on std::cerr.
template <class... Parts>
void reportLine(const Parts&... parts)
{
    std::ostringstream line;
    line.imbue(std::locale::classic());
    (line << ... << parts) << '\n';
    const std::string text = line.str();
    std::cerr.write(text.data(), static_cast<std::streamsize>(text.size())).flush();
}
