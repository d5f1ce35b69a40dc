// The command line: a verb, its operands and its options.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct Arguments {
  std::string verb;
  std::vector<std::string> operands;
  std::set<std::string> flags;                  // "--json", "--all", ...
  std::map<std::string, std::string> values;    // "--name" -> NAME, "--output" -> OUT
  std::map<std::string, std::vector<std::string>> lists;  // "--game" -> every ID given
  bool has(const std::string& flag) const { return flags.count(flag) != 0; }
  std::optional<std::string> value(const std::string& option) const;
  // Every value of a repeatable option, in order; each may list several
  // with commas ("--game SLUS-00594,SCUS-94163").
  std::vector<std::string> list(const std::string& option) const;
};

// What each verb accepts.
struct VerbRules {
  size_t operands_min = 0;
  size_t operands_max = 0;
  std::set<std::string> flags;
  std::set<std::string> valued;  // options that take a value
  std::set<std::string> repeatable = {};  // valued options that may be given again and again
};

// Splits the command line; options may stand anywhere after the verb, a
// valued one as "--name NAME" or "--name=NAME", and "--" ends the options.
// Returns what is wrong, or nothing.
std::optional<std::string> parse_arguments(const std::vector<std::string>& words,
                                           const std::map<std::string, VerbRules>& verbs,
                                           Arguments& out);
