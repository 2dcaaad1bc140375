'use strict';
// The process's one binding to the default playback device, shared by the
// getters, the setters and every open watcher. It is made on first use, on
// the JS main thread, because the library initialises COM on the thread
// that binds. While no watcher is open it is made without a host function,
// so that no change reaches JavaScript; the first watcher binds again with
// the relay's, and the last one lets go.
//
// Which thread waits for what: the audio service's thread, and the pool
// thread after a move, call the relay's host function, which queues the
// change and returns. The relay's own thread calls onChange through koffi,
// which runs it on the main thread and holds the relay's thread until it
// has: the only thread that ever waits for the main thread.
const { unsupported, noDevice, busy, noRelay } = require('./errors');

const isSupported = process.platform === 'win32' && (process.arch === 'ia32' || process.arch === 'x64');

let dll = null;
let relayed = null; // onChange, registered with koffi while the relay runs
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

// Runs on the main thread while the relay's thread waits for it: only
// copies the change, and hands it to the watchers once it is back. A
// change the relay was delivering as the last watcher closed goes nowhere.
function onChange(muted, percent) {
  if (watchers.size === 0) {
    return 0;
  }
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
    bind('watch', dll.relayChange);
    startRelay();
    process.on('beforeExit', closeAll);
  }
  watchers.add(watcher);
}

// Changes told before the relay runs are dropped: no watcher exists yet.
function startRelay() {
  const registered = dll.register(onChange);
  if (dll.RelayStart(registered) !== 1) {
    dll.unregister(registered);
    // The relay's host function never waits: letting go here is safe.
    dll.UninitEndPoint();
    bound = false;
    withHostFunction = false;
    throw noRelay('watch');
  }
  relayed = registered;
}

// Runs a DLL function on one of koffi's worker threads.
const offMainThread = (fn) =>
  new Promise((resolve, reject) => fn.async((error) => (error ? reject(error) : resolve())));

// Letting go waits for a move under way, which may wait on the audio
// service: it runs on a worker thread. Then a second call here, with
// nothing held, undoes this thread's COM initialisation and cannot wait on
// the service. The relay is told to stop, which never waits: its thread
// ends after the call of onChange it may be waiting in, which this thread
// runs once back in its event loop. That end is awaited on a worker
// thread, and only then is onChange unregistered, as a call to an
// unregistered koffi function is fatal.
async function withdraw() {
  await offMainThread(dll.UninitEndPoint);
  dll.UninitEndPoint();
  bound = false;
  withHostFunction = false;
  dll.RelayStop();
  await offMainThread(dll.RelayJoin);
  dll.unregister(relayed);
  relayed = null;
}

// Resolves once the binding no longer holds the watcher's host function,
// when it was the last one.
function removeWatcher(watcher) {
  watchers.delete(watcher);
  if (watchers.size > 0 || !withHostFunction) {
    return Promise.resolve();
  }
  process.off('beforeExit', closeAll);
  withdrawal = withdraw().finally(() => {
    withdrawal = null;
  });
  return withdrawal;
}

// The event loop is ending with only unref'd watchers open: they are
// closed, and the letting go keeps the loop alive until it is done. On
// process.exit() and uncaught exceptions nothing is called: the DLLs stay
// loaded, the binding in place and onChange registered (the relay's thread
// may be waiting in it), until the process is gone.
function closeAll() {
  for (const watcher of [...watchers]) {
    watcher.close();
  }
}

module.exports = { isSupported, deliverChange, functions, use, addWatcher, removeWatcher };
