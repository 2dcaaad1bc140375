'use strict';
// Ends the process one way while changes are arriving from the stand-in
// service: exit.js loop-ends|process-exit|uncaught|close-race
// Prints "changes arriving" once the first change is in, and
// "exit <code>" from the last 'exit' listener.
const fs = require('fs');
const standIn = require('./stand_in');
const quorvel = require('quorvel');

const print = (text) => fs.writeSync(1, `${text}\n`);
const way = process.argv[2];
const watcher = quorvel.watch({ ref: way !== 'loop-ends' });
// Keeps the loop alive until the first change, for the unref'd watcher.
const waiting = setTimeout(() => {}, 60000);
watcher.once('change', async () => {
  print('changes arriving');
  clearTimeout(waiting);
  if (way === 'process-exit') {
    process.exit(3);
  } else if (way === 'uncaught') {
    throw new Error('uncaught in a change handler');
  } else if (way === 'close-race') {
    standIn.holdMainThread();
    await watcher.close();
    print('closed');
  }
});
process.on('exit', (code) => print(`exit ${code}`));
standIn.startChanges();
