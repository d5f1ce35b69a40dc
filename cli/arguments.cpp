#include "cli/arguments.h"

std::optional<std::string> Arguments::value(const std::string& option) const {
  const auto found = values.find(option);
  if (found == values.end()) return std::nullopt;
  return found->second;
}

std::vector<std::string> Arguments::list(const std::string& option) const {
  std::vector<std::string> items;
  const auto found = lists.find(option);
  if (found == lists.end()) return items;
  for (const std::string& value : found->second) {
    size_t start = 0;
    for (size_t comma; (comma = value.find(',', start)) != std::string::npos; start = comma + 1)
      items.push_back(value.substr(start, comma - start));
    items.push_back(value.substr(start));
  }
  return items;
}

std::optional<std::string> parse_arguments(const std::vector<std::string>& words,
                                           const std::map<std::string, VerbRules>& verbs,
                                           Arguments& out) {
  out = Arguments{};
  if (words.empty()) return "no command given";
  out.verb = words[0];
  const auto rules_found = verbs.find(out.verb);
  if (rules_found == verbs.end()) return "unknown command '" + out.verb + "'";
  const VerbRules& rules = rules_found->second;
  bool options_ended = false;
  for (size_t i = 1; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (options_ended || word.size() < 2 || word.compare(0, 2, "--") != 0) {
      out.operands.push_back(word);
      continue;
    }
    if (word == "--") {
      options_ended = true;
      continue;
    }
    const size_t equals = word.find('=');
    const std::string option = word.substr(0, equals);
    if (rules.valued.count(option) || rules.repeatable.count(option)) {
      std::string value;
      if (equals != std::string::npos) {
        value = word.substr(equals + 1);
      } else if (i + 1 < words.size()) {
        value = words[++i];
      } else {
        return option + " needs a value";
      }
      if (rules.repeatable.count(option)) {
        out.lists[option].push_back(value);
        continue;
      }
      if (out.values.count(option)) return option + " given twice";
      out.values[option] = value;
    } else if (rules.flags.count(option) && equals == std::string::npos) {
      out.flags.insert(option);
    } else {
      return "'" + word + "' is not an option of " + out.verb;
    }
  }
  if (out.operands.size() < rules.operands_min) return out.verb + ": missing operand";
  if (out.operands.size() > rules.operands_max) return out.verb + ": too many operands";
  return std::nullopt;
}
