'use strict';
// The process's one binding to the default playback device, shared by the
// getters, the setters and every open watcher. It is made on first use, on
// the JS main thread, because the library initialises COM on the thread
// that binds. While no watcher is open it is made without a host function,
// so that no change passes through the JS thread; the first watcher binds
// again with one, and the last one lets go.
const { unsupported, noDevice, busy } = require('./errors');

const isSupported = process.platform === 'win32' && (process.arch === 'ia32' || process.arch === 'x64');

let dll = null;
let hostFunction = null;
let bound = false;
let withHostFunction = false;
let withdrawal = null; // the promise of a letting go in progress
const watchers = new Set();
let changes = [];
// The method by which a watcher is handed its changes, out of users' sight.
const deliverChange = Symbol('deliverChange');

function functions(operation) {
  if (!isSupported) {
    throw unsupported(operation);
  }
  return (dll ??= require('./native'));
}

// Runs on the main thread while the audio service's thread waits for it:
// only copies the change, and hands it to the watchers once it is back.
function onChange(muted, percent) {
  changes.push({ volume: percent, muted: muted !== 0 });
  if (changes.length === 1) {
    setImmediate(deliver);
  }
  return 0;
}

function deliver() {
  const delivered = changes;
  changes = [];
  for (const change of delivered) {
    for (const watcher of [...watchers]) {
      // A handler may have closed another watcher meanwhile.
      if (watchers.has(watcher)) {
        watcher[deliverChange]({ ...change });
      }
    }
  }
}

function bind(operation, host) {
  if (dll.InitEndPoint(host) !== 1) {
    dll.UninitEndPoint(); // releases what the failed attempt obtained
    throw noDevice(operation);
  }
  bound = true;
  withHostFunction = host !== null;
}

// The DLL's functions, bound, for a getter or setter.
function use(operation) {
  functions(operation);
  if (withdrawal !== null) {
    throw busy(operation);
  }
  if (!bound) {
    bind(operation, null);
  }
  return dll;
}

function addWatcher(watcher) {
  functions('watch');
  if (withdrawal !== null) {
    throw busy('watch');
  }
  if (!withHostFunction) {
    if (bound) {
      // Bound without a host function: a delivery in progress only passes
      // through the DLL, so letting go here cannot wait on this thread.
      dll.UninitEndPoint();
      bound = false;
    }
    hostFunction ??= dll.register(onChange);
    bind('watch', hostFunction);
    process.on('beforeExit', closeAll);
  }
  watchers.add(watcher);
}

// Resolves once the binding no longer holds the watcher's host function,
// when it was the last one.
function removeWatcher(watcher) {
  watchers.delete(watcher);
  if (watchers.size > 0 || !withHostFunction) {
    return Promise.resolve();
  }
  process.off('beforeExit', closeAll);
  // Letting go waits for a delivery in progress, which waits for this
  // thread to run the host function: it runs on a worker thread. Then a
  // second call here, with nothing held, undoes this thread's COM
  // initialisation and cannot wait on the service.
  withdrawal = new Promise((resolve, reject) => {
    dll.UninitEndPoint.async((error) => {
      withdrawal = null;
      if (error) {
        reject(error);
        return;
      }
      dll.UninitEndPoint();
      bound = false;
      withHostFunction = false;
      resolve();
    });
  });
  return withdrawal;
}

// The event loop is ending with only unref'd watchers open: they are
// closed, and the letting go keeps the loop alive until it is done. On
// process.exit() and uncaught exceptions nothing is called: the DLL stays
// loaded, and the binding in place, until the process is gone.
function closeAll() {
  for (const watcher of [...watchers]) {
    watcher.close();
  }
}

module.exports = { isSupported, deliverChange, functions, use, addWatcher, removeWatcher };
