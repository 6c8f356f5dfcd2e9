#include "crypto/hash_registry.h"

#include <array>
#include <new>

#include "crypto/sha1.h"

namespace {

static_assert(sizeof(TSHA1Context) <= sizeof(THashContext));

static_assert(alignof(TSHA1Context) <= alignof(THashContext));

// The SHA-1 context lives in the generic context's storage: created there by init, reached
// through std::launder afterwards (the type is trivially copyable, so copies stay valid).
TSHA1Context& Sha1Of(THashContext& c) { return *std::launder(reinterpret_cast<TSHA1Context*>(c.data)); }
void Sha1InitProc(THashContext& c) { SHA1Init(*new (c.data) TSHA1Context); }
void Sha1FinalProc(THashContext& c, uint8_t* digest) { SHA1Final(Sha1Of(c), digest); }
void Sha1UpdateProc(THashContext& c, const void* data, size_t length) { SHA1Update(Sha1Of(c), data, length); }

// 1.3.14.3.2.26
constexpr uint8_t kSha1Oid[] = {0x2B, 0x0E, 0x03, 0x02, 0x1A};

const HashDescriptor kSha1Descriptor = {
    kHashSignature, kHashDescriptorSize, kHashVersion, 64, 20,
    &Sha1InitProc,  &Sha1FinalProc,      &Sha1UpdateProc, kHashAlgorithmSHA1,
    "SHA1",         kSha1Oid,            sizeof kSha1Oid,
};

using Registry = std::array<const HashDescriptor*, kHashSlots>;

const Registry& GetRegistry() {
  static const Registry registry = [] {
    Registry r{};
    r[kSha1Descriptor.algorithm] = &kSha1Descriptor;
    return r;
  }();
  return registry;
}

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

}  // namespace

const HashDescriptor& SHA1Descriptor() { return kSha1Descriptor; }

void RegisterStandardHashes() { (void)GetRegistry(); }

const HashDescriptor* FindHashByName(std::string_view name) {
  if (name.size() > kHashMaxNameLength) name = name.substr(0, kHashMaxNameLength);
  const Registry& registry = GetRegistry();
  for (int slot = 0; slot < kHashSlots; ++slot) {
    const HashDescriptor* d = registry[static_cast<size_t>(slot)];
    if (!d || d->signature != kHashSignature || d->algorithm != slot) continue;
    const std::string_view candidate(d->name);
    if (candidate.size() != name.size()) continue;
    bool equal = true;
    for (size_t i = 0; i < name.size() && equal; ++i) equal = FoldAscii(name[i]) == FoldAscii(candidate[i]);
    if (equal) return d;
  }
  return nullptr;
}

const HashDescriptor* FindHashById(int number) {
  if (number < 0 || number >= kHashSlots) return nullptr;
  return GetRegistry()[static_cast<size_t>(number)];
}
