#include "engine/progress_log_model.h"

namespace kestrelin {

void ProgressLogModel::Clear() {
  lines_.clear();
  texts_.clear();
  deadBytes_ = 0;
  keys_.clear();
  usedKeys_.clear();
}

// A text that fits where the line's old one was (a file's line turning
// from "Downloading" to "Downloaded") takes its place; any other goes to
// the end of the buffer.
void ProgressLogModel::PutText(Entry& line, std::string_view text) {
  if (text.size() <= line.TextSize) {
    texts_.replace(line.TextAt, text.size(), text);
    deadBytes_ += line.TextSize - text.size();
  } else {
    deadBytes_ += line.TextSize;
    line.TextAt = static_cast<std::uint32_t>(texts_.size());
    texts_.append(text);
  }
  line.TextSize = static_cast<std::uint32_t>(text.size());
  DropDeadTexts();
}

// Replaced and removed texts are dropped once they make up half the
// buffer, which keeps the cost of each drop in proportion to what it frees.
void ProgressLogModel::DropDeadTexts() {
  if (deadBytes_ > texts_.size() / 2) CompactTexts();
}

void ProgressLogModel::CompactTexts() {
  std::string kept;
  kept.reserve(texts_.size() - deadBytes_);
  for (Entry& line : lines_) {
    const auto at = static_cast<std::uint32_t>(kept.size());
    kept.append(texts_, line.TextAt, line.TextSize);
    line.TextAt = at;
  }
  texts_ = std::move(kept);
  deadBytes_ = 0;
}

void ProgressLogModel::Add(const std::string& text) { AddKeyed(text, {}); }

bool ProgressLogModel::AddKeyed(const std::string& text, const std::string& key) {
  if (!key.empty() && !usedKeys_.insert(key).second) return false;
  Entry line{static_cast<std::uint32_t>(texts_.size()), 0, 0, false};
  texts_.append(text);
  line.TextSize = static_cast<std::uint32_t>(text.size());
  if (!key.empty()) {
    keys_.push_back(key);
    line.Key = static_cast<std::uint32_t>(keys_.size());
  }
  lines_.push_back(line);
  return true;
}

ProgressLine ProgressLogModel::Line(long n) const {
  return {std::string(Text(n)), std::string(Key(n)), Red(n)};
}

std::string_view ProgressLogModel::Text(long n) const {
  if (!Valid(n)) return {};
  return std::string_view(texts_).substr(lines_[n - 1].TextAt, lines_[n - 1].TextSize);
}

std::string_view ProgressLogModel::Key(long n) const {
  if (!Valid(n) || lines_[n - 1].Key == 0) return {};
  return keys_[lines_[n - 1].Key - 1];
}

void ProgressLogModel::SetText(long n, const std::string& text) {
  if (Valid(n)) PutText(lines_[n - 1], text);
}

bool ProgressLogModel::SetKey(long n, const std::string& key) {
  if (!Valid(n)) return false;
  Entry& line = lines_[n - 1];
  if (Key(n) == key) return true;
  if (!key.empty() && !usedKeys_.insert(key).second) return false;
  if (line.Key != 0) {
    usedKeys_.erase(keys_[line.Key - 1]);
    keys_[line.Key - 1].clear();
    line.Key = 0;
  }
  if (!key.empty()) {
    keys_.push_back(key);
    line.Key = static_cast<std::uint32_t>(keys_.size());
  }
  return true;
}

void ProgressLogModel::SetRed(long n) {
  if (Valid(n)) lines_[n - 1].Red = true;
}

void ProgressLogModel::Remove(long n) {
  if (!Valid(n)) return;
  const Entry line = lines_[n - 1];
  if (line.Key != 0) {
    usedKeys_.erase(keys_[line.Key - 1]);
    keys_[line.Key - 1].clear();
  }
  lines_.erase(lines_.begin() + (n - 1));
  // The text of the line added last usually lies at the end of the buffer.
  if (line.TextAt + line.TextSize == texts_.size()) {
    texts_.resize(line.TextAt);
  } else {
    deadBytes_ += line.TextSize;
    DropDeadTexts();
  }
}

std::vector<ProgressLine> ProgressLogModel::Lines() const {
  std::vector<ProgressLine> lines;
  lines.reserve(lines_.size());
  for (long n = 1; n <= Count(); ++n) lines.push_back(Line(n));
  return lines;
}

}  // namespace kestrelin
