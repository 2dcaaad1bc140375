/* The npm package's relay between Quorvel.dll and JavaScript (relay.c).
 * The JS side calls these through koffi, cdecl on both architectures. */
#ifndef QUORVEL_RELAY_H
#define QUORVEL_RELAY_H

#ifdef QUORVEL_RELAY_BUILDING
#define RELAY_API __declspec(dllexport)
#else
#define RELAY_API __declspec(dllimport)
#endif

typedef int(__cdecl *RelayDeliver)(int muted, int percent);

/* The host function to give InitEndPoint: queues the change and returns.
 * Changes are dropped while the relay is not running. */
RELAY_API int __cdecl RelayChange(int muted, int percent);

/* Starts the relay's thread, which calls deliver with each queued change,
 * in order. 1 on success; 0 if the thread cannot be created, or the last
 * one has not been joined yet. */
RELAY_API int __cdecl RelayStart(RelayDeliver deliver);

/* Drops the queued changes and tells the thread to end after the call it
 * may be in. Never waits. */
RELAY_API void __cdecl RelayStop(void);

/* Waits for the thread to end, after RelayStop; then RelayStart may run it
 * again. It may be waiting for the thread that deliver runs on: call it
 * from another one. */
RELAY_API void __cdecl RelayJoin(void);

#endif
