#pragma once

#include <stdexcept>
#include <string>

// A failure of the environment (a file or stdout that cannot be written): reported as one
// line on stderr, exit status 1.
class RuntimeFailure : public std::runtime_error
{
public:
    explicit RuntimeFailure(const std::string& message) : std::runtime_error(message) {}
};
