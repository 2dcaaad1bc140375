// volume.js: reads and changes the default playback device's volume and
// mute through Quorvel.dll, and watches for changes.
//
//   node volume.js get
//   node volume.js set PERCENT
//   node volume.js mute on|off
//   node volume.js watch SECONDS
'use strict';
const fs = require('fs');
const path = require('path');
const koffi = require('koffi');

// Quorvel.dll of the same architecture as node.exe, beside this file.
const quorvel = koffi.load(path.join(__dirname, 'Quorvel.dll'));
const VolumeChangeCallback = koffi.proto('int __cdecl VolumeChangeCallback(int muted, int percent)');
const InitEndPoint = quorvel.func('int __cdecl InitEndPoint(VolumeChangeCallback *callback)');
const UninitEndPoint = quorvel.func('int __cdecl UninitEndPoint()');
const VolumeSet = quorvel.func('uint32 __cdecl VolumeSet(int percent)'); // an HRESULT
const VolumeGet = quorvel.func('int __cdecl VolumeGet(_Inout_ int *percent)');
const MuteSet = quorvel.func('int __cdecl MuteSet(int muted)');
const MuteGet = quorvel.func('int __cdecl MuteGet()');

// fs.writeSync works wherever stdout and stderr point, a pipe included.
const print = (text) => fs.writeSync(1, text + '\n');
const fail = (text, code) => {
  fs.writeSync(2, text + '\n');
  return code;
};

function usage() {
  return fail(
    'usage: node volume.js get\n' +
      '       node volume.js set PERCENT     (0..100; other values are clamped)\n' +
      '       node volume.js mute on|off\n' +
      '       node volume.js watch SECONDS',
    2);
}

function printState() {
  const percent = [-1]; // VolumeGet writes nothing when it cannot read the level
  VolumeGet(percent);
  print(`volume ${percent[0]}%, mute ${MuteGet() ? 'on' : 'off'}`);
}

function setVolume(argument) {
  if (!/^-?\d+$/.test(argument)) {
    return usage();
  }
  // Beyond int it is clamped here, as the library clamps the rest.
  const percent = Math.max(-2147483648, Math.min(2147483647, Number(argument)));
  const status = VolumeSet(percent);
  if (status >= 0x80000000) {
    const hex = status.toString(16).toUpperCase().padStart(8, '0');
    return fail(`volume.js: the audio service refused the volume change (status 0x${hex})`, 1);
  }
  printState();
  return 0;
}

function setMute(argument) {
  if (argument !== 'on' && argument !== 'off') {
    return usage();
  }
  const wanted = argument === 'on' ? 1 : 0;
  MuteSet(wanted);
  // The library reports no status for mute, so read the flag back.
  if (MuteGet() !== wanted) {
    return fail('volume.js: the audio service refused the mute change', 1);
  }
  printState();
  return 0;
}

function main(args) {
  const [command, argument] = args;
  const known =
    (command === 'get' && args.length === 1) ||
    (['set', 'mute', 'watch'].includes(command) && args.length === 2);
  if (!known || (command === 'watch' && !/^\d+$/.test(argument))) {
    return usage();
  }

  // The library calls the host function long after InitEndPoint returns,
  // so it is registered with koffi (a plain JS function passed in would be
  // valid only during the call) and unregistered after UninitEndPoint.
  const onChange =
    command === 'watch'
      ? koffi.register((muted, percent) => {
          // koffi runs this on the JS main thread while the audio service's
          // thread waits for it: keep it short.
          const time = new Date().toISOString().replace('T', ' ').replace('Z', '');
          print(`${time} volume ${percent}%, mute ${muted ? 'on' : 'off'}`);
          return 0;
        }, koffi.pointer(VolumeChangeCallback))
      : null;
  const letGo = () => {
    UninitEndPoint();
    if (onChange !== null) {
      koffi.unregister(onChange);
    }
  };

  if (InitEndPoint(onChange) !== 1) {
    letGo(); // releases what the failed attempt obtained
    return fail('volume.js: no default playback device found', 1);
  }
  if (command !== 'watch') {
    const code = command === 'get' ? (printState(), 0)
               : command === 'set' ? setVolume(argument)
               : setMute(argument);
    letGo();
    return code;
  }
  print('watching for volume and mute changes');
  printState();
  // Changes arrive while the event loop waits; never block it on the library.
  setTimeout(letGo, Number(argument) * 1000);
  return 0;
}

process.exitCode = main(process.argv.slice(2));
