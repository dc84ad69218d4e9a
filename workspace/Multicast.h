#pragma once
// An announcement of core code to any number of listeners, each of which
// listens for as long as its subscription lives. Listeners are called in the
// order they subscribed; one may subscribe or unsubscribe while being called.

#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

template <class... Args>
class TMulticast {
  using TListeners = std::map<int, std::function<void(Args...)>>;

public:
  // Ends its listening when it goes (or on Reset); it may outlive the announcer.
  class TSubscription {
  public:
    TSubscription() = default;
    TSubscription(std::weak_ptr<TListeners> listeners, int id) : listeners_(std::move(listeners)), id_(id) {}
    TSubscription(TSubscription&& o) noexcept : listeners_(std::move(o.listeners_)), id_(o.id_) {
      o.listeners_.reset();
    }
    TSubscription& operator=(TSubscription&& o) noexcept {
      if (this != &o) {
        Reset();
        listeners_ = std::move(o.listeners_);
        id_ = o.id_;
        o.listeners_.reset();
      }
      return *this;
    }
    TSubscription(const TSubscription&) = delete;
    TSubscription& operator=(const TSubscription&) = delete;
    ~TSubscription() { Reset(); }

    void Reset() {
      if (auto l = listeners_.lock()) l->erase(id_);
      listeners_.reset();
    }

  private:
    std::weak_ptr<TListeners> listeners_;
    int id_ = 0;
  };

  [[nodiscard]] TSubscription Subscribe(std::function<void(Args...)> listener) {
    const int id = nextId_++;
    listeners_->emplace(id, std::move(listener));
    return TSubscription(listeners_, id);
  }

  void operator()(Args... args) const {
    std::vector<int> ids;
    for (const auto& entry : *listeners_) ids.push_back(entry.first);
    // A copy of the listener: it may end its own subscription while it runs.
    for (int id : ids) {
      auto it = listeners_->find(id);
      if (it == listeners_->end()) continue;
      const std::function<void(Args...)> listener = it->second;
      listener(args...);
    }
  }

private:
  std::shared_ptr<TListeners> listeners_ = std::make_shared<TListeners>();
  int nextId_ = 1;
};
