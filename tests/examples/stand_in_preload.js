// Preloaded with `node --require` ahead of the example, which stays unaware
// of it: puts the stand-in audio service in the process, and once the
// example has bound, has the service report three changes from its own
// thread.
'use strict';
const path = require('path');
const koffi = require('koffi');

const standIn = koffi.load(path.join(__dirname, 'quorvel_stand_in.dll'));
const register = standIn.func('int __cdecl StandInRegister()');
const deliver = standIn.func('int __cdecl StandInDeliver(int muted, int percent)');

if (register() !== 1) {
  throw new Error('the stand-in audio service could not be registered');
}
const changes = [[0, 40], [1, 40], [0, 75]];
const timer = setInterval(() => {
  if (deliver(...changes[0]) > 0 && (changes.shift(), changes.length === 0)) {
    clearInterval(timer);
  }
}, 100);
timer.unref(); // the example alone decides when the process ends
