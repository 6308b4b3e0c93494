// Handing freed memory back to the system between stages of a long job.
#pragma once

namespace quillet {

// Returns the memory the process has freed but the allocator still keeps to the system. A stage
// that frees a large working set before the next one allocates its own leaves the allocator's
// arenas full of free pieces between live ones; the next stage then raises the process's resident
// size above what it uses. Costs a pass over the free lists (milliseconds); a no-op where the
// allocator offers no such call.
void releaseFreedMemory();

}  // namespace quillet
