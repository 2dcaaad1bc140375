using System;
using System.Runtime.ExceptionServices;
using System.Runtime.InteropServices;
using System.Threading;

namespace Quorvel
{
    // The process's one binding to the default playback device, shared by
    // every call and watcher, made on first use. While no watcher is open it
    // is made without a host function, so changes cost nothing; the first
    // watcher binds again with one, and the last one lets it go.
    //
    // Every call into the DLL is made under Gate, since the DLL takes its
    // calls from one thread at a time. Binding runs on a thread of the
    // binding's own that the runtime has put in the multithreaded
    // apartment: the DLL's COM initialisation then finds COM already
    // initialised and changes nothing, on that thread or any of the host's,
    // whichever thread lets go later.
    internal static class Binding
    {
        internal static readonly object Gate = new object();

        // Quorvel.dll exists for these two only.
        internal static readonly bool IsSupported =
            RuntimeInformation.IsOSPlatform(OSPlatform.Windows) &&
            (RuntimeInformation.ProcessArchitecture == Architecture.X86 ||
             RuntimeInformation.ProcessArchitecture == Architecture.X64);

        private static bool bound;
        private static bool withHostFunction;

        // Read by the audio service's thread without the gate: replaced
        // whole, never changed in place.
        private static volatile VolumeWatcher[] watchers = new VolumeWatcher[0];

        // Reachable for the life of the process, so the collector never
        // frees a function the DLL may still call.
        private static readonly Native.VolumeChangeCallback HostFunction = OnChange;

        // Under Gate.
        internal static void Use(string operation)
        {
            if (!IsSupported)
            {
                throw QuorvelException.Unsupported(operation);
            }
            if (!bound)
            {
                Bind(operation, null);
            }
        }

        internal static void Add(VolumeWatcher watcher)
        {
            lock (Gate)
            {
                if (!IsSupported)
                {
                    throw QuorvelException.Unsupported("Watch");
                }
                if (!withHostFunction)
                {
                    if (bound)
                    {
                        LetGo();
                    }
                    Bind("Watch", HostFunction);
                    withHostFunction = true;
                }
                VolumeWatcher[] now = watchers;
                var next = new VolumeWatcher[now.Length + 1];
                now.CopyTo(next, 0);
                next[now.Length] = watcher;
                watchers = next;
            }
        }

        internal static void Remove(VolumeWatcher watcher)
        {
            lock (Gate)
            {
                VolumeWatcher[] now = watchers;
                int index = Array.IndexOf(now, watcher);
                if (index < 0)
                {
                    return;
                }
                var next = new VolumeWatcher[now.Length - 1];
                Array.Copy(now, 0, next, 0, index);
                Array.Copy(now, index + 1, next, index, next.Length - index);
                watchers = next;
                if (next.Length == 0)
                {
                    // Waits for a change being told, which only queues it.
                    LetGo();
                }
            }
        }

        private static void Bind(string operation, Native.VolumeChangeCallback hostFunction)
        {
            bool done = false;
            ExceptionDispatchInfo failure = null;
            var binder = new Thread(() =>
            {
                try
                {
                    done = Native.InitEndPoint(hostFunction) == 1;
                    if (!done)
                    {
                        Native.UninitEndPoint(); // releases what the failed attempt obtained
                    }
                }
                catch (Exception e)
                {
                    // A DLL that cannot be loaded: the caller's to catch,
                    // not this thread's to end the process with.
                    failure = ExceptionDispatchInfo.Capture(e);
                }
            });
            binder.SetApartmentState(ApartmentState.MTA);
            binder.IsBackground = true;
            binder.Start();
            binder.Join();
            failure?.Throw();
            if (!done)
            {
                throw QuorvelException.NoDevice(operation);
            }
            bound = true;
            if (hostFunction != null)
            {
                // A watcher left open at exit must not be called into once
                // the runtime is gone.
                AppDomain.CurrentDomain.ProcessExit -= LetGoAtExit;
                AppDomain.CurrentDomain.ProcessExit += LetGoAtExit;
            }
        }

        private static void LetGo()
        {
            Native.UninitEndPoint();
            bound = false;
            withHostFunction = false;
        }

        private static void LetGoAtExit(object sender, EventArgs e)
        {
            lock (Gate)
            {
                watchers = new VolumeWatcher[0];
                if (bound)
                {
                    LetGo();
                }
            }
        }

        // On the audio service's thread, which waits for it: only copies the
        // change and queues it to each watcher.
        private static int OnChange(int muted, int percent)
        {
            var change = new VolumeChangedEventArgs(percent, muted != 0);
            foreach (VolumeWatcher watcher in watchers)
            {
                watcher.Queue(change);
            }
            return 0;
        }
    }
}
