// StdFileService::MoveFiles: the rebuild moves every file of a crawl once,
// from the working folder into its folder, when nothing else runs. A rename
// across folders holds the file system's rename lock for part of its work
// only, so a second thread overlaps the rest: a list of a few thousand
// moves takes about a third less time, for a little more processor time
// (the waiting thread spins on the lock a while before it sleeps).
#include <atomic>
#include <system_error>
#include <thread>

#include "platform/std_file_service.h"

namespace kestrelin {
namespace {

// Below this many moves a thread costs more than it saves.
constexpr std::size_t kMovesForTwoThreads = 64;

}  // namespace

std::vector<bool> StdFileService::MoveFiles(const FileMoves& moves) {
  if (moves.size() < kMovesForTwoThreads) return FileService::MoveFiles(moves);
  // One byte per move: the two threads never write the same byte.
  std::vector<unsigned char> moved(moves.size(), 0);
  std::atomic<std::size_t> next{0};
  const auto moveUntilNoneLeft = [&] {
    for (std::size_t i = next++; i < moves.size(); i = next++) {
      moved[i] = MoveFile(moves[i].first, moves[i].second) ? 1 : 0;
    }
  };
  // Joined however this thread leaves, an exception of its own move included:
  // the helper works on this frame's list.
  std::jthread helper;
  try {
    helper = std::jthread([&] {
      try {
        moveUntilNoneLeft();
      } catch (...) {
        // The move it held stays unmoved, which the caller handles.
      }
    });
  } catch (const std::system_error&) {
    // No thread to be had: this one does every move.
  }
  moveUntilNoneLeft();
  if (helper.joinable()) helper.join();
  return std::vector<bool>(moved.begin(), moved.end());
}

}  // namespace kestrelin
