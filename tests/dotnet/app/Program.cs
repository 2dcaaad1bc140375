// The Quorvel package against the stand-in audio service (quorvel_stand_in.dll,
// whose changes arrive on threads of its own), Wine's own service, or no
// device: PackageTest stand_in|wine_audio|no_device|exit. Prints a line per
// check; the first failed check ends the run with exit code 1.
using System;
using System.Collections.Concurrent;
using System.Collections.Generic;
using System.Linq;
using System.Runtime.InteropServices;
using System.Threading;
using Quorvel;

static class StandIn
{
    [DllImport("quorvel_stand_in.dll", CallingConvention = CallingConvention.Cdecl)]
    public static extern int StandInRegister();
    [DllImport("quorvel_stand_in.dll", CallingConvention = CallingConvention.Cdecl)]
    public static extern int StandInDeliver(int muted, int percent);
    [DllImport("quorvel_stand_in.dll", CallingConvention = CallingConvention.Cdecl)]
    public static extern int StandInStartChanges();
    [DllImport("quorvel_stand_in.dll", CallingConvention = CallingConvention.Cdecl)]
    public static extern void StandInStopChanges();
    [DllImport("quorvel_stand_in.dll", CallingConvention = CallingConvention.Cdecl)]
    public static extern void StandInSwitchDefault(int device);
}

// Posts run one after another on a thread of its own, as on a UI thread.
sealed class OneThreadContext : SynchronizationContext
{
    readonly BlockingCollection<Action> posts = new BlockingCollection<Action>();
    public readonly Thread Thread;

    public OneThreadContext()
    {
        Thread = new Thread(() => { foreach (Action post in posts.GetConsumingEnumerable()) post(); });
        Thread.IsBackground = true;
        Thread.Start();
    }

    public override void Post(SendOrPostCallback callback, object state) => posts.Add(() => callback(state));
}

// What a watcher's handler saw.
sealed class Seen
{
    public readonly BlockingCollection<(VolumeChangedEventArgs change, Thread thread)> Changes =
        new BlockingCollection<(VolumeChangedEventArgs, Thread)>();

    public Seen(VolumeWatcher watcher) => watcher.Changed += (sender, change) => Changes.Add((change, Thread.CurrentThread));

    public VolumeChangedEventArgs Next(string what)
    {
        Program.Check(Changes.TryTake(out var seen, TimeSpan.FromSeconds(10)), what + ": told within 10 s");
        return seen.change;
    }

    // Nothing more arrives within a while.
    public void None(string what) => Program.Check(!Changes.TryTake(out _, 300), what);
}

static class Program
{
    public static void Check(bool condition, string what)
    {
        Console.WriteLine((condition ? "ok: " : "FAILED: ") + what);
        if (!condition) Environment.Exit(1);
    }

    static QuorvelException Expect(QuorvelError error, string what, Action action)
    {
        try { action(); }
        catch (QuorvelException e)
        {
            Check(e.Error == error, $"{what} throws {error} ({e.Message}, HResult 0x{e.HResult:X8})");
            return e;
        }
        Check(false, what + " throws " + error);
        return null;
    }

    static void Deliver(int muted, int percent) => Check(StandIn.StandInDeliver(muted, percent) > 0, "the stand-in has a sink to tell");

    static int Main(string[] args)
    {
        Console.WriteLine($"{(Environment.Is64BitProcess ? "x64" : "x86")} process, {RuntimeInformation.FrameworkDescription}");
        switch (args.FirstOrDefault())
        {
            case "stand_in": StandInChecks(); break;
            case "wine_audio":
                var refused = Expect(QuorvelError.Refused, "a set Wine's service refuses", () => SystemVolume.Volume = 50);
                Check(refused.HResult == unchecked((int)0x80004001), "HResult is the service's E_NOTIMPL");
                break;
            case "no_device":
                Expect(QuorvelError.NoDevice, "Volume get", () => { int _ = SystemVolume.Volume; });
                Expect(QuorvelError.NoDevice, "Volume set", () => SystemVolume.Volume = 10);
                Expect(QuorvelError.NoDevice, "Muted get", () => { bool _ = SystemVolume.Muted; });
                Expect(QuorvelError.NoDevice, "Muted set", () => SystemVolume.Muted = true);
                Expect(QuorvelError.NoDevice, "Watch", () => SystemVolume.Watch());
                break;
            case "exit":
                // Left open while changes keep arriving: the process still ends cleanly.
                Check(StandIn.StandInRegister() == 1, "stand-in registered");
                var seen = new Seen(SystemVolume.Watch());
                Check(StandIn.StandInStartChanges() == 1, "changes started");
                seen.Next("a change");
                Console.WriteLine("leaving with the watcher open");
                return 0;
            default:
                Console.WriteLine("usage: PackageTest stand_in|wine_audio|no_device|exit");
                return 2;
        }
        Console.WriteLine("all checks passed");
        return 0;
    }

    static void StandInChecks()
    {
        Check(StandIn.StandInRegister() == 1, "stand-in registered");
        foreach (int percent in new[] { 0, 37, 100 })
        {
            SystemVolume.Volume = percent;
            Check(SystemVolume.Volume == percent, $"Volume set and read back: {percent}");
        }
        foreach (int percent in new[] { -1, 101 })
        {
            try { SystemVolume.Volume = percent; Check(false, $"Volume = {percent} throws"); }
            catch (ArgumentOutOfRangeException) { Check(SystemVolume.Volume == 100, $"Volume = {percent} throws and changes nothing"); }
        }
        foreach (bool muted in new[] { true, false })
        {
            SystemVolume.Muted = muted;
            Check(SystemVolume.Muted == muted, $"Muted set and read back: {muted}");
        }

        // A change, on the pool, told once; on the context Watch was called on.
        VolumeWatcher pooled = SystemVolume.Watch();
        var onPool = new Seen(pooled);
        var context = new OneThreadContext();
        SynchronizationContext.SetSynchronizationContext(context);
        VolumeWatcher contexted = SystemVolume.Watch();
        SynchronizationContext.SetSynchronizationContext(null);
        var onContext = new Seen(contexted);
        Deliver(1, 40);
        var (change, thread) = onPool.Changes.Take();
        Check(change.Volume == 40 && change.Muted, "told 40%, muted");
        Check(thread.IsThreadPoolThread, "on a pool thread");
        Check(onContext.Changes.Take().thread == context.Thread, "on the context Watch was called on");
        onPool.None("told once");

        // Changes about every millisecond, alternating 30% and 70%: a change
        // lost, repeated or out of order leaves two alike side by side. On
        // the pool a slow handler would let the next change overtake, unless
        // events are raised one at a time. A collection first: the function
        // the DLL calls must survive it.
        EventHandler<VolumeChangedEventArgs> slow = (sender, e) => Thread.Sleep(15);
        pooled.Changed += slow;
        GC.Collect();
        GC.WaitForPendingFinalizers();
        Check(StandIn.StandInStartChanges() == 1, "changes started");
        // However slowly a loaded machine lets the stand-in's thread run.
        SpinWait.SpinUntil(() => onContext.Changes.Count >= 30, TimeSpan.FromSeconds(10));
        StandIn.StandInStopChanges();
        // Every change is queued once the stand-in stops; the slow handler
        // sees the last well after the context has.
        Thread.Sleep(300);
        SpinWait.SpinUntil(() => onPool.Changes.Count == onContext.Changes.Count, TimeSpan.FromSeconds(10));
        pooled.Changed -= slow;
        foreach (Seen seen in new[] { onContext, onPool })
        {
            var told = seen.Changes.Select(each => each.change.Volume).ToList();
            Check(told.Count >= 30 && told.Zip(told.Skip(1), (a, b) => a != b).All(x => x),
                  $"{told.Count} changes told in order, none twice");
            while (seen.Changes.TryTake(out _)) { }
        }

        // A handler that throws stops neither the next one nor, as the
        // changes below show, later events.
        int counted = 0;
        pooled.Changed += (sender, e) => throw new InvalidOperationException("a handler's fault");
        pooled.Changed += (sender, e) => Interlocked.Increment(ref counted);
        Deliver(0, 50);
        onPool.Next("a change");
        Check(SpinWait.SpinUntil(() => Volatile.Read(ref counted) == 1, TimeSpan.FromSeconds(10)),
              "the handler after a throwing one runs");

        // Dispose: nothing after it, twice is harmless; inside a handler too.
        // A third watcher shows the changes were told.
        VolumeWatcher witnessing = SystemVolume.Watch();
        var witness = new Seen(witnessing);
        contexted.Dispose();
        contexted.Dispose();
        while (onContext.Changes.TryTake(out _)) { }
        pooled.Changed += (sender, e) => ((VolumeWatcher)sender).Dispose();
        Deliver(1, 60);
        onPool.Next("the change the handler disposes in");
        witness.Next("the witness's first change");
        Deliver(0, 61);
        witness.Next("the witness's second change");
        onPool.None("no event after Dispose inside a handler");
        onContext.None("no event after Dispose");

        // A move of the default device is told with the new device's state.
        StandIn.StandInSwitchDefault(1);
        VolumeChangedEventArgs moved = witness.Next("the move");
        Check(moved.Volume != 61 && moved.Volume == SystemVolume.Volume, $"the move told the new device's {moved.Volume}%");
        witnessing.Dispose();
    }
}
