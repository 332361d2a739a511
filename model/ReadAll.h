#pragma once

#include <string>

// Appends what is left to read from fd to bytes, going on after a signal's interruption.
// Returns 0, or the errno of the read that failed.
int ReadAll(int fd, std::string& bytes);
