'use strict';
// The package's JavaScript layer on a platform it does not support:
// loading, argument checks (which come first everywhere), the unsupported
// error, the single state behind both module faces, and where the DLL is
// looked for inside Electron's asar archive.
const { test } = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

const packageDir = path.resolve(__dirname, '../../../packages/node');
const quorvel = require(packageDir);
const { unpackedPath } = require(path.join(packageDir, 'lib/dll_path'));

test('bad arguments throw Node-style errors before anything else', () => {
  const badType = { name: 'TypeError', code: 'ERR_INVALID_ARG_TYPE' };
  const outOfRange = { name: 'RangeError', code: 'ERR_OUT_OF_RANGE' };
  for (const percent of ['50', null, undefined, 50n, true]) {
    assert.throws(() => quorvel.setVolume(percent), badType, String(percent));
  }
  for (const percent of [-1, 101, 50.5, NaN, Infinity]) {
    assert.throws(() => quorvel.setVolume(percent), outOfRange, String(percent));
  }
  assert.throws(() => quorvel.setVolume(101), /^RangeError: setVolume: .*received 101$/);
  for (const muted of [1, 0, 'true', null, undefined]) {
    assert.throws(() => quorvel.setMuted(muted), badType, String(muted));
  }
  for (const options of [null, 'ref', { ref: 1 }, { signal: {} }, { signal: null }]) {
    assert.throws(() => quorvel.watch(options), badType, JSON.stringify(options));
  }
});

test('elsewhere than Windows it loads, and every call says it is unsupported', () => {
  assert.strictEqual(quorvel.isSupported, false);
  const calls = {
    getVolume: () => quorvel.getVolume(),
    setVolume: () => quorvel.setVolume(0),
    getMuted: () => quorvel.getMuted(),
    setMuted: () => quorvel.setMuted(true),
    watch: () => quorvel.watch({ signal: AbortSignal.abort(), ref: false }),
  };
  for (const [operation, call] of Object.entries(calls)) {
    assert.throws(call, (error) => {
      assert.ok(error instanceof quorvel.QuorvelError);
      assert.strictEqual(error.code, 'ERR_QUORVEL_UNSUPPORTED_PLATFORM');
      assert.ok(error.message.startsWith(`${operation}: `), error.message);
      return true;
    });
  }
});

test('the ES module face shares the CommonJS state', async () => {
  const esm = await import(pathToFileURL(path.join(packageDir, 'index.mjs')));
  assert.strictEqual(esm.default, quorvel);
  assert.strictEqual(esm.getVolume, quorvel.getVolume);
  assert.strictEqual(esm.QuorvelError, quorvel.QuorvelError);
});

test('inside Electron the DLLs are looked for in app.asar.unpacked', (t) => {
  for (const [inside, unpacked] of [
    ['C:\\app\\resources\\app.asar\\node_modules\\quorvel\\bin', 'C:\\app\\resources\\app.asar.unpacked\\node_modules\\quorvel\\bin'],
    ['/opt/app/resources/app.asar/node_modules/quorvel', '/opt/app/resources/app.asar.unpacked/node_modules/quorvel'],
  ]) {
    assert.strictEqual(unpackedPath(inside), unpacked);
    assert.strictEqual(unpackedPath(unpacked), unpacked);
  }
  assert.strictEqual(unpackedPath('C:\\my-app.asar\\x\\Quorvel.dll'), 'C:\\my-app.asar\\x\\Quorvel.dll');

  // The package itself, installed in an archive's folder, in Electron.
  const resources = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvel-electron-'));
  t.after(() => fs.rmSync(resources, { recursive: true, force: true }));
  const installed = path.join(resources, 'app.asar', 'node_modules', 'quorvel');
  fs.cpSync(packageDir, installed, { recursive: true });
  const { dllPath } = require(path.join(installed, 'lib/dll_path'));
  process.versions.electron = '30.0.0';
  t.after(() => delete process.versions.electron);
  assert.strictEqual(dllPath('QuorvelRelay.dll'), path.join(resources, 'app.asar.unpacked',
    'node_modules', 'quorvel', 'bin', `win32-${process.arch}`, 'QuorvelRelay.dll'));
});
