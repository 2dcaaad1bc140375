#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "arguments.h"

using volumectl::Action;

// Forms the Wine runs only see through their output: the volume given or
// stepped, and a watch's length. Bad forms are the Wine runs' own table.
TEST(VolumectlArguments, SetStepAndWatchReadTheirValues) {
  const struct {
    std::vector<const char *> args;
    Action action;
    int value;
    long long seconds;
  } rows[] = {
      {{"set", "75"}, Action::Set, 75, -1},
      {{"set", "+10"}, Action::Step, 10, -1},
      {{"set", "-10"}, Action::Step, -10, -1},
      {{"set", "-99999999999999999999"}, Action::Step, INT_MIN, -1},
      {{"watch", "--json", "0"}, Action::Watch, 0, 0},
  };
  for (const auto &row : rows) {
    std::vector<const char *> argv = row.args;
    argv.insert(argv.begin(), "volumectl");
    volumectl::Request request;
    ASSERT_TRUE(volumectl::parseArguments(static_cast<int>(argv.size()), argv.data(), request));
    EXPECT_EQ(request.action, row.action) << row.args.back();
    EXPECT_EQ(request.value, row.value) << row.args.back();
    EXPECT_EQ(request.seconds, row.seconds) << row.args.back();
  }
}

TEST(VolumectlArguments, StepsStayWithinTheRange) {
  const struct {
    int current, step, expected;
  } steps[] = {{40, 10, 50}, {40, -10, 30}, {95, 10, 100},      {5, -10, 0},
               {0, -1, 0},   {100, 1, 100}, {50, INT_MAX, 100}, {50, INT_MIN, 0}};
  for (const auto &s : steps) {
    EXPECT_EQ(volumectl::steppedVolume(s.current, s.step), s.expected)
        << s.current << " by " << s.step;
  }
}
