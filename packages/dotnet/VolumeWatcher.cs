using System;
using System.Collections.Concurrent;
using System.Diagnostics;
using System.Threading;

namespace Quorvel
{
    /// <summary>
    /// Tells of every volume and mute change until disposed; made by
    /// <see cref="SystemVolume.Watch"/>. A watcher stays open until it is
    /// disposed, and one left open at exit is let go with the process.
    /// </summary>
    public sealed class VolumeWatcher : IDisposable
    {
        // Where events are raised: the caller's context, or the pool's.
        private readonly SynchronizationContext context = SynchronizationContext.Current;
        private readonly ConcurrentQueue<VolumeChangedEventArgs> changes =
            new ConcurrentQueue<VolumeChangedEventArgs>();
        // 1 while a run of RaiseQueued is scheduled or under way: one at a
        // time, so events keep their order.
        private int raising;
        // Held while handlers run and while disposing: Dispose on another
        // thread returns once a handler already running has returned.
        private readonly object handlersGate = new object();
        private bool disposed;

        private static readonly SendOrPostCallback RaiseOnContext =
            watcher => ((VolumeWatcher)watcher).RaiseQueued();
        private static readonly WaitCallback RaiseOnPool = watcher => ((VolumeWatcher)watcher).RaiseQueued();

        internal VolumeWatcher()
        {
            Binding.Add(this);
        }

        /// <summary>
        /// Raised with the new state after every change, the program's own
        /// included, and once with the new device's state when the default
        /// device changes. A handler that throws does not keep the other
        /// handlers or later events from running; its exception is written to
        /// <see cref="Trace"/>.
        /// </summary>
        public event EventHandler<VolumeChangedEventArgs> Changed;

        /// <summary>
        /// Stops the events: none is raised once this returns. May be called
        /// from any thread, more than once, and from inside a handler.
        /// </summary>
        public void Dispose()
        {
            lock (handlersGate)
            {
                if (disposed)
                {
                    return;
                }
                disposed = true;
            }
            Binding.Remove(this);
        }

        // On the audio service's thread.
        internal void Queue(VolumeChangedEventArgs change)
        {
            changes.Enqueue(change);
            if (Interlocked.Exchange(ref raising, 1) == 0)
            {
                if (context != null)
                {
                    context.Post(RaiseOnContext, this);
                }
                else
                {
                    ThreadPool.UnsafeQueueUserWorkItem(RaiseOnPool, this);
                }
            }
        }

        private void RaiseQueued()
        {
            do
            {
                while (changes.TryDequeue(out VolumeChangedEventArgs change))
                {
                    Raise(change);
                }
                Volatile.Write(ref raising, 0);
                // A change queued after the last look and before the write
                // above scheduled no run of its own.
            } while (!changes.IsEmpty && Interlocked.Exchange(ref raising, 1) == 0);
        }

        private void Raise(VolumeChangedEventArgs change)
        {
            lock (handlersGate)
            {
                EventHandler<VolumeChangedEventArgs> handlers = Changed;
                if (handlers == null)
                {
                    return;
                }
                foreach (EventHandler<VolumeChangedEventArgs> handler in handlers.GetInvocationList())
                {
                    if (disposed)
                    {
                        return;
                    }
                    try
                    {
                        handler(this, change);
                    }
                    catch (Exception exception)
                    {
                        Trace.TraceError("Quorvel: a VolumeWatcher.Changed handler threw {0}", exception);
                    }
                }
            }
        }
    }
}
