// Following the default playback device: when the platform reports that
// the default render endpoint for the console role changed, or that a
// device changed, or a control finds its objects lost, the binding moves
// to the current default on the system thread pool.
#pragma once

#include "control/endpoint_state.h"

namespace quorvel {

// After a successful binding: starts the periodic look, registers
// deviceWatch with the enumerator, then looks at the default once more, so
// that a change made while the binding was under way is not missed.
void startFollowing(EndpointState &state);

// Asks for a move to whatever device is the default by then; a move also
// activates the held device afresh if its control no longer answers. Never
// waits: safe inside a platform callback. Moves run one at a time; a
// request made while one is queued or running leads to one more move.
void requestMove();

// Stops the looks and waits for a queued or running move to finish, so
// that nothing starts after this returns, then withdraws deviceWatch.
// If the move can never finish (its thread was ended inside it), the
// binding's objects are left to it and forgotten.
void stopFollowing(EndpointState &state);

// Puts next (or null) in the place of the held volume control, then
// withdraws the sink from the old one (if any), waits for the controls
// still using it, and releases it (unless one of them can never finish).
void replaceVolume(EndpointState &state, IAudioEndpointVolume *next);

} // namespace quorvel
