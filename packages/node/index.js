'use strict';
// quorvel: the default playback device's volume and mute, and its changes.
// The getters and setters are synchronous, as the DLL is: a call costs
// well under a microsecond.
const binding = require('./lib/binding');
const { Watcher } = require('./lib/watcher');
const { QuorvelError, checkPercent, checkBoolean, invalidType, noDevice, refused } = require('./lib/errors');

const NOT_BOUND = 0x88890001;

function getVolume() {
  const percent = [-1]; // VolumeGet writes nothing when it cannot read the level
  binding.use('getVolume').VolumeGet(percent);
  if (percent[0] < 0) {
    throw noDevice('getVolume');
  }
  return percent[0];
}

function setVolume(percent) {
  checkPercent('setVolume', percent);
  const status = binding.use('setVolume').VolumeSet(percent);
  if (status === NOT_BOUND) {
    throw noDevice('setVolume');
  }
  if (status >= 0x80000000) {
    throw refused('setVolume', status);
  }
}

function getMuted() {
  return binding.use('getMuted').MuteGet() !== 0;
}

function setMuted(muted) {
  checkBoolean('setMuted', 'muted', muted);
  binding.use('setMuted').MuteSet(muted ? 1 : 0);
}

function watch(options = {}) {
  if (typeof options !== 'object' || options === null) {
    throw invalidType('watch', 'options', 'an object', options);
  }
  const { signal, ref = true } = options;
  if (signal !== undefined && !(signal instanceof AbortSignal)) {
    throw invalidType('watch', 'options.signal', 'an AbortSignal', signal);
  }
  checkBoolean('watch', 'options.ref', ref);
  binding.functions('watch');
  return new Watcher({ signal, ref });
}

module.exports = {
  isSupported: binding.isSupported, getVolume, setVolume, getMuted, setMuted, watch, QuorvelError,
};
