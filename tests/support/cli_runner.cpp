#include "support/cli_runner.h"

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "support/builder/database_builder.h"
#include "support/corpus.h"

namespace pagewright::testing {

std::string ShellQuote(const std::string& arg) {
  std::string out = "'";
  for (char c : arg) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out.push_back(c);
    }
  }
  return out + "'";
}

CommandRun RunPagewright(const std::string& args, const std::string& workingDir, int timeLimitSeconds) {
  build::TempFile errFile("stderr.txt");
  std::string dir = workingDir.empty() ? BinaryDir().string() : workingDir;
  std::string limit = timeLimitSeconds > 0 ? "timeout -s KILL " + std::to_string(timeLimitSeconds) + " " : "";
  std::string command = "cd " + ShellQuote(dir) + " && " + limit + ShellQuote((BinaryDir() / "pagewright").string()) +
                        " " + args + " 2>" + ShellQuote(errFile.str());
  CommandRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream err(errFile.path());
  std::stringstream s;
  s << err.rdbuf();
  run.err = s.str();
  return run;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace pagewright::testing
