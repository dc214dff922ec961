// The one failure type of the authoring tool: a message for the user and the exit code it means
// (1 = bad input or a damaged file, 2 = a usage error).
#pragma once
#include <stdexcept>
#include <string>

enum { ExitOk = 0, ExitBadInput = 1, ExitUsage = 2 };

class ToolError : public std::runtime_error {
public:
    explicit ToolError(const std::string &message, int exitCode = ExitBadInput)
        : std::runtime_error(message), exitCode_(exitCode) {}
    int exitCode() const { return exitCode_; }

private:
    int exitCode_;
};
