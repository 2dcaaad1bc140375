// Compiled against the package's declarations, never run: what a
// TypeScript user writes must type-check, and misuse must not.
import quorvel, { getVolume, setVolume, getMuted, setMuted, watch, isSupported, QuorvelError } from 'quorvel';
import type { VolumeChange, Watcher } from 'quorvel';

const level: number = getVolume();
setVolume(level);
const muted: boolean = getMuted();
setMuted(!muted);
const supported: boolean = isSupported && quorvel.isSupported;

const controller = new AbortController();
const watcher: Watcher = watch({ signal: controller.signal, ref: false }).ref().unref();
watcher.on('change', ({ volume, muted }: VolumeChange) => console.log(volume + 1, !muted));
for await (const change of watcher) {
  const percent: number = change.volume;
  console.log(percent, supported);
  break;
}
await watcher.close();
{
  await using scoped = quorvel.watch();
  scoped.once('change', (change) => console.log(change.muted));
}

try {
  setVolume(101);
} catch (error) {
  if (error instanceof QuorvelError && error.code === 'ERR_QUORVEL_REFUSED') {
    const status: number | undefined = error.hresult;
    console.log(status);
  }
}

// @ts-expect-error setMuted takes a boolean
setMuted(1);
// @ts-expect-error the volume is a number
setVolume('50');
// @ts-expect-error ref is a boolean
watch({ ref: 'yes' });
// @ts-expect-error a change carries a volume and a muted flag only
watcher.on('change', (change: VolumeChange) => change.level);
// @ts-expect-error no such error code
const code: QuorvelError['code'] = 'ERR_QUORVEL_UNKNOWN';
console.log(code);
