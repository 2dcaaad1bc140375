// The NuGet package on a real audio service: read, set, read back, be told
// of its own change, restore.
using System;
using System.Threading;
using Quorvel;

// Within this the watcher must be told; generous, for a loaded CI machine.
TimeSpan toldWithin = TimeSpan.FromSeconds(5);

int before = SystemVolume.Volume;
int wanted = before >= 50 ? before - 20 : before + 20;
int told = -1;
using var heard = new ManualResetEventSlim();
int read;
using (VolumeWatcher watcher = SystemVolume.Watch())
{
    watcher.Changed += (sender, e) =>
    {
        if (Math.Abs(e.Volume - wanted) <= 1)
        {
            told = e.Volume;
            heard.Set();
        }
    };
    SystemVolume.Volume = wanted;
    read = SystemVolume.Volume;
    heard.Wait(toldWithin);
}
SystemVolume.Volume = before;
int restored = SystemVolume.Volume;
Console.WriteLine($"read {before}%, set {wanted}%, read back {read}%, told {told}%, restored {restored}%");
return Math.Abs(read - wanted) <= 1 && heard.IsSet && restored == before ? 0 : 1;
