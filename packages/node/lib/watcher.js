'use strict';
// A watcher of the default playback device: 'change' events and an async
// iterator over the same changes, closed by close(), by its AbortSignal or
// by leaving a for await loop.
const { EventEmitter } = require('events');
const binding = require('./binding');
const { closed } = require('./errors');

const done = Object.freeze({ value: undefined, done: true });
const asyncDispose = Symbol.asyncDispose ?? Symbol.for('nodejs.asyncDispose');

class Watcher extends EventEmitter {
  #closing = null;
  #keepAlive = null;
  #signal = null;
  #iterators = new Set();
  #onAbort = () => this.close();

  // Options are checked by watch(). An aborted signal gives a closed watcher.
  constructor({ signal, ref = true }) {
    super();
    if (signal?.aborted) {
      this.#closing = Promise.resolve();
      return;
    }
    binding.addWatcher(this);
    // Keeps the event loop alive, as a timer does, until unref() or close().
    this.#keepAlive = setInterval(() => {}, 0x7fffffff);
    if (!ref) {
      this.#keepAlive.unref();
    }
    if (signal !== undefined) {
      this.#signal = signal;
      signal.addEventListener('abort', this.#onAbort, { once: true });
    }
  }

  // Called by the binding with a change of the watcher's own.
  [binding.deliverChange](change) {
    for (const iterator of this.#iterators) {
      iterator.push(change);
    }
    this.emit('change', change);
  }

  ref() {
    this.#keepAlive?.ref();
    return this;
  }

  unref() {
    this.#keepAlive?.unref();
    return this;
  }

  // Stops every event and iteration at once; resolves when the device is
  // let go of, if this was the last watcher.
  close() {
    if (this.#closing === null) {
      clearInterval(this.#keepAlive);
      this.#keepAlive = null;
      this.#signal?.removeEventListener('abort', this.#onAbort);
      for (const iterator of this.#iterators) {
        iterator.end();
      }
      this.#iterators.clear();
      this.#closing = binding.removeWatcher(this);
    }
    return this.#closing;
  }

  [asyncDispose]() {
    return this.close();
  }

  // Each iteration sees every change from its start on.
  [Symbol.asyncIterator]() {
    if (this.#closing !== null) {
      throw closed('watcher[Symbol.asyncIterator]');
    }
    const queued = [];
    const waiting = [];
    let ended = false;
    const iterator = {
      push(change) {
        if (waiting.length > 0) {
          waiting.shift()({ value: change, done: false });
        } else {
          queued.push(change);
        }
      },
      end() {
        ended = true;
        queued.length = 0;
        for (const resolve of waiting.splice(0)) {
          resolve(done);
        }
      },
    };
    this.#iterators.add(iterator);
    return {
      next: () => {
        if (queued.length > 0) {
          return Promise.resolve({ value: queued.shift(), done: false });
        }
        return ended ? Promise.resolve(done) : new Promise((resolve) => waiting.push(resolve));
      },
      // Leaving a for await loop closes the watcher.
      return: async () => {
        await this.close();
        return done;
      },
      [Symbol.asyncIterator]() {
        return this;
      },
    };
  }
}

module.exports = { Watcher };
