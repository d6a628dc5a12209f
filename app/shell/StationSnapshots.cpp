#include "StationSnapshots.h"

#include <utility>

namespace torvane {

StationSnapshots::StationSnapshots()
    : cards_(std::make_shared<const CardSnapshot>()),
      health_(std::make_shared<const HealthSnapshot>()) {}

std::shared_ptr<const CardSnapshot> StationSnapshots::Cards() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return cards_;
}

std::shared_ptr<const HealthSnapshot> StationSnapshots::Health() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return health_;
}

void StationSnapshots::PublishCards(std::shared_ptr<const CardSnapshot> cards) {
  // The old copy is released outside the lock: a reader's last reference may
  // be the one that frees it, and the lock never waits on a free.
  std::lock_guard<std::mutex> lock(mutex_);
  cards_.swap(cards);
}

void StationSnapshots::PublishHealth(std::shared_ptr<const HealthSnapshot> health) {
  std::lock_guard<std::mutex> lock(mutex_);
  health_.swap(health);
}

}  // namespace torvane
