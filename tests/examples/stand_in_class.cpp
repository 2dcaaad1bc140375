// The stand-in DLL as the device enumerator class's in-process server: a
// Wine prefix that names it there (cmake/wine-run.sh, "stand_in_class")
// hands the stand-in service to every CoCreateInstance of every process,
// so that a program which knows nothing of it, volumectl included, meets
// it. COM loads the DLL once per process, so the library's enumerators and
// the program's own share one service and are told of each other's
// changes, as with the platform's.
//
// Read on first use, for the tests:
//   QUORVEL_STAND_IN_SILENT  (any value) the service tells nobody of a change
//   QUORVEL_STAND_IN_STATE   a file holding "percent muted": the device
//                            starts so, and the file gets its state at exit
#include <cstdio>

#include "fake_audio.h"
#include "stand_in_factory.h"

namespace {

constexpr char kSilent[] = "QUORVEL_STAND_IN_SILENT";
constexpr char kStateFile[] = "QUORVEL_STAND_IN_STATE";

bool started = false;

// A setting's value, if it is set and fits.
bool setting(const char *name, char (&value)[MAX_PATH]) {
  const DWORD length = GetEnvironmentVariableA(name, value, MAX_PATH);
  return length > 0 && length < MAX_PATH;
}

void loadState(const char *path) {
  FILE *file = std::fopen(path, "r");
  if (file == nullptr) {
    return;
  }
  int percent = 0, muted = 0;
  if (std::fscanf(file, "%d %d", &percent, &muted) == 2) {
    fake::audio().level = static_cast<float>(percent) / 100.0f;
    fake::audio().muted = muted;
  }
  std::fclose(file);
}

void start() {
  // Its objects may be in use until the process ends, so it stays loaded.
  HMODULE self;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&start), &self);
  char value[MAX_PATH];
  if (setting(kSilent, value)) {
    fake::audio().delivery = fake::Delivery::None;
  }
  if (setting(kStateFile, value)) {
    loadState(value);
  }
  started = true;
}

// At process exit, with the C runtime still there but other threads gone:
// plain file calls only.
void saveState() {
  char path[MAX_PATH];
  if (!started || !setting(kStateFile, path)) {
    return;
  }
  char text[32];
  const int length = std::snprintf(text, sizeof text, "%d %d\n",
                                   static_cast<int>(fake::audio().level * 100 + 0.5f),
                                   static_cast<int>(fake::audio().muted.load()));
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(length), &written, nullptr);
    CloseHandle(file);
  }
}

} // namespace

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE
    DllGetClassObject(REFCLSID clsid, REFIID iid, void **object) {
  [[maybe_unused]] static const bool once = (start(), true);
  if (!quorvel::platform::sameGuid(clsid, quorvel::platform::kClsidMMDeviceEnumerator)) {
    *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  return fake::enumeratorFactory()->QueryInterface(iid, object);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_DETACH) {
    saveState();
  }
  return TRUE;
}
