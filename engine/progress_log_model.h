#pragma once
// The lines of a progress log with their keys and colours, kept unique by
// key. The hosts (window, tool, tests) keep one and show it their own way.
#include <string>
#include <unordered_set>
#include <vector>

namespace kestrelin {

struct ProgressLine {
  std::string Text;
  std::string Key;
  bool Red = false;
};

class ProgressLogModel {
 public:
  void Clear();
  void Add(const std::string& text);
  bool AddKeyed(const std::string& text, const std::string& key);
  long Count() const { return static_cast<long>(lines_.size()); }
  // n is 1-based; out-of-range lines read as empty and ignore changes.
  const ProgressLine& Line(long n) const;
  void SetText(long n, const std::string& text);
  bool SetKey(long n, const std::string& key);
  void SetRed(long n);
  void Remove(long n);
  const std::vector<ProgressLine>& Lines() const { return lines_; }

 private:
  bool Valid(long n) const { return n >= 1 && n <= Count(); }
  std::vector<ProgressLine> lines_;
  std::unordered_set<std::string> keys_;
};

}  // namespace kestrelin
