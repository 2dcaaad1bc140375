// Times each change from the moment the stand-in service is asked to
// report it (it starts a thread that tells its clients at once) to the
// watcher's 'change' handler, with the JS thread quiet, and with it busy
// for 200 ms right after asking. Run with Windows Node.js under Wine in a
// folder where the package and the tests' stand-in are installed (the
// tests' build/<arch>/node-app), with QUORVEL_WINE_AUDIO=stand_in:
//   node change_latency.js [quiet rounds] [busy rounds]
'use strict';
const fs = require('fs');
const { performance } = require('perf_hooks');
const standIn = require('./stand_in');
const quorvel = require('quorvel');

const quietRounds = Number(process.argv[2] ?? 50);
const busyRounds = Number(process.argv[3] ?? 10);
const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function latency(watcher, percent, busyMs) {
  const handled = new Promise((resolve) => {
    watcher.once('change', () => resolve(performance.now()));
  });
  const asked = performance.now();
  standIn.deliver(0, percent);
  while (performance.now() - asked < busyMs) {
    // the JS thread stays busy
  }
  return (await handled) - asked;
}

// "median (min to max)" of the rounds, in ms.
async function measure(watcher, rounds, busyMs) {
  const times = [];
  for (let i = 0; i < rounds; ++i) {
    times.push(await latency(watcher, 20 + (i % 2) * 40, busyMs));
    await pause(20);
  }
  times.sort((a, b) => a - b);
  const ms = (time) => time.toFixed(2);
  return `${ms(times[rounds >> 1])} (${ms(times[0])} to ${ms(times[rounds - 1])})`;
}

async function main() {
  const watcher = quorvel.watch();
  await measure(watcher, 5, 0); // warms up
  const quiet = await measure(watcher, quietRounds, 0);
  const busy = await measure(watcher, busyRounds, 200);
  fs.writeSync(1, `${process.arch}: quiet ${quiet} ms, busy 200 ms ${busy} ms\n`);
  await watcher.close();
}

main();
