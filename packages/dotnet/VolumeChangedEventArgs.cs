using System;

namespace Quorvel
{
    /// <summary>The state after a volume or mute change.</summary>
    public sealed class VolumeChangedEventArgs : EventArgs
    {
        internal VolumeChangedEventArgs(int volume, bool muted)
        {
            Volume = volume;
            Muted = muted;
        }

        /// <summary>The master volume in percent, 0 to 100.</summary>
        public int Volume { get; }

        /// <summary>Whether the device is muted.</summary>
        public bool Muted { get; }
    }
}
