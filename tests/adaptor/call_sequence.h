// An expected sequence of calls in which some entries are optional: calls
// another thread may make while the one under test runs (the toolbox asking
// the manager from its own thread as it closes the device). An optional
// entry may stand at its place or anywhere after it, at most once; every
// other line must come exactly in order.
#ifndef CAMERA_TESTS_ADAPTOR_CALL_SEQUENCE_H
#define CAMERA_TESTS_ADAPTOR_CALL_SEQUENCE_H

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

struct ExpectedCall {
  std::string line;
  bool optional = false;
};

class CallSequence {
public:
  CallSequence &then(const std::vector<std::string> &lines) {
    for (const std::string &line : lines) entries_.push_back({line, false});
    return *this;
  }
  // From here to the end of the sequence, line may come once.
  CallSequence &maybeFromHere(const std::string &line) {
    entries_.push_back({line, true});
    return *this;
  }

  // Whether log is the sequence; with trailing, whether it starts with it.
  ::testing::AssertionResult matches(const std::vector<std::string> &log, bool trailing = false) const {
    std::vector<bool> armed(entries_.size(), false), used(entries_.size(), false);
    std::size_t next = 0, at = 0;
    auto skipOptionals = [&] {
      for (; next < entries_.size() && entries_[next].optional; ++next) armed[next] = true;
    };
    for (skipOptionals(); at < log.size(); ++at) {
      if (next < entries_.size() && log[at] == entries_[next].line) {
        ++next;
        skipOptionals();
        continue;
      }
      bool taken = false;
      for (std::size_t i = 0; i < entries_.size() && !taken; ++i)
        if (armed[i] && !used[i] && entries_[i].line == log[at]) taken = used[i] = true;
      if (taken) continue;
      if (next == entries_.size() && trailing) return ::testing::AssertionSuccess();
      return ::testing::AssertionFailure()
             << "line " << at << " \"" << log[at] << "\" where \""
             << (next < entries_.size() ? entries_[next].line : "the end") << "\" was expected\n"
             << describe(log);
    }
    if (next < entries_.size())
      return ::testing::AssertionFailure() << "the log ended before \"" << entries_[next].line << "\"\n"
                                           << describe(log);
    return ::testing::AssertionSuccess();
  }

private:
  std::string describe(const std::vector<std::string> &log) const {
    std::string text = "expected:\n";
    for (const ExpectedCall &entry : entries_)
      text += (entry.optional ? "  (maybe) " : "  ") + entry.line + "\n";
    text += "got:\n";
    for (const std::string &line : log) text += "  " + line + "\n";
    return text;
  }

  std::vector<ExpectedCall> entries_;
};

#endif
