// TQPVolumeNumberInfo: which volume of a multi-volume set a stream shows. Numbers are
// 0-based inside the engine; events and messages show them plus one.
#pragma once

#include <cstdint>

class TQPVolumeNumberInfo {
 public:
  enum TKind : uint8_t { FirstVolume = 0, LastVolume = 1, NumberedVolume = 2, UnsetVolume = 3 };

  bool IsFirst() const { return Number == 0; }
  void SetFirst() {
    Number = 0;
    Kind = FirstVolume;
  }
  bool IsLast() const { return LastNumber == -1 ? Kind == LastVolume : Number == LastNumber; }
  void SetLast() {
    Number = LastNumber;
    Kind = LastVolume;
  }
  void SetNumber(int32_t n) {
    Kind = NumberedVolume;
    Number = n;
  }
  void Reset() {
    Kind = UnsetVolume;
    Number = -1;
    LastNumber = -1;
  }
  bool SameVolume(const TQPVolumeNumberInfo& other) const {
    if (IsLast() && other.IsLast()) return true;
    if (IsFirst() && other.IsFirst()) return true;
    if (Number == -1) return Kind == other.Kind;
    return Number == other.Number;
  }

  TKind Kind = UnsetVolume;
  int32_t Number = -1;
  int32_t LastNumber = -1;
};
