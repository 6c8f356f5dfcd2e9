// The text format of the encoded side of TProtection::ProcessString. Only the plain copy
// format (id 1) is provided; the engine never uses the other text formats (HEX,
// MIME64, UU, XX), so they are not provided.
#pragma once

#include <string>

class TStringFormat {
 public:
  virtual ~TStringFormat() = default;
  // Turns the transformed bytes into the text of the encoded side; the copy format copies.
  virtual std::string ToStr(const std::string& bytes) const { return bytes; }
  // Turns text of the encoded side back into bytes; the copy format copies.
  virtual std::string StrTo(const std::string& text) const { return text; }
  virtual const char* Name() const { return "Copy"; }
  virtual int FormatId() const { return 1; }

  // The shared copy format, used when ProcessString is given no format.
  static const TStringFormat& Copy();
};
