#pragma once
// A new thread starts with a copy of its creator's vector registers. When
// the creator left the upper halves of the AVX registers in use (Qt's
// start-up does), every SSE instruction of the new thread pays for merging
// them, for as long as the thread runs: a conversion thread started by the
// window took a quarter longer than the same work on a fresh thread.
// Threads that do long work call this first.

namespace vecstate {

// Marks the upper halves of the vector registers as unused (VZEROUPPER) on
// processors that have them; does nothing elsewhere.
void ClearUpperHalves();

}  // namespace vecstate
