# The Python (ctypes) snippet of the documentation, run by the Windows CI
# (.github/workflows/windows.yml) on a real audio service: the snippet's
# declarations and callback as given there, then read, set, read back, be
# told of its own change, restore.
#   python ctypes_check.py <path to Quorvel.dll>
import ctypes
import queue as queues
import sys

# Within this the host must be told; generous, for a loaded CI machine.
TOLD_WITHIN_S = 5
queue = queues.Queue()

# ---- the snippet, with the DLL's path from the command line ----
dll = ctypes.CDLL(sys.argv[1])                        # CDLL: cdecl
CALLBACK = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_int, ctypes.c_int)
dll.InitEndPoint.argtypes = [CALLBACK]
dll.VolumeSet.argtypes = [ctypes.c_int]
dll.MuteSet.argtypes = [ctypes.c_int]
dll.VolumeGet.argtypes = [ctypes.POINTER(ctypes.c_int)]

def on_change(muted, percent):      # runs on the audio service's thread
    queue.put((muted, percent))     # hand off to your own thread, e.g. a queue.Queue
    return 0

keep_alive = CALLBACK(on_change)    # keep this object alive while bound
# ---- end of the snippet ----


def volume():
    level = ctypes.c_int(-1)
    dll.VolumeGet(ctypes.byref(level))
    return level.value


def told(wanted):
    """The percent the host was told, once it is within 1 of wanted, or None."""
    try:
        while True:
            _, percent = queue.get(timeout=TOLD_WITHIN_S)
            if abs(percent - wanted) <= 1:
                return percent
    except queues.Empty:
        return None


if not dll.InitEndPoint(keep_alive):
    sys.exit("no default playback device")
before = volume()
wanted = before - 20 if before >= 50 else before + 20
status = dll.VolumeSet(wanted)
read = volume()
heard = told(wanted)
dll.VolumeSet(before)
restored = volume()
dll.UninitEndPoint()
print(f"read {before}%, set {wanted}% (status {status & 0xFFFFFFFF:#010x}), read back {read}%, "
      f"told {heard}%, restored {restored}%")
sys.exit(0 if status == 0 and abs(read - wanted) <= 1 and heard is not None and restored == before
         else 1)
