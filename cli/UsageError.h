#pragma once

#include <stdexcept>
#include <string>

// Bad input on the command line: reported as one line on stderr, exit status 2.
class UsageError : public std::runtime_error
{
public:
    explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};
