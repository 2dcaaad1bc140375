using System.Runtime.InteropServices;

namespace Quorvel
{
    // Quorvel.dll's exports. The .NET host loads the DLL that matches the
    // process from the package's runtimes/win-<arch>/native folder.
    internal static class Native
    {
        private const string Dll = "Quorvel.dll";

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int VolumeChangeCallback(int muted, int percent);

        [DllImport(Dll, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int InitEndPoint(VolumeChangeCallback callback);

        [DllImport(Dll, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int UninitEndPoint();

        [DllImport(Dll, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int VolumeSet(int percent);

        [DllImport(Dll, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int VolumeGet(ref int percent);

        [DllImport(Dll, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int MuteSet(int muted);

        [DllImport(Dll, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int MuteGet();

        // AUDCLNT_E_NOT_INITIALIZED: VolumeSet's answer while nothing is bound.
        internal const int NotBound = unchecked((int)0x88890001);
    }
}
