'use strict';
// The DLL's six functions through koffi. Loaded on Windows only.
const koffi = require('koffi');
const { dllPath } = require('./dll_path');

const quorvel = koffi.load(dllPath()); // an absolute path, never a bare name
// The type's name is prefixed: koffi's type names are process-wide, and the
// host program may declare a VolumeChangeCallback of its own.
const VolumeChangeCallback = koffi.proto('int __cdecl QuorvelVolumeChangeCallback(int muted, int percent)');
const InitEndPoint = quorvel.func('int __cdecl InitEndPoint(QuorvelVolumeChangeCallback *callback)');
const UninitEndPoint = quorvel.func('int __cdecl UninitEndPoint()');
const VolumeSet = quorvel.func('uint32 __cdecl VolumeSet(int percent)'); // an HRESULT
const VolumeGet = quorvel.func('int __cdecl VolumeGet(_Inout_ int *percent)');
const MuteSet = quorvel.func('int __cdecl MuteSet(int muted)');
const MuteGet = quorvel.func('int __cdecl MuteGet()');

// The library may call the host function for as long as the process
// lives, so it is registered once and never unregistered: a call to an
// unregistered koffi callback is fatal.
const register = (onChange) => koffi.register(onChange, koffi.pointer(VolumeChangeCallback));

module.exports = { InitEndPoint, UninitEndPoint, VolumeSet, VolumeGet, MuteSet, MuteGet, register };
