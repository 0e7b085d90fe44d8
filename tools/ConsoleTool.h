// Runs one command line as a child process and hands its merged standard
// output and standard error to a line handler as the lines arrive. Blocks
// until the child has ended.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "tools/ConsoleOutput.h"

// Result when the child could not be started or its exit code not obtained.
constexpr std::uint32_t ConsoleToolFailure = 0xFFFFFFFF;

// Called while the child runs silently, at least every IdleInterval
// milliseconds, so that a window can repaint and answer.
using IdleHandler = std::function<void()>;
constexpr int IdleInterval = 100;

// Full form: without a handler the captured text is appended to output.
// The abort flag, when given, is reset at the start and looked at before
// each read; once set, the child is ended with exit code 1223.
std::uint32_t RunConsoleTool(const std::string& commandLine, std::string& output, const LineHandler& handler,
                             bool rawOutput, bool* abort, const std::string& workingFolder,
                             const IdleHandler& idle = {});

// Short form: the captured text, if any, is discarded.
std::uint32_t RunConsoleTool(const std::string& commandLine, const LineHandler& handler, bool rawOutput,
                             bool* abort, const std::string& workingFolder, const IdleHandler& idle = {});
