// The password loop of an encrypted item: the component's Password is tried on the item's
// encryption header, and while it does not open the item OnPassword (or the built-in
// question) is asked for another, until one opens it or the item is skipped. The answer is
// written straight into Password, so it stays in force for the items that follow.
#include <algorithm>
#include <vector>

#include "archive/component/archiver.h"
#include "archive/crypt/item_decryptor.h"
#include "crypto/byte_order.h"

namespace {

// The passwords that failed on one item, wiped when the item is done.
class FailedPasswords {
 public:
  FailedPasswords() = default;
  FailedPasswords(const FailedPasswords&) = delete;
  FailedPasswords& operator=(const FailedPasswords&) = delete;
  ~FailedPasswords() {
    for (std::string& p : failed_) qp_crypto_detail::SecureZero(p.data(), p.size());
  }
  void Add(const std::string& password) {
    if (!Contains(password)) failed_.push_back(password);
  }
  bool Contains(const std::string& password) const {
    return std::find(failed_.begin(), failed_.end(), password) != failed_.end();
  }

 private:
  std::vector<std::string> failed_;
};

}  // namespace

bool TQPBaseArchiver::OpenWithPassword(IQPItemDecryptor& decryptor, std::span<const uint8_t> header,
                                       const std::u16string& storedName) {
  FailedPasswords failed;
  for (;;) {
    if (decryptor.CheckPassword(header, password_)) return true;
    failed.Add(password_);
    bool skip = false;
    DoOnPassword(storedName, password_, skip);
    if (skip) return false;
    // The check is the same every time: a handler that hands back a password that already
    // failed here has nothing new to offer, and asking it again would never end. A person
    // at the built-in question may mistype the same way twice and is asked on.
    if (OnPassword && failed.Contains(password_)) return false;
  }
}
