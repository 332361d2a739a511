#pragma once

#include <string>
#include <string_view>

// stdout, checked: a write that fails ends the command with "write error: <OS reason>"
// (a RuntimeFailure, exit 1), so output lost to a full disk or a closed descriptor is
// never reported as success.
namespace StandardOutput
{
// Run first: refuses to start with stdout closed, and gives a closed stdin or stderr
// /dev/null, so a file opened later cannot take their descriptor and receive messages.
void CheckDescriptors();

void Write(std::string_view text);
// "write error: <reason>", or Interrupted when a signal cut the write short.
[[noreturn]] void Fail(const std::string& reason);
void Flush();
bool IsTerminal();
} // namespace StandardOutput
