// The root of the component classes: an object with an optional owner and a
// state set that tells whether it is being loaded or designed (never, in
// this program, but the archive component honours it).
#pragma once

#include <cstdint>

class TObject {
 public:
  virtual ~TObject() = default;
};

class TPersistent : public TObject {};

enum TComponentStateFlag : uint8_t {
  csLoading = 0x01,
  csDesigning = 0x02,
  csDestroying = 0x04,
};

class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner = nullptr) : owner_(owner) {}
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  uint8_t ComponentState() const { return state_; }
  void SetComponentState(uint8_t state) { state_ = state; }

 private:
  TComponent* owner_;
  uint8_t state_ = 0;
};
