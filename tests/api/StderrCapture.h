// Captures what the library writes to standard error while one action runs.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

// Redirects file descriptor 2 to a temporary file around the action, so both
// std::cerr and stdio output land in the returned text.
template <class Action>
std::string captureStderr(Action&& action)
{
    std::cerr.flush();
    std::fflush(stderr);
    std::FILE* sink = std::tmpfile();
    if (sink == nullptr) {
        return "<tmpfile failed>";
    }
    const int saved = dup(2);
    dup2(fileno(sink), 2);
    action();
    std::cerr.flush();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::string text;
    std::rewind(sink);
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, sink)) > 0) {
        text.append(buffer, n);
    }
    std::fclose(sink);
    return text;
}
