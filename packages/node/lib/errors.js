'use strict';
// The errors the package throws. Each carries a `code`, as Node's own do;
// the platform's refusals carry the HRESULT too.

class QuorvelError extends Error {
  constructor(code, message, hresult) {
    super(message);
    this.name = 'QuorvelError';
    this.code = code;
    if (hresult !== undefined) {
      this.hresult = hresult;
    }
  }
}

const hex = (value) => `0x${value.toString(16).toUpperCase().padStart(8, '0')}`;

const describe = (value) =>
  typeof value === 'string' ? `'${value}'` : typeof value === 'bigint' ? `${value}n` : String(value);

function invalidType(operation, name, expected, value) {
  const error = new TypeError(
    `${operation}: "${name}" must be ${expected}; received ${value === null ? 'null' : typeof value} ${describe(value)}`);
  error.code = 'ERR_INVALID_ARG_TYPE';
  return error;
}

function checkPercent(operation, percent) {
  if (typeof percent !== 'number') {
    throw invalidType(operation, 'percent', 'a number', percent);
  }
  if (!Number.isInteger(percent) || percent < 0 || percent > 100) {
    const error = new RangeError(
      `${operation}: "percent" must be an integer from 0 to 100; received ${percent}`);
    error.code = 'ERR_OUT_OF_RANGE';
    throw error;
  }
}

function checkBoolean(operation, name, value) {
  if (typeof value !== 'boolean') {
    throw invalidType(operation, name, 'a boolean', value);
  }
}

const unsupported = (operation) =>
  new QuorvelError('ERR_QUORVEL_UNSUPPORTED_PLATFORM',
    `${operation}: quorvel runs on Windows (ia32 or x64) only, not on ${process.platform}-${process.arch}`);

const noDevice = (operation) =>
  new QuorvelError('ERR_QUORVEL_NO_DEVICE', `${operation}: no default playback device`);

const refused = (operation, hresult) =>
  new QuorvelError('ERR_QUORVEL_REFUSED',
    `${operation}: the audio service refused the change (HRESULT ${hex(hresult)})`, hresult);

const busy = (operation) =>
  new QuorvelError('ERR_QUORVEL_BUSY',
    `${operation}: a watcher's close() is still letting go of the device; await it first`);

const noRelay = (operation) =>
  new QuorvelError('ERR_QUORVEL_NO_THREAD',
    `${operation}: the thread that relays changes could not be started`);

const closed = (operation) =>
  new QuorvelError('ERR_QUORVEL_CLOSED', `${operation}: the watcher is closed`);

module.exports = {
  QuorvelError, invalidType, checkPercent, checkBoolean, unsupported, noDevice, refused, busy, noRelay, closed,
};
