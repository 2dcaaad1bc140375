/* Quorvel: master volume and mute of the default audio playback device.
 *
 * Call InitEndPoint once, then the four controls, then UninitEndPoint,
 * from one thread at a time. Call UninitEndPoint on the thread that called
 * InitEndPoint for the library's COM initialisation to be undone; on any
 * other thread it still releases everything, but leaves COM alone.
 * The host function handed to InitEndPoint is called on the audio
 * service's own thread for every volume or mute change, whoever made it,
 * and once on a system thread-pool thread with the new device's state
 * whenever the binding follows a change of the default device: keep it
 * short and never block in it. While no default device is left, the
 * controls act as when not bound.
 * After the first successful binding the DLL stays loaded until the
 * process ends (FreeLibrary leaves it mapped), because the audio service
 * may still call into it. */
#ifndef QUORVEL_H
#define QUORVEL_H

/* Calling convention of every function, exported or handed in. */
#if defined(_WIN32)
#define QUORVEL_CALL __cdecl
#else
#define QUORVEL_CALL
#endif

/* Linkage: the DLL exports through its module definition file, so only
 * hosts need the import attribute. */
#if defined(_WIN32) && !defined(QUORVEL_BUILDING)
#define QUORVEL_API __declspec(dllimport)
#else
#define QUORVEL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Told of every change as (muted, percent): muted is the platform's flag
 * as reported (0 = not muted), percent is 0..100. The result is ignored. */
typedef int(QUORVEL_CALL *VolumeChangeCallback)(int muted, int percent);

/* Binds to the default playback device, registers for changes and follows
 * the default device from then on. callback may be null. Returns 1 on success, 0 when already bound
 * or on any failure; UninitEndPoint releases whatever a failed call obtained. */
QUORVEL_API int QUORVEL_CALL InitEndPoint(VolumeChangeCallback callback);

/* Withdraws from the device and releases everything. Always returns 1. */
QUORVEL_API int QUORVEL_CALL UninitEndPoint(void);

/* Sets the mute flag (0 unmutes, any other value mutes). Always returns 1. */
QUORVEL_API int QUORVEL_CALL MuteSet(int muted);

/* Returns the mute flag (0 or 1); 0 when not bound or when it can't be read. */
QUORVEL_API int QUORVEL_CALL MuteGet(void);

/* Sets the master volume; percent is clamped to 0..100. Returns the
 * platform's status: 0 on success, negative on failure, and
 * 0x88890001 (AUDCLNT_E_NOT_INITIALIZED) when not bound. */
QUORVEL_API int QUORVEL_CALL VolumeSet(int percent);

/* Writes the master volume in percent to *percent (which may be null).
 * Writes nothing when not bound or when the level can't be read.
 * Always returns 1. */
QUORVEL_API int QUORVEL_CALL VolumeGet(int *percent);

#ifdef __cplusplus
}
#endif

#endif /* QUORVEL_H */
