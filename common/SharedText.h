#pragma once
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>

namespace mc {

// A text written by one thread and read by others (a catalogue record's name,
// written by a catalogue load on a worker and read by the windows): every read
// returns a copy taken under the lock.
class SharedText {
 public:
  SharedText() = default;
  SharedText(std::string text) : text_(std::move(text)) {}  // NOLINT: plain assignment of texts
  SharedText(const SharedText& other) : text_(other.get()) {}
  // Copies the other's text first, then takes this one's lock: never both at once.
  SharedText& operator=(const SharedText& other) { return *this = other.get(); }

  SharedText& operator=(std::string text) {
    std::lock_guard lock(mutex_);
    text_ = std::move(text);
    return *this;
  }
  SharedText& operator+=(std::string_view more) {
    std::lock_guard lock(mutex_);
    text_ += more;
    return *this;
  }

  std::string get() const {
    std::lock_guard lock(mutex_);
    return text_;
  }
  operator std::string() const { return get(); }  // NOLINT: reads like the plain text it replaces
  bool empty() const {
    std::lock_guard lock(mutex_);
    return text_.empty();
  }

  friend bool operator==(const SharedText& text, std::string_view other) { return text.get() == other; }
  friend std::ostream& operator<<(std::ostream& out, const SharedText& text) { return out << text.get(); }

 private:
  mutable std::mutex mutex_;
  std::string text_;
};

}  // namespace mc
