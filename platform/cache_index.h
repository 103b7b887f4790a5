#pragma once
// The internet cache's records of how the server identified each copy's
// version (its validators), kept in one file of the cache folder that only
// grows: a copy's record is one line appended once the copy is complete,
// and the last line for a URL is the one that counts. One append costs
// far less than a file or an extended attribute per copy, and a later
// crawl, even in another run of the program, reads them all at once.
//
// A record holds the copy's size and modification time (its stamp), so it
// never vouches for other bytes: a copy the user edited, or one another
// process replaced, no longer matches it. Lines that do not parse (a
// line torn by a crash, say) are skipped. When most lines are outdated,
// the file is rewritten with the records that count.
//
// The index is read in blocks, so memory holds the records that count,
// never the whole file; an index that is not one (another file or a special
// file under its name) is set aside as "index.unusable" and started anew.
// Records this run wrote are not kept in memory; Reload reads them back.
//
// Used by the internet cache's worker thread only (and by tests).
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/cache_entry.h"

namespace kestrelin {

class CacheIndex {
 public:
  // The index of the cache folder `folder`; nothing is read before the
  // first call below.
  explicit CacheIndex(std::string folder);
  ~CacheIndex();
  CacheIndex(const CacheIndex&) = delete;
  CacheIndex& operator=(const CacheIndex&) = delete;

  // The index file's name inside the cache folder.
  static constexpr const char* kFileName = "index";

  // True when the index holds a record for `url`, whatever copy it was
  // made for.
  bool Holds(const std::string& url);

  // The validators recorded for `url` when the copy at `bodyPath` still
  // has the stamp recorded with them.
  std::optional<Validators> Find(const std::string& url, const std::string& bodyPath);

  // Records `validators` for `url`, made for the complete copy open as
  // `fd`. False when the record cannot be written; a URL or value holding a
  // line break or a tab is never recorded. The first record goes to the
  // file at once, which shows whether it can be written; later ones are
  // held back and written together, by Flush or once enough have come. A
  // crash loses only those held back, which costs a later crawl a full
  // download of their copies, never a wrong answer.
  bool Record(int fd, const std::string& url, const Validators& validators);

  // Writes the records held back and forgets what was read, so the next
  // call reads the file again, with every record written since.
  void Reload();

  // Writes the records held back. False when they could not be written;
  // they are then dropped.
  bool Flush();

 private:
  struct Entry {
    std::string Stamp;
    Validators Version;
  };

  void Load();
  void TakeLine(std::string_view line);
  void SetAside();
  void RewriteWhenMostlyOutdated(std::size_t lines);
  bool Append(std::string_view bytes);

  std::string path_;
  bool loaded_ = false;
  bool endsMidLine_ = false;  // the file's last line has no line break yet
  int fd_ = -1;               // open for appending once a record is written
  std::string heldBack_;      // records not written yet
  std::unordered_map<std::string, Entry> entries_;
};

}  // namespace kestrelin
