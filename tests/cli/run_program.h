// Runs a program as a shell would and takes what it printed and its exit
// status, for the tests of the command-line program.
#pragma once

#include <map>
#include <string>
#include <vector>

struct ProgramRun {
  int status = -1;  // the exit status; -1 when it did not exit normally
  std::string out;
  std::string err;
};

// `environment` is added to the test's own environment. With `user` (a
// user id, when the test runs as root) the program runs as that user.
ProgramRun run_program(const std::string& program, const std::vector<std::string>& arguments,
                       const std::map<std::string, std::string>& environment = {}, int user = -1);
