// The commands of the headless shell.
#ifndef PAGEWRIGHT_CLI_COMMANDS_H_
#define PAGEWRIGHT_CLI_COMMANDS_H_

#include <string>
#include <vector>

namespace pagewright::cli {

int RunInfo(const std::vector<std::string>& args);

}  // namespace pagewright::cli

#endif  // PAGEWRIGHT_CLI_COMMANDS_H_
