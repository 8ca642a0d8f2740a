#pragma once
// How a failed file operation is told to the user, the same way by every
// command that writes a file: the command's own sentence first, then, after
// a blank line, why it failed. For a file the system refused (a full disk, no
// permission, a folder that is not there) the reason is FileException's text,
// which names the operation, the path and the system's own words.

#include <exception>
#include <string>

namespace platform {

// The sentence alone when there is no reason to give.
std::string WithReason(const std::string& sentence, const std::string& reason);

// Why e ended a file operation: "Not enough memory." for a failed
// allocation; empty for a UserException (whoever threw it has spoken
// already, or there is nothing to say); what() for anything else.
std::string FailureReason(const std::exception& e);

}  // namespace platform
