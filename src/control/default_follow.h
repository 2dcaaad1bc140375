// Following the default playback device: when the platform reports that
// the default render endpoint for the console role changed, or that a
// device changed, or a control finds its objects lost, the binding moves
// to the current default on the system thread pool.
#pragma once

#include "control/endpoint_state.h"

namespace quorvel {

// After a successful binding, on the host's thread: registers deviceWatch
// with the enumerator and looks at the default once more, so that a change
// made while the binding was under way is not missed. Moves start only
// after that: a request made meanwhile is acted upon once it is done. Then
// starts the periodic look.
void startFollowing(EndpointState &state);

// Asks for a move to whatever device is the default by then; a move also
// activates the held device afresh if its control no longer answers. Never
// waits: safe inside a platform callback. Moves run one at a time; a
// request made while one is queued or running leads to one more move.
void requestMove();

// Asks for a move because a control's call failed or found the service
// gone. A failure that goes on is looked into no more than once per
// spacing, which grows towards the look period while failures keep coming.
void requestMoveAfterFailure();

// Stops the looks, forgets a move queued but not started (it does nothing
// when it starts), waits for a running one to finish, then withdraws
// deviceWatch. At process exit, or once an exit begins while it waits, it
// calls nothing more: the platform's objects may be gone with the modules
// that implement them. It then forgets every reference and registration
// of the binding, starts the follow state afresh, and returns false.
bool stopFollowing(EndpointState &state);

// Puts next (or null) in the place of the held volume control, then
// withdraws the sink from the old one (if any), waits for the controls
// still using it, and releases it (unless the process exits meanwhile).
void replaceVolume(EndpointState &state, IAudioEndpointVolume *next);

} // namespace quorvel
