using System;

namespace Quorvel
{
    /// <summary>
    /// The master volume and mute flag of the default playback device, the
    /// one the user hears: the library follows it when the default changes
    /// and binds again after the audio service restarts. Every member may be
    /// used from any thread.
    /// </summary>
    public static class SystemVolume
    {
        /// <summary>True in a Windows x86 or x64 process; elsewhere every other member throws <see cref="QuorvelError.Unsupported"/>.</summary>
        public static bool IsSupported => Binding.IsSupported;

        /// <summary>The master volume in percent, 0 to 100.</summary>
        /// <exception cref="ArgumentOutOfRangeException">Set outside 0 to 100.</exception>
        /// <exception cref="QuorvelException"><see cref="QuorvelError.NoDevice"/>, <see cref="QuorvelError.Refused"/> (set only), <see cref="QuorvelError.Unsupported"/>.</exception>
        public static int Volume
        {
            get
            {
                lock (Binding.Gate)
                {
                    Binding.Use("Volume");
                    int percent = ReadVolume();
                    if (percent < 0)
                    {
                        throw QuorvelException.NoDevice("Volume");
                    }
                    return percent;
                }
            }
            set
            {
                if (value < 0 || value > 100)
                {
                    throw new ArgumentOutOfRangeException(nameof(value), value, "The volume is a percent from 0 to 100.");
                }
                lock (Binding.Gate)
                {
                    Binding.Use("Volume");
                    int status = Native.VolumeSet(value);
                    if (status == Native.NotBound)
                    {
                        throw QuorvelException.NoDevice("Volume");
                    }
                    if (status < 0)
                    {
                        throw QuorvelException.Refused("Volume", status);
                    }
                }
            }
        }

        /// <summary>Whether the default playback device is muted.</summary>
        /// <exception cref="QuorvelException"><see cref="QuorvelError.NoDevice"/>, <see cref="QuorvelError.Unsupported"/>.</exception>
        public static bool Muted
        {
            get
            {
                lock (Binding.Gate)
                {
                    Binding.Use("Muted");
                    // The flag reads false while no device is bound: the
                    // level tells the two apart.
                    bool muted = Native.MuteGet() != 0;
                    if (!muted && ReadVolume() < 0)
                    {
                        throw QuorvelException.NoDevice("Muted");
                    }
                    return muted;
                }
            }
            set
            {
                lock (Binding.Gate)
                {
                    Binding.Use("Muted");
                    Native.MuteSet(value ? 1 : 0);
                    if (ReadVolume() < 0)
                    {
                        throw QuorvelException.NoDevice("Muted");
                    }
                }
            }
        }

        /// <summary>
        /// Starts telling of every volume and mute change, whoever makes it,
        /// through <see cref="VolumeWatcher.Changed"/>, until the watcher is
        /// disposed. Events are raised in order on the
        /// <see cref="System.Threading.SynchronizationContext"/> current now (a
        /// WinForms or WPF UI thread), else on thread-pool threads one at a
        /// time; never on the audio service's thread.
        /// </summary>
        /// <exception cref="QuorvelException"><see cref="QuorvelError.NoDevice"/>, <see cref="QuorvelError.Unsupported"/>.</exception>
        public static VolumeWatcher Watch() => new VolumeWatcher();

        // -1 when the level cannot be read, as while no device is bound.
        private static int ReadVolume()
        {
            int percent = -1;
            Native.VolumeGet(ref percent);
            return percent;
        }
    }
}
