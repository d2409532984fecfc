// Runs the built pagewright binary and captures what it prints.
#ifndef PAGEWRIGHT_TESTS_SUPPORT_CLI_RUNNER_H_
#define PAGEWRIGHT_TESTS_SUPPORT_CLI_RUNNER_H_

#include <string>
#include <vector>

namespace pagewright::testing {

struct CommandRun {
  int exitCode = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs `pagewright ARGS` (ARGS already quoted for the shell) from
// `workingDir` (the build's bin folder when empty). With a time limit the
// run is killed after that many seconds (exit code 137), so that a run that
// would hang fails instead.
CommandRun RunPagewright(const std::string& args, const std::string& workingDir = "", int timeLimitSeconds = 0);

std::vector<std::string> SplitLines(const std::string& text);

// Quotes one argument for the shell.
std::string ShellQuote(const std::string& arg);

}  // namespace pagewright::testing

#endif  // PAGEWRIGHT_TESTS_SUPPORT_CLI_RUNNER_H_
