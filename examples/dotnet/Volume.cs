// Volume: reads and changes the default playback device's volume and mute
// through Quorvel.dll, and watches for changes.
//
//   Volume get
//   Volume set PERCENT
//   Volume mute on|off
//   Volume watch SECONDS
using System;
using System.Collections.Concurrent;
using System.Runtime.InteropServices;

static class Quorvel
{
    [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
    public delegate int VolumeChangeCallback(int muted, int percent);

    [DllImport("Quorvel.dll", CallingConvention = CallingConvention.Cdecl)]
    public static extern int InitEndPoint(VolumeChangeCallback callback);
    [DllImport("Quorvel.dll", CallingConvention = CallingConvention.Cdecl)]
    public static extern int UninitEndPoint();
    [DllImport("Quorvel.dll", CallingConvention = CallingConvention.Cdecl)]
    public static extern int VolumeSet(int percent);
    [DllImport("Quorvel.dll", CallingConvention = CallingConvention.Cdecl)]
    public static extern int VolumeGet(ref int percent);
    [DllImport("Quorvel.dll", CallingConvention = CallingConvention.Cdecl)]
    public static extern int MuteSet(int muted);
    [DllImport("Quorvel.dll", CallingConvention = CallingConvention.Cdecl)]
    public static extern int MuteGet();
}

static class Program
{
    // Changes arrive on the audio service's thread: the callback only hands
    // them to the main thread, which prints them.
    static readonly BlockingCollection<(int muted, int percent)> changes =
        new BlockingCollection<(int muted, int percent)>();

    // Kept in a static field for as long as the library is bound, or the
    // garbage collector frees it under the audio service's feet.
    static readonly Quorvel.VolumeChangeCallback onChange = (muted, percent) =>
    {
        changes.Add((muted, percent));
        return 0;
    };

    static int Main(string[] args)
    {
        string command = args.Length > 0 ? args[0] : "";
        bool known = (command == "get" && args.Length == 1) ||
                     ((command == "set" || command == "mute" || command == "watch") && args.Length == 2);
        if (!known)
        {
            return Usage();
        }
        if (Quorvel.InitEndPoint(command == "watch" ? onChange : null) != 1)
        {
            Quorvel.UninitEndPoint();   // releases what the failed attempt obtained
            Console.Error.WriteLine("Volume: no default playback device found");
            return 1;
        }
        try
        {
            switch (command)
            {
                case "get": PrintState(); return 0;
                case "set": return SetVolume(args[1]);
                case "mute": return SetMute(args[1]);
                default: return Watch(args[1]);
            }
        }
        finally
        {
            Quorvel.UninitEndPoint();   // on the thread that called InitEndPoint
        }
    }

    static int Usage()
    {
        Console.Error.WriteLine("usage: Volume get");
        Console.Error.WriteLine("       Volume set PERCENT     (0..100; other values are clamped)");
        Console.Error.WriteLine("       Volume mute on|off");
        Console.Error.WriteLine("       Volume watch SECONDS");
        return 2;
    }

    static void PrintState()
    {
        int percent = -1;   // VolumeGet writes nothing when it cannot read the level
        Quorvel.VolumeGet(ref percent);
        Console.WriteLine($"volume {percent}%, mute {(Quorvel.MuteGet() != 0 ? "on" : "off")}");
    }

    static int SetVolume(string argument)
    {
        if (!long.TryParse(argument, out long value))
        {
            return Usage();
        }
        // Beyond int it is clamped here, as the library clamps the rest.
        int status = Quorvel.VolumeSet((int)Math.Max(int.MinValue, Math.Min(int.MaxValue, value)));
        if (status < 0)
        {
            Console.Error.WriteLine($"Volume: the audio service refused the volume change (status 0x{status:X8})");
            return 1;
        }
        PrintState();
        return 0;
    }

    static int SetMute(string argument)
    {
        if (argument != "on" && argument != "off")
        {
            return Usage();
        }
        int wanted = argument == "on" ? 1 : 0;
        Quorvel.MuteSet(wanted);
        // The library reports no status for mute, so read the flag back.
        if (Quorvel.MuteGet() != wanted)
        {
            Console.Error.WriteLine("Volume: the audio service refused the mute change");
            return 1;
        }
        PrintState();
        return 0;
    }

    static int Watch(string argument)
    {
        if (!int.TryParse(argument, out int seconds) || seconds < 0)
        {
            return Usage();
        }
        Console.WriteLine("watching for volume and mute changes");
        PrintState();
        DateTime deadline = DateTime.UtcNow.AddSeconds(seconds);
        for (TimeSpan left; (left = deadline - DateTime.UtcNow) > TimeSpan.Zero;)
        {
            if (changes.TryTake(out var change, left))
            {
                Console.WriteLine($"{DateTime.Now:yyyy-MM-dd HH:mm:ss.fff} volume {change.percent}%, " +
                                  $"mute {(change.muted != 0 ? "on" : "off")}");
            }
        }
        return 0;
    }
}
