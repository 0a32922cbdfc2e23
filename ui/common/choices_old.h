// The small decisions the windows make, kept apart from any toolkit: which
// chosen log file the main window adopts, what a list entry opens, how the
// chooser joins folder and file, and how it gets back from a drive it could
// not enter.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tallyrun::ui {

// The chooser's result is adopted when it names a file other than the one
// shown; an empty result (its back button) changes nothing.
bool AdoptsChoice(std::string_view strFileName, std::string_view shown);

// A path that ends with the separator stands for a folder.
bool IsFolderPath(std::string_view path);

// What a list entry opens: the item as the system spells it (carried stray
// bytes restored), and whether it is a folder. Nothing when the entry cannot
// name one: the system would cut a name at a NUL and find whatever the part
// before it names.
struct EntryTarget {
  std::string path;
  bool folder = false;
};
std::optional<EntryTarget> TargetOf(std::string_view entry);

// The chooser offers text and log files only, with the letter case counting
// as the file system counts it.
bool MatchesLogFilePattern(std::string_view name);

// The root folder a drive-list entry stands for: "c: [label]" gives "c:\".
std::string DriveRoot(std::string_view entry);

// Leaving a drive that could not be entered: the user is told once and the
// drive list goes back to the drive entered before; when even that fails,
// the chooser stops there rather than going round again.
class DriveRecovery {
 public:
  explicit DriveRecovery(std::string entered) : PreviousDrive_(std::move(entered)) {}

  enum class Next {
    kStay,           // entered: nothing more to do
    kTellAndReturn,  // show the message, then select PreviousDrive()
    kGiveUp,         // the way back failed too: leave the lists as they are
  };
  // Called for every change of the drive list, also the one going back.
  Next Changed(const std::string& entry, bool entered);
  const std::string& PreviousDrive() const { return PreviousDrive_; }

 private:
  std::string PreviousDrive_;
  bool returning_ = false;
};

}  // namespace tallyrun::ui
