// What SystemVolume.Volume costs over a direct P/Invoke of VolumeGet, in
// the same process, against whichever audio service the process has:
//   GetVolume [rounds]   (1,000,000 unless given)
// Run by hand under Wine (see docs/measurements.md).
using System;
using System.Diagnostics;
using System.Runtime.InteropServices;
using Quorvel;

static class GetVolume
{
    [DllImport("Quorvel.dll", CallingConvention = CallingConvention.Cdecl)]
    static extern int VolumeGet(ref int percent);

    static void Main(string[] args)
    {
        int rounds = args.Length > 0 ? int.Parse(args[0]) : 1000000;
        long sum = SystemVolume.Volume;   // binds; the direct calls use that binding
        for (int pass = 1; pass <= 3; ++pass)
        {
            var clock = Stopwatch.StartNew();
            for (int i = 0; i < rounds; ++i)
            {
                sum += SystemVolume.Volume;
            }
            double package = clock.Elapsed.TotalMilliseconds * 1e6 / rounds;
            clock.Restart();
            for (int i = 0; i < rounds; ++i)
            {
                int percent = -1;
                VolumeGet(ref percent);
                sum += percent;
            }
            double direct = clock.Elapsed.TotalMilliseconds * 1e6 / rounds;
            Console.WriteLine($"pass {pass}: SystemVolume.Volume {package:F0} ns, direct VolumeGet {direct:F0} ns, " +
                              $"{package - direct:F0} ns more ({sum})");
        }
    }
}
