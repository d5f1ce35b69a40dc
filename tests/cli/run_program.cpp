#include "tests/cli/run_program.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

std::string read_all(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t got;
  while ((got = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, size_t(got));
  return text;
}

}  // namespace

ProgramRun run_program(const std::string& program, const std::vector<std::string>& arguments,
                       const std::map<std::string, std::string>& environment, int user) {
  ProgramRun run;
  FILE* out = std::tmpfile();
  FILE* err = std::tmpfile();
  if (!out || !err) return run;
  // Everything the child needs is made before the fork: the tests run
  // threads (the emulated readers), and a child that allocates may find a
  // lock one of them held at the fork, and wait for ever.
  std::vector<std::string> variables;
  for (char** variable = environ; *variable; ++variable) {
    const std::string entry = *variable;
    if (!environment.count(entry.substr(0, entry.find('=')))) variables.push_back(entry);
  }
  for (const auto& [name, value] : environment) variables.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    dup2(fileno(out), STDOUT_FILENO);
    dup2(fileno(err), STDERR_FILENO);
    if (user >= 0 && (setgid(gid_t(user)) != 0 || setuid(uid_t(user)) != 0)) _exit(126);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  int status = 0;
  if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status))
    run.status = WEXITSTATUS(status);
  std::rewind(out);
  std::rewind(err);
  run.out = read_all(fileno(out));
  run.err = read_all(fileno(err));
  std::fclose(out);
  std::fclose(err);
  return run;
}
