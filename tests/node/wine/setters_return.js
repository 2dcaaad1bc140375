'use strict';
// With a watcher open, against the stand-in service, which tells of a
// change before the setter returns: setVolume and setMuted return within
// 500 ms and their changes arrive, a setter in a 'change' handler returns
// and close() resolves. A deadlock hangs: the test's time limit ends it.
const assert = require('node:assert');
const fs = require('node:fs');
const { once } = require('node:events');
require('./stand_in');
const quorvel = require('quorvel');

(async () => {
  const watcher = quorvel.watch();
  const calls = [[quorvel.setVolume, 42, 'volume'], [quorvel.setMuted, true, 'muted']];
  for (const [set, value, key] of calls) {
    const arrived = once(watcher, 'change');
    const started = Date.now();
    set(value);
    const took = Date.now() - started;
    assert.strictEqual((await arrived)[0][key], value);
    fs.writeSync(1, `${set.name}(${value}) returned in ${took} ms; its change arrived\n`);
    assert.ok(took < 500);
  }
  const inHandler = once(watcher, 'change').then(() => quorvel.setVolume(10));
  quorvel.setMuted(false);
  await inHandler;
  await watcher.close();
  fs.writeSync(1, 'a setter in a change handler returned; closed\n');
})();
