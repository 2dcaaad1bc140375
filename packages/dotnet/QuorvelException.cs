using System;

namespace Quorvel
{
    /// <summary>Why a <see cref="SystemVolume"/> call failed.</summary>
    public enum QuorvelError
    {
        /// <summary>There is no default playback device.</summary>
        NoDevice,

        /// <summary>The audio service refused the change; <see cref="Exception.HResult"/> holds its status.</summary>
        Refused,

        /// <summary>The process is not a Windows x86 or x64 process.</summary>
        Unsupported,
    }

    /// <summary>A <see cref="SystemVolume"/> call failed; <see cref="Error"/> says why.</summary>
    public sealed class QuorvelException : Exception
    {
        internal QuorvelException(QuorvelError error, string message, int hresult = 0)
            : base(message)
        {
            Error = error;
            if (hresult != 0)
            {
                HResult = hresult;
            }
        }

        /// <summary>Why the call failed.</summary>
        public QuorvelError Error { get; }

        internal static QuorvelException NoDevice(string operation) =>
            new QuorvelException(QuorvelError.NoDevice, operation + ": no default playback device");

        internal static QuorvelException Refused(string operation, int status) =>
            new QuorvelException(QuorvelError.Refused,
                                 $"{operation}: the audio service refused the change (HRESULT 0x{status:X8})", status);

        internal static QuorvelException Unsupported(string operation) =>
            new QuorvelException(QuorvelError.Unsupported,
                                 operation + ": Quorvel runs in Windows x86 and x64 processes only");
    }
}
