// Each measured path, once through the library and once as the same
// platform call made directly (the floor).
#pragma once

namespace bench {

struct Path {
  const char *name;
  // One operation; i varies the argument from call to call.
  void (*library)(int i);
  void (*direct)(int i);
};

extern const Path kPaths[];
extern const int kPathCount;

// Binds the library to the lean platform for the control paths.
void bind();
void unbind();

// Runs every library path once, failures included.
void runEveryLibraryPath();

} // namespace bench
