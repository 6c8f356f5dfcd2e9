// The minimal component base every engine component derives from: an owner, a name (which
// prefixes the component's error messages) and a free tag.
#pragma once

#include <cstdint>
#include <string>

class TComponent {
 public:
  explicit TComponent(TComponent* owner) : owner_(owner) {}
  virtual ~TComponent() = default;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }

  std::u16string Name;
  int32_t Tag = 0;

 private:
  TComponent* owner_;
};

// Assignable settings objects (the option objects of a component).
class TPersistent {
 public:
  virtual ~TPersistent() = default;
  // Copies the values of `source`; the base accepts nothing and raises a plain Exception.
  virtual void Assign(const TPersistent& source);
};
