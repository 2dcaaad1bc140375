'use strict';
// The DLL's six functions, and the package's relay, through koffi. Loaded
// on Windows only.
const koffi = require('koffi');
const { dllPath } = require('./dll_path');

const quorvel = koffi.load(dllPath('Quorvel.dll')); // an absolute path, never a bare name
// The type's name is prefixed: koffi's type names are process-wide, and the
// host program may declare a VolumeChangeCallback of its own.
const VolumeChangeCallback = koffi.proto('int __cdecl QuorvelVolumeChangeCallback(int muted, int percent)');
const InitEndPoint = quorvel.func('int __cdecl InitEndPoint(QuorvelVolumeChangeCallback *callback)');
const UninitEndPoint = quorvel.func('int __cdecl UninitEndPoint()');
const VolumeSet = quorvel.func('uint32 __cdecl VolumeSet(int percent)'); // an HRESULT
const VolumeGet = quorvel.func('int __cdecl VolumeGet(_Inout_ int *percent)');
const MuteSet = quorvel.func('int __cdecl MuteSet(int muted)');
const MuteGet = quorvel.func('int __cdecl MuteGet()');

// The relay (relay/relay.c): InitEndPoint gets its host function, which
// queues each change and returns, and the relay's own thread calls the
// JS function with it, so that thread alone waits for the JS thread.
const relay = koffi.load(dllPath('QuorvelRelay.dll'));
const relayChange = relay.symbol('RelayChange');
const RelayStart = relay.func('int __cdecl RelayStart(QuorvelVolumeChangeCallback *deliver)');
const RelayStop = relay.func('void __cdecl RelayStop()');
const RelayJoin = relay.func('void __cdecl RelayJoin()'); // through .async only

const register = (onChange) => koffi.register(onChange, koffi.pointer(VolumeChangeCallback));

module.exports = {
  InitEndPoint, UninitEndPoint, VolumeSet, VolumeGet, MuteSet, MuteGet,
  relayChange, RelayStart, RelayStop, RelayJoin, register, unregister: koffi.unregister,
};
