'use strict';
// The package against the stand-in audio service, whose changes arrive on
// threads of its own. The tests share the process's one binding, in order.
const { test } = require('node:test');
const assert = require('node:assert');
const { once } = require('node:events');
const standIn = require('./stand_in');
const quorvel = require('quorvel');

const nextChange = (watcher) => once(watcher, 'change').then(([change]) => change);
// A watcher closed when its test ends, even by a failed assertion, so that
// a failure cannot leave the process waiting on it.
function watchFor(t, options) {
  const watcher = quorvel.watch(options);
  t.after(() => watcher.close());
  return watcher;
}

test('the getters and setters read back what they set', () => {
  quorvel.setVolume(75);
  assert.strictEqual(quorvel.getVolume(), 75);
  quorvel.setMuted(true);
  assert.strictEqual(quorvel.getMuted(), true);
  quorvel.setMuted(false);
  assert.strictEqual(quorvel.getMuted(), false);
});

test('changes from the service thread reach every watcher through one binding', async (t) => {
  const first = watchFor(t);
  const second = watchFor(t);
  const both = Promise.all([nextChange(first), nextChange(second)]);
  assert.strictEqual(standIn.deliver(1, 40), 1, 'one sink registered for both watchers');
  assert.deepStrictEqual(await both, [{ volume: 40, muted: true }, { volume: 40, muted: true }]);

  // A handler of the first closes the second, which sees nothing more.
  const seenBySecond = [];
  second.on('change', (change) => seenBySecond.push(change));
  let secondClosed;
  first.once('change', () => {
    secondClosed = second.close();
  });
  const change = nextChange(first);
  assert.strictEqual(standIn.deliver(0, 55), 1);
  assert.deepStrictEqual(await change, { volume: 55, muted: false });
  await secondClosed;
  assert.deepStrictEqual(seenBySecond, []);

  await first.close();
  assert.strictEqual(standIn.deliver(0, 60), 0, 'the last close let go of the device');
});

test('a change handler may call the getters', async (t) => {
  const watcher = watchFor(t);
  const read = new Promise((resolve) => {
    watcher.once('change', () => resolve([quorvel.getVolume(), quorvel.getMuted()]));
  });
  standIn.deliver(1, 33);
  assert.deepStrictEqual(await read, [33, true]);
  await watcher.close();
});

test('close() during a burst of changes lets go within 2 s, and nothing follows it', async (t) => {
  const watcher = watchFor(t);
  t.after(() => standIn.stopChanges());
  let afterClose = 0;
  let closed = false;
  watcher.on('change', () => {
    afterClose += closed ? 1 : 0;
  });
  standIn.startChanges();
  await nextChange(watcher);
  standIn.holdMainThread();
  const started = Date.now();
  const closing = watcher.close();
  assert.throws(() => quorvel.getVolume(), { name: 'QuorvelError', code: 'ERR_QUORVEL_BUSY' });
  assert.throws(() => quorvel.watch(), { code: 'ERR_QUORVEL_BUSY' });
  await closing;
  closed = true;
  const elapsed = Date.now() - started;
  await new Promise((resolve) => setTimeout(resolve, 200));
  standIn.stopChanges();
  assert.ok(elapsed < 2000, `close() took ${elapsed} ms`);
  assert.strictEqual(afterClose, 0);
  assert.strictEqual(standIn.deliver(0, 50), 0, 'nothing left registered');
});

test('an async iteration sees the changes, and leaving it closes the watcher', async (t) => {
  const watcher = watchFor(t);
  const seen = [];
  // Each delivery has a thread of its own: one at a time keeps their order.
  standIn.deliver(0, 10);
  for await (const change of watcher) {
    seen.push(change.volume);
    if (seen.length === 2) {
      break;
    }
    standIn.deliver(0, 20);
  }
  assert.deepStrictEqual(seen, [10, 20]);
  assert.strictEqual(standIn.deliver(0, 30), 0, 'break closed the last watcher');
  assert.throws(() => watcher[Symbol.asyncIterator](), { code: 'ERR_QUORVEL_CLOSED' });
  assert.strictEqual(watcher.close(), watcher.close(), 'close() after close gives the same promise');
  assert.strictEqual(watcher.ref().unref(), watcher);
});

test('an AbortSignal closes the watcher and ends its iterations', async (t) => {
  const controller = new AbortController();
  const watcher = watchFor(t, { signal: controller.signal });
  const next = watcher[Symbol.asyncIterator]().next();
  controller.abort();
  assert.deepStrictEqual(await next, { value: undefined, done: true });
  await watcher.close();
  assert.strictEqual(standIn.deliver(0, 30), 0);

  const already = quorvel.watch({ signal: controller.signal });
  assert.throws(() => already[Symbol.asyncIterator](), { code: 'ERR_QUORVEL_CLOSED' });
  assert.strictEqual(standIn.deliver(0, 30), 0, 'an aborted signal binds nothing');
});
