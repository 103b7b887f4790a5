#pragma once
// The lines of a progress log with their keys and colours, kept unique by
// key. The hosts (window, tool, tests) keep one and show it their own way.
// A crawl adds a line or two per file, so a line costs little: its text
// lies in one shared buffer, its key (only failed items have one) in a
// side list, and the line itself is a few numbers.
#include <cstdint>
#include <string>
#include <string_view>
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
  ProgressLine Line(long n) const;
  std::string_view Text(long n) const;
  std::string_view Key(long n) const;
  bool Red(long n) const { return Valid(n) && lines_[n - 1].Red; }
  void SetText(long n, const std::string& text);
  bool SetKey(long n, const std::string& key);
  void SetRed(long n);
  void Remove(long n);
  // Every line, copied out.
  std::vector<ProgressLine> Lines() const;

 private:
  struct Entry {
    std::uint32_t TextAt;
    std::uint32_t TextSize;
    std::uint32_t Key;  // index into keys_ + 1, 0 for none
    bool Red;
  };
  bool Valid(long n) const { return n >= 1 && n <= Count(); }
  void PutText(Entry& line, std::string_view text);
  void Forget(const Entry& line);
  void DropDeadTexts();
  void CompactTexts();

  std::vector<Entry> lines_;
  std::string texts_;           // every line's text, one after the other
  std::size_t deadBytes_ = 0;   // bytes of texts_ no line uses any more
  std::vector<std::string> keys_;
  std::unordered_set<std::string> usedKeys_;
};

}  // namespace kestrelin
