#include "arguments.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace volumectl {

namespace {

// A whole decimal integer; strtoll saturates values beyond its range.
bool parseInteger(const char *text, long long &out) {
  char *end = nullptr;
  out = std::strtoll(text, &end, 10);
  return end != text && *end == '\0';
}

int clampToInt(long long value) {
  return value < INT_MIN ? INT_MIN : (value > INT_MAX ? INT_MAX : static_cast<int>(value));
}

bool is(const char *text, const char *word) { return std::strcmp(text, word) == 0; }

bool parseSet(const char *argument, Request &request) {
  long long value = 0;
  if (!parseInteger(argument, value)) {
    return false;
  }
  // A sign makes it a step from the current volume.
  request.action = argument[0] == '+' || argument[0] == '-' ? Action::Step : Action::Set;
  request.value = clampToInt(value);
  return true;
}

bool parseMute(const char *argument, Request &request) {
  request.action = Action::Mute;
  if (is(argument, "on")) {
    request.mute = MuteChange::On;
  } else if (is(argument, "off")) {
    request.mute = MuteChange::Off;
  } else if (is(argument, "toggle")) {
    request.mute = MuteChange::Toggle;
  } else {
    return false;
  }
  return true;
}

bool parseGet(int count, const char *const *rest, Request &request) {
  request.action = Action::Get;
  if (count == 0) {
    return true;
  }
  if (count > 1) {
    return false;
  }
  if (is(rest[0], "volume")) {
    request.action = Action::GetVolume;
  } else if (is(rest[0], "mute")) {
    request.action = Action::GetMute;
  } else if (is(rest[0], "--json")) {
    request.json = true;
  } else {
    return false;
  }
  return true;
}

bool parseWatch(int count, const char *const *rest, Request &request) {
  request.action = Action::Watch;
  if (count > 0 && is(rest[0], "--json")) {
    request.json = true;
    --count;
    ++rest;
  }
  if (count == 0) {
    return true;
  }
  long long seconds = 0;
  if (count > 1 || !parseInteger(rest[0], seconds) || seconds < 0 || seconds > INT_MAX) {
    return false;
  }
  request.seconds = seconds;
  return true;
}

// Options in any order, each at most once.
bool parseCheck(int count, const char *const *rest, Request &request) {
  request.action = Action::Check;
  for (int i = 0; i < count; ++i) {
    if (is(rest[i], "--service") && !request.service) {
      request.service = true;
    } else if (is(rest[i], "--interactive") && !request.interactive) {
      request.interactive = true;
    } else if (is(rest[i], "--json") && request.reportPath == nullptr && i + 1 < count) {
      request.reportPath = rest[++i];
    } else {
      return false;
    }
  }
  return true;
}

} // namespace

bool parseArguments(int argc, const char *const *argv, Request &request) {
  request = Request{};
  if (argc < 2) {
    return false;
  }
  const char *command = argv[1];
  const int count = argc - 2;
  const char *const *rest = argv + 2;
  if (is(command, "get")) {
    return parseGet(count, rest, request);
  }
  if (is(command, "watch")) {
    return parseWatch(count, rest, request);
  }
  if (is(command, "check")) {
    return parseCheck(count, rest, request);
  }
  if (count != 1) {
    return false;
  }
  if (is(command, "set")) {
    return parseSet(rest[0], request);
  }
  return is(command, "mute") && parseMute(rest[0], request);
}

int steppedVolume(int current, int step) {
  const long long stepped = static_cast<long long>(current) + step;
  return stepped < 0 ? 0 : (stepped > 100 ? 100 : static_cast<int>(stepped));
}

void formatState(char *buffer, std::size_t size, int percent, bool muted, bool json) {
  if (json) {
    std::snprintf(buffer, size, "{\"volume\":%d,\"muted\":%s}", percent, muted ? "true" : "false");
  } else {
    std::snprintf(buffer, size, "volume %d%%, mute %s", percent, muted ? "on" : "off");
  }
}

} // namespace volumectl
