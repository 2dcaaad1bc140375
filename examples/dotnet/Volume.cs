// Volume: reads and changes the default playback device's volume and mute
// through the Quorvel package, and watches for changes.
//
//   Volume get
//   Volume set PERCENT
//   Volume mute on|off
//   Volume watch SECONDS
using System;
using System.Threading;
using Quorvel;

static class Program
{
    static int Main(string[] args)
    {
        string command = args.Length > 0 ? args[0] : "";
        bool known = (command == "get" && args.Length == 1) ||
                     ((command == "set" || command == "mute" || command == "watch") && args.Length == 2);
        if (!known)
        {
            return Usage();
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
        catch (QuorvelException e) when (e.Error == QuorvelError.NoDevice)
        {
            Console.Error.WriteLine("Volume: no default playback device found");
            return 1;
        }
        catch (QuorvelException e) when (e.Error == QuorvelError.Refused)
        {
            Console.Error.WriteLine($"Volume: the audio service refused the volume change (status 0x{e.HResult:X8})");
            return 1;
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

    static void PrintState() => Print(SystemVolume.Volume, SystemVolume.Muted);

    static void Print(int volume, bool muted) =>
        Console.WriteLine($"volume {volume}%, mute {(muted ? "on" : "off")}");

    static int SetVolume(string argument)
    {
        if (!long.TryParse(argument, out long value))
        {
            return Usage();
        }
        SystemVolume.Volume = (int)Math.Max(0, Math.Min(100, value));
        PrintState();
        return 0;
    }

    static int SetMute(string argument)
    {
        if (argument != "on" && argument != "off")
        {
            return Usage();
        }
        bool wanted = argument == "on";
        SystemVolume.Muted = wanted;
        // The service reports no status for mute, so read the flag back.
        if (SystemVolume.Muted != wanted)
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
        using (VolumeWatcher watcher = SystemVolume.Watch())
        {
            // Raised on a thread-pool thread (a console program has no UI
            // thread to raise it on), one change at a time, in order.
            watcher.Changed += (sender, change) =>
                Console.WriteLine($"{DateTime.Now:yyyy-MM-dd HH:mm:ss.fff} volume {change.Volume}%, " +
                                  $"mute {(change.Muted ? "on" : "off")}");
            Console.WriteLine("watching for volume and mute changes");
            PrintState();
            Thread.Sleep(TimeSpan.FromSeconds(seconds));
        }
        return 0;
    }
}
