#include "engine/progress_log_model.h"

namespace kestrelin {

void ProgressLogModel::Clear() {
  lines_.clear();
  keys_.clear();
}

void ProgressLogModel::Add(const std::string& text) { lines_.push_back({text, {}, false}); }

bool ProgressLogModel::AddKeyed(const std::string& text, const std::string& key) {
  if (!key.empty() && !keys_.insert(key).second) return false;
  lines_.push_back({text, key, false});
  return true;
}

const ProgressLine& ProgressLogModel::Line(long n) const {
  static const ProgressLine kNone;
  return Valid(n) ? lines_[n - 1] : kNone;
}

void ProgressLogModel::SetText(long n, const std::string& text) {
  if (Valid(n)) lines_[n - 1].Text = text;
}

bool ProgressLogModel::SetKey(long n, const std::string& key) {
  if (!Valid(n)) return false;
  auto& line = lines_[n - 1];
  if (line.Key == key) return true;
  if (!key.empty() && !keys_.insert(key).second) return false;
  if (!line.Key.empty()) keys_.erase(line.Key);
  line.Key = key;
  return true;
}

void ProgressLogModel::SetRed(long n) {
  if (Valid(n)) lines_[n - 1].Red = true;
}

void ProgressLogModel::Remove(long n) {
  if (!Valid(n)) return;
  if (!lines_[n - 1].Key.empty()) keys_.erase(lines_[n - 1].Key);
  lines_.erase(lines_.begin() + (n - 1));
}

}  // namespace kestrelin
