// The engine's enumerations. Their ordinals are part of the component's published interface
// (stored settings and event parameters), so the order of the members never changes.
#pragma once

#include <cstdint>

enum TQPCompressionLevel : uint8_t { clNone, clFastest, clNormal, clMax };

enum TQPCryptoAlgorithm : uint8_t { caPkzipClassic, caAES_128, caAES_192, caAES_256 };

enum TQPProcessOperation : uint8_t {
  poAdd,
  poMove,
  poDelete,
  poUpdate,
  poExtract,
  poTest,
  poRename,
  poChangeAttr,
  poChangeComment,
  poMakeSFX,
  poMerge
};

enum TQPProgressPhase : uint8_t { ppStart, ppProcess, ppEnd };

enum TQPAction : uint8_t { fxaRetry, fxaIgnore, fxaAbort };

enum TQPOverwriteMode : uint8_t { omPrompt, omAlways, omNever, omIfNewer, omIfOlder };

enum TQPFileShareMode : uint8_t {
  smShareCompat,
  smShareExclusive,
  smShareDenyWrite,
  smShareDenyRead,
  smShareDenyNone
};

enum TQPStorePathMode : uint8_t { spNoPath, spRelativePath, spFullPath, spFullPathWithDrive };

enum TZip64Mode : uint8_t { zmDisabled, zmAuto, zmAlways };

enum TQPSpanningMode : uint8_t { smNone, smSpanning, smSplitting };

enum TQPVolumeSize : uint8_t {
  vsAutoDetect,
  vsCustom,
  vs1_44MB,
  vs100MB,
  vs200MB,
  vs250MB,
  vs600MB,
  vs650MB,
  vs700MB,
  vs4700MB
};

// How opening came by the item directory: read as the archive stores it, or rebuilt from the
// local headers because the file has no end record (cut off, as a broken download ends) or
// because an entry of the stored directory could not be read (damaged). A rebuilt directory
// may lack items, so a caller must not take a run over it for a whole one.
enum TQPDirectoryState : uint8_t { dsStored, dsRebuiltCutOff, dsRebuiltDamaged };
