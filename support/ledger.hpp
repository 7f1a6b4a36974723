#pragma once

namespace brintom {

// The memory ledger: diagnostic, process-wide, signed 32-bit counters, all 0 at start. Tmem is
// the accounted storage and Tmemax its high-water mark; the others count live containers
// (Imgcnt counts Frames, not Images).
extern int Tmem, Tmemax, Vecnt, Ivecnt, Matcnt, Imatcnt, Imgcnt, Mskcnt;

// Adds amount to a counter in wrapping 32-bit arithmetic, as the ledger is defined to do.
inline void ledger_add(int& counter, long long amount) {
  counter = static_cast<int>(static_cast<unsigned>(counter) + static_cast<unsigned>(amount));
}

}  // namespace brintom
