// volumectl's own way to the default playback device, apart from the
// library, as another program would take it: its own enumerator, the
// default render device for the console role, and its own volume control.
#pragma once

#include <windows.h>

#include <endpointvolume.h>
#include <mmdeviceapi.h>

#include <string>

namespace volumectl {

class OwnEndpoint {
public:
  OwnEndpoint() = default;
  ~OwnEndpoint();
  OwnEndpoint(const OwnEndpoint &) = delete;
  OwnEndpoint &operator=(const OwnEndpoint &) = delete;

  // Opens the control of today's default device; the failing call's status.
  HRESULT open();
  // Changes the volume with an event context of volumectl's own.
  HRESULT setVolume(int percent);
  HRESULT read(int &percent, bool &muted);
  // The default device's id now, or empty while there is none; needs only
  // the enumerator, so it also answers when open() found no device.
  HRESULT defaultId(std::wstring &id);

private:
  IMMDeviceEnumerator *enumerator_ = nullptr;
  IAudioEndpointVolume *volume_ = nullptr;
  GUID context_{};
};

} // namespace volumectl
