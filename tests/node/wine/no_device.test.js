'use strict';
// The package where Wine has no playback device at all.
const { test } = require('node:test');
const assert = require('node:assert');
const quorvel = require('quorvel');

test('every call says there is no device, and nothing stays bound', () => {
  const noDevice = { name: 'QuorvelError', code: 'ERR_QUORVEL_NO_DEVICE' };
  assert.throws(() => quorvel.getVolume(), noDevice);
  assert.throws(() => quorvel.setVolume(50), noDevice);
  assert.throws(() => quorvel.getMuted(), noDevice);
  assert.throws(() => quorvel.setMuted(true), noDevice);
  assert.throws(() => quorvel.watch({ ref: false }), noDevice);
});
