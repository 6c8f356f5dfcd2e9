// Run-time selection of the hardware paths of the primitives: AES-NI for TCipher_Rijndael,
// SHA-NI for SHA-1 and carry-less multiplication for the engine's CRC-32, used only on x86
// processors that report them through CPUID (on the 32-bit Windows build too). Both paths of
// each give bit-for-bit the same results.
#pragma once

// True when the processor has AES-NI together with SSSE3 and SSE4.1.
bool CpuHasAesNi();
// True when the processor has the SHA extensions together with SSSE3 and SSE4.1.
bool CpuHasShaNi();
// True when the processor has PCLMULQDQ together with SSE4.1.
bool CpuHasClmul();

// A process-wide switch, on by default: false makes the primitives use the portable
// (table-driven) paths even where the hardware paths exist. Meant for tests and benchmarks.
// A TCipher_Rijndael picks its path in Init; SHA-1 and the CRC-32 pick it on every update.
void SetCryptoHardwareEnabled(bool enabled);
bool CryptoHardwareEnabled();

// The combined decisions: the hardware exists and the switch is on.
bool UseAesNi();
bool UseShaNi();
bool UseClmul();
