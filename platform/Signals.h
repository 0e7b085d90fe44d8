// Termination requests (an operator's Ctrl+C, a shutdown's SIGTERM) turned
// into a byte on a descriptor that the window's event loop watches, so the
// program closes the way the close box closes it.
#pragma once

namespace platform {

// (Re)installs the handlers. A library loaded later (the embedded database
// engine) may install its own; calling this again takes them back.
void CatchTerminationRequests();

// The descriptor that becomes readable when a request arrives; -1 where the
// platform has none.
int TerminationRequestDescriptor();

// Reads the pending request bytes, so the descriptor is quiet again.
void DrainTerminationRequests();

// True when a request arrived since the last call (the pending ones are
// taken); for a program without an event loop. Safe from any thread.
bool TakeTerminationRequests();

}  // namespace platform
