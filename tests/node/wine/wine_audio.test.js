'use strict';
// The package against Wine's own audio service: a level it always reports
// as 100%, level changes it refuses, and COM on the main thread.
const { test } = require('node:test');
const assert = require('node:assert');
const koffi = require('koffi');
const quorvel = require('quorvel');

const ole32 = koffi.load('ole32.dll');
const CoInitializeEx = ole32.func('uint32 __stdcall CoInitializeEx(void *reserved, uint32 model)');
const CoUninitialize = ole32.func('void __stdcall CoUninitialize()');
const COINIT_MULTITHREADED = 0;
const RPC_E_CHANGED_MODE = 0x80010106;

// Whether the main thread is free of COM: the library's binding makes it
// single-threaded, which a multithreaded initialisation then finds.
function mainThreadComFree() {
  const status = CoInitializeEx(null, COINIT_MULTITHREADED);
  if (status < 0x80000000) {
    CoUninitialize();
  }
  assert.ok(status === 0 || status === RPC_E_CHANGED_MODE, `CoInitializeEx: 0x${status.toString(16)}`);
  return status === 0;
}

test('the last close balances the main thread\'s COM', async (t) => {
  assert.strictEqual(mainThreadComFree(), true);
  const first = quorvel.watch();
  const second = quorvel.watch();
  // Closed however the test ends, so that a failure cannot leave it waiting.
  t.after(() => Promise.all([first.close(), second.close()]));
  assert.strictEqual(mainThreadComFree(), false);
  await first.close();
  assert.strictEqual(mainThreadComFree(), false, 'still bound for the second watcher');
  await second.close();
  assert.strictEqual(mainThreadComFree(), true);
});

test('get, mute, and a refused level change', () => {
  assert.strictEqual(quorvel.getVolume(), 100);
  assert.throws(() => quorvel.setVolume(50), (error) => {
    assert.ok(error instanceof quorvel.QuorvelError);
    assert.strictEqual(error.code, 'ERR_QUORVEL_REFUSED');
    assert.strictEqual(error.hresult, 0x80004001);
    assert.match(error.message, /^setVolume: .*0x80004001/);
    return true;
  });
  quorvel.setMuted(true);
  assert.strictEqual(quorvel.getMuted(), true);
  quorvel.setMuted(false);
  assert.strictEqual(quorvel.getMuted(), false);
});
