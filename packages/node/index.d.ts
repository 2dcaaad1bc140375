// The default playback device's volume and mute, and its changes, on
// Windows (ia32 and x64). Elsewhere isSupported is false and every call
// throws a QuorvelError with code 'ERR_QUORVEL_UNSUPPORTED_PLATFORM'.
import { EventEmitter } from 'node:events';

export declare const isSupported: boolean;

/** The master volume in percent (0..100) and the mute flag. */
export interface VolumeChange {
  volume: number;
  muted: boolean;
}

export interface WatchOptions {
  /** Closes the watcher when aborted; an aborted signal gives a closed watcher. */
  signal?: AbortSignal;
  /** Whether the watcher keeps the event loop alive (default true), as for timers. */
  ref?: boolean;
}

/** Every change of the device's volume or mute, whoever made it. */
export interface Watcher extends EventEmitter, AsyncIterable<VolumeChange> {
  on(event: 'change', listener: (change: VolumeChange) => void): this;
  once(event: 'change', listener: (change: VolumeChange) => void): this;
  off(event: 'change', listener: (change: VolumeChange) => void): this;
  addListener(event: 'change', listener: (change: VolumeChange) => void): this;
  removeListener(event: 'change', listener: (change: VolumeChange) => void): this;
  ref(): this;
  unref(): this;
  /** Stops events and iterations at once; resolves when the device is let go of. */
  close(): Promise<void>;
  [Symbol.asyncIterator](): AsyncIterator<VolumeChange, undefined>;
  [Symbol.asyncDispose](): Promise<void>;
}

export type QuorvelErrorCode =
  | 'ERR_QUORVEL_NO_DEVICE'
  | 'ERR_QUORVEL_REFUSED'
  | 'ERR_QUORVEL_UNSUPPORTED_PLATFORM'
  | 'ERR_QUORVEL_CLOSED'
  | 'ERR_QUORVEL_BUSY'
  | 'ERR_QUORVEL_NO_THREAD';

export declare class QuorvelError extends Error {
  readonly code: QuorvelErrorCode;
  /** The platform's status, unsigned, for 'ERR_QUORVEL_REFUSED'. */
  readonly hresult?: number;
}

/** The master volume in percent, 0..100. */
export declare function getVolume(): number;
/** Sets the master volume; an integer 0..100. */
export declare function setVolume(percent: number): void;
export declare function getMuted(): boolean;
export declare function setMuted(muted: boolean): void;
export declare function watch(options?: WatchOptions): Watcher;
