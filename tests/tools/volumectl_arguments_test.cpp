#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "arguments.h"

using volumectl::Action;
using volumectl::MuteChange;
using volumectl::Request;

namespace {

bool parse(std::vector<const char *> args, Request &request) {
  args.insert(args.begin(), "volumectl");
  return volumectl::parseArguments(static_cast<int>(args.size()), args.data(), request);
}

} // namespace

TEST(VolumectlArguments, EachFormReadsAsMeantAndTheRestIsUsage) {
  const struct {
    std::vector<const char *> args;
    Action action;
    int value;
    bool json;
    long long seconds;
  } good[] = {
      {{"get"}, Action::Get, 0, false, -1},
      {{"get", "volume"}, Action::GetVolume, 0, false, -1},
      {{"get", "mute"}, Action::GetMute, 0, false, -1},
      {{"get", "--json"}, Action::Get, 0, true, -1},
      {{"set", "75"}, Action::Set, 75, false, -1},
      {{"set", "+10"}, Action::Step, 10, false, -1},
      {{"set", "-10"}, Action::Step, -10, false, -1},
      {{"set", "-99999999999999999999"}, Action::Step, INT_MIN, false, -1},
      {{"watch", "5"}, Action::Watch, 0, false, 5},
      {{"watch", "--json", "0"}, Action::Watch, 0, true, 0},
  };
  for (const auto &row : good) {
    Request request;
    ASSERT_TRUE(parse(row.args, request)) << row.args[0] << " " << row.args.size();
    EXPECT_EQ(request.action, row.action) << row.args.back();
    EXPECT_EQ(request.value, row.value) << row.args.back();
    EXPECT_EQ(request.json, row.json) << row.args.back();
    EXPECT_EQ(request.seconds, row.seconds) << row.args.back();
  }
  Request mute;
  ASSERT_TRUE(parse({"mute", "toggle"}, mute));
  EXPECT_EQ(mute.mute, MuteChange::Toggle);

  const std::vector<std::vector<const char *>> bad = {{},
                                                      {"bogus"},
                                                      {"get", "level"},
                                                      {"get", "volume", "mute"},
                                                      {"set"},
                                                      {"set", "abc"},
                                                      {"set", "50x"},
                                                      {"set", "+"},
                                                      {"set", ""},
                                                      {"set", "1", "2"},
                                                      {"mute"},
                                                      {"mute", "maybe"},
                                                      {"watch", "-1"},
                                                      {"watch", "soon"},
                                                      {"watch", "1", "2"},
                                                      {"watch", "--json", "--json"}};
  for (const auto &args : bad) {
    Request request;
    EXPECT_FALSE(parse(args, request)) << (args.empty() ? "(none)" : args.back());
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
