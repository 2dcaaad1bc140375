// volume.js: reads and changes the default playback device's volume and
// mute through the quorvel package, and watches for changes.
//
//   node volume.js get
//   node volume.js set PERCENT
//   node volume.js mute on|off
//   node volume.js watch SECONDS
'use strict';
const fs = require('fs');
const quorvel = require('quorvel');

// fs.writeSync works wherever stdout and stderr point, a pipe included.
const print = (text) => fs.writeSync(1, text + '\n');
const fail = (text, code) => {
  fs.writeSync(2, text + '\n');
  return code;
};

function usage() {
  return fail(
    'usage: node volume.js get\n' +
      '       node volume.js set PERCENT     (0..100)\n' +
      '       node volume.js mute on|off\n' +
      '       node volume.js watch SECONDS',
    2);
}

function printState() {
  print(`volume ${quorvel.getVolume()}%, mute ${quorvel.getMuted() ? 'on' : 'off'}`);
}

function setMute(muted) {
  quorvel.setMuted(muted);
  // The system reports no status for mute, so the flag is read back.
  if (quorvel.getMuted() !== muted) {
    return fail('volume.js: the audio service refused the mute change', 1);
  }
  printState();
  return 0;
}

async function watchChanges(seconds) {
  // The watcher keeps the process alive until the signal closes it, which
  // ends the loop.
  const changes = quorvel.watch({ signal: AbortSignal.timeout(seconds * 1000) });
  print('watching for volume and mute changes');
  printState();
  for await (const { volume, muted } of changes) {
    const time = new Date().toISOString().replace('T', ' ').replace('Z', '');
    print(`${time} volume ${volume}%, mute ${muted ? 'on' : 'off'}`);
  }
  return 0;
}

async function main(args) {
  const [command, argument] = args;
  const known =
    (command === 'get' && args.length === 1) ||
    (command === 'set' && args.length === 2 && /^\d+$/.test(argument) && Number(argument) <= 100) ||
    (command === 'mute' && (argument === 'on' || argument === 'off') && args.length === 2) ||
    (command === 'watch' && args.length === 2 && /^\d+$/.test(argument));
  if (!known) {
    return usage();
  }
  try {
    if (command === 'watch') {
      return await watchChanges(Number(argument));
    }
    if (command === 'set') {
      quorvel.setVolume(Number(argument));
    } else if (command === 'mute') {
      return setMute(argument === 'on');
    }
    printState();
    return 0;
  } catch (error) {
    if (error.code === 'ERR_QUORVEL_NO_DEVICE') {
      return fail('volume.js: no default playback device found', 1);
    }
    if (error.code === 'ERR_QUORVEL_REFUSED') {
      const status = error.hresult.toString(16).toUpperCase().padStart(8, '0');
      return fail(`volume.js: the audio service refused the volume change (status 0x${status})`, 1);
    }
    throw error;
  }
}

main(process.argv.slice(2)).then((code) => {
  process.exitCode = code;
});
