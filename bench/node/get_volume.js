// Times quorvel.getVolume() against the same VolumeGet call made directly
// through koffi, on the package's own binding. Run with Windows Node.js
// in a folder where the package is installed:
//   node get_volume.js [calls per round]
'use strict';
const fs = require('fs');
const path = require('path');
const koffi = require('koffi');
const quorvel = require('quorvel');

const calls = Number(process.argv[2] ?? 200000);
const rounds = 7;
quorvel.getVolume(); // binds

const dll = koffi.load(path.join(path.dirname(require.resolve('quorvel')), 'bin',
  `win32-${process.arch}`, 'Quorvel.dll'));
const VolumeGet = dll.func('int __cdecl VolumeGet(_Inout_ int *percent)');
const direct = () => {
  const percent = [-1];
  VolumeGet(percent);
  return percent[0];
};

// Nanoseconds per call, the median of the rounds.
function time(call) {
  const perCall = [];
  for (let round = 0; round < rounds; ++round) {
    const start = process.hrtime.bigint();
    for (let i = 0; i < calls; ++i) {
      call();
    }
    perCall.push(Number(process.hrtime.bigint() - start) / calls);
  }
  return perCall.sort((a, b) => a - b)[rounds >> 1];
}

time(direct);
time(quorvel.getVolume);
const directNs = time(direct);
const packageNs = time(quorvel.getVolume);
fs.writeSync(1, `${process.arch}: quorvel.getVolume() ${packageNs.toFixed(0)} ns, ` +
  `direct koffi VolumeGet ${directNs.toFixed(0)} ns, ratio ${(packageNs / directNs).toFixed(2)}\n`);
