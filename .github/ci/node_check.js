// The npm package, installed from dist/quorvel-1.0.0.tgz, run by the
// Windows CI (.github/workflows/windows.yml) on a real audio service:
// read, set, read back, be told of its own change, restore.
'use strict';
const quorvel = require('quorvel');

// Within this the watcher must be told; generous, for a loaded CI machine.
const TOLD_WITHIN_MS = 5000;

async function main() {
  const before = quorvel.getVolume();
  const wanted = before >= 50 ? before - 20 : before + 20;
  const watcher = quorvel.watch();
  const told = new Promise((resolve) => {
    watcher.on('change', ({ volume }) => Math.abs(volume - wanted) <= 1 && resolve(volume));
    setTimeout(resolve, TOLD_WITHIN_MS, null);
  });
  quorvel.setVolume(wanted);
  const read = quorvel.getVolume();
  const heard = await told;
  quorvel.setVolume(before);
  const restored = quorvel.getVolume();
  await watcher.close();
  console.log(`read ${before}%, set ${wanted}%, read back ${read}%, told ${heard}%, ` +
    `restored ${restored}%`);
  const passed = Math.abs(read - wanted) <= 1 && heard !== null && restored === before;
  process.exitCode = passed ? 0 : 1;
}

main();
