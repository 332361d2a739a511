#pragma once

#include <cstdint>
#include <string>

// What ReadFile found wrong with a file; Reason is empty when it was read whole.
struct ReadProblem
{
    enum Kind
    {
        None,
        System,     // the OS refused to open or read it: Reason is its text; else a phrase
                    // ("not a regular file") to follow "it is"
        Directory,  // a directory
        NotRegular, // a FIFO, a device, a socket: it could block or never end
        TooLarge,   // more than the caller's limit
    };
    Kind What = None;
    std::string Reason;
    explicit operator bool() const { return What != None; }
};

// Reads the regular file at path, of at most `most` bytes, into bytes. A FIFO is opened
// without waiting for a writer, so a file that is none is refused at once rather than read
// for ever; a read interrupted by a signal goes on.
ReadProblem ReadFile(const std::string& path, std::uint64_t most, std::string& bytes);
