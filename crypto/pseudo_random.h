// The process-wide general-purpose (not cryptographic) pseudo-random generator from which
// TPBKDF2::CreateWithRandomSalt takes its salt, reseeded before every salt. The seed comes from
// an injectable function: by default the processor's time-stamp counter (steady_clock where
// there is none); the engine wires in the platform's high-resolution counter
// (qp::platform::HighResCounter) with SetRandomSeedSource, since crypto/ depends on nothing
// else of ours. Each salt is drawn from a state of its own, so no lock is needed.
#pragma once

#include <cstddef>
#include <cstdint>

using RandomSeedSource = uint64_t (*)();

// nullptr restores the default.
void SetRandomSeedSource(RandomSeedSource source);
uint64_t DefaultRandomSeed();

// Reseeds the generator from the seed source, then fills length bytes, each uniform in 0..254.
void FillRandomBelow255(uint8_t* out, size_t length);
