#include "audio_service.h"

#include "host_told.h"

namespace volumectl {

namespace {

constexpr wchar_t kServiceName[] = L"Audiosrv";
// The longest wait for the service to stop or to run.
constexpr double kServiceWaitMs = 30000;
constexpr DWORD kPollMs = 50;

Restart failed(Restart restart, const char *call) {
  restart.call = call;
  restart.error = GetLastError();
  restart.result = restart.error == ERROR_ACCESS_DENIED            ? RestartResult::NoRight
                   : restart.error == ERROR_SERVICE_DOES_NOT_EXIST ? RestartResult::NoService
                                                                   : RestartResult::Failed;
  return restart;
}

bool waitForState(SC_HANDLE service, DWORD state) {
  const double deadline = nowMs() + kServiceWaitMs;
  SERVICE_STATUS status{};
  while (QueryServiceStatus(service, &status) && status.dwCurrentState != state) {
    if (nowMs() > deadline) {
      SetLastError(ERROR_TIMEOUT);
      return false;
    }
    Sleep(kPollMs);
  }
  return status.dwCurrentState == state;
}

Restart restart(SC_HANDLE service) {
  Restart restart;
  SERVICE_STATUS status{};
  restart.stopAtMs = nowMs();
  if (!ControlService(service, SERVICE_CONTROL_STOP, &status)) {
    return failed(restart, "ControlService");
  }
  const bool stopped = waitForState(service, SERVICE_STOPPED);
  const DWORD stopError = GetLastError();
  // Started again whether or not it was seen stopping.
  if (!StartServiceW(service, 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
    return failed(restart, "StartService");
  }
  if (!stopped) {
    SetLastError(stopError);
    return failed(restart, "waiting for the stop");
  }
  if (!waitForState(service, SERVICE_RUNNING)) {
    return failed(restart, "waiting for the start");
  }
  restart.backAtMs = nowMs();
  restart.result = RestartResult::Restarted;
  return restart;
}

} // namespace

Restart restartAudioService() {
  const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) {
    return failed(Restart{}, "OpenSCManager");
  }
  const SC_HANDLE service =
      OpenServiceW(manager, kServiceName, SERVICE_STOP | SERVICE_START | SERVICE_QUERY_STATUS);
  if (service == nullptr) {
    const Restart missing = failed(Restart{}, "OpenService");
    CloseServiceHandle(manager);
    return missing;
  }
  const Restart done = restart(service);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return done;
}

} // namespace volumectl
