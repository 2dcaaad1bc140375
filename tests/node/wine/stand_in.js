'use strict';
// The stand-in audio service in this process. Required before quorvel
// binds: it registers on the main thread, where the binding is made. Its
// changes arrive on threads of its own, as the platform's do.
const path = require('path');
const koffi = require('koffi');

const standIn = koffi.load(path.join(__dirname, 'quorvel_stand_in.dll'));
if (standIn.func('int __cdecl StandInRegister()')() !== 1) {
  throw new Error('the stand-in audio service could not be registered');
}

// Blocks the main thread for a while, so that the next change is under
// way and waits in the host function for this thread when it returns.
function holdMainThread() {
  Atomics.wait(new Int32Array(new SharedArrayBuffer(4)), 0, 0, 200);
}

module.exports = {
  holdMainThread,
  // Reports one change; returns how many sinks are registered to be told.
  deliver: standIn.func('int __cdecl StandInDeliver(int muted, int percent)'),
  // A change about every millisecond until stopped or the process ends.
  startChanges: standIn.func('int __cdecl StandInStartChanges()'),
  // Waits for the change in delivery: only once no watcher is open.
  stopChanges: standIn.func('void __cdecl StandInStopChanges()'),
};
