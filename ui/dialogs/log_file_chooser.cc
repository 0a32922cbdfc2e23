#include "ui/dialogs/log_file_chooser.h"

#include <algorithm>
#include <optional>

#include "core/ascii.h"
#include "core/build_facts.h"
#include "core/paths.h"
#include "core/visible_text.h"
#include "ui/common/texts.h"

namespace tallyrun::ui {
namespace {

constexpr Control kControls[] = {
    {"Label1", Kind::kLabel, "ドライブ名", {120, 120, 3135, 195}},
    {"Label2", Kind::kLabel, "フォルダ名", {120, 680, 3135, 195}},
    {"Label3", Kind::kLabel, "ファイル名", {3480, 120, 3375, 255}},
    {.name = "File1",
     .kind = Kind::kFileList,
     .place = {3480, 300, 3375, 2970},
     .heard_by = Form2::Label3,
     .takes_drops = true},
    {"Frame1", Kind::kFrame, {}, {3480, 3360, 3375, 495}},
    {"Command1",
     Kind::kButton,
     "ファイル選択",
     {60, 0, 1995, 435},
     Form2::Frame1,
     Face::kGothic,
     kBold | kUnderline},
    {"Command2", Kind::kButton, "戻る", {2280, 0, 1035, 435}, Form2::Frame1, Face::kGothic, kBold},
    {"Drive1",
     Kind::kDriveList,
     {},
     {120, 300, 3135, 300},
     -1,
     Face::kGothic,
     kPlain,
     Form2::Label1},
    {"Dir1",
     Kind::kFolderList,
     {},
     {120, 870, 3135, 2400},
     -1,
     Face::kGothic,
     kPlain,
     Form2::Label2},
    {"Label4",
     Kind::kLabel,
     "ファイルを選択して「ファイル選択」ボタンを押してください。",
     {120, 3360, 3135, 435}},
};

constexpr FormTable kTable{"Form2",     "トレースログファイル選択", 7005, 3900, kControls,
                           Form2::File1};

bool SameName(std::string_view a, std::string_view b) {
  return kNamesIgnoreCase ? EqualsIgnoringAsciiCase(a, b) : a == b;
}

// The file list offers text and log files only, with the letter case
// counting as the file system counts it.
bool IsLogFileName(std::string_view name) {
  const auto ends_with = [name](std::string_view tail) {
    return name.size() > tail.size() && SameName(name.substr(name.size() - tail.size()), tail);
  };
  return ends_with(".txt") || ends_with(".log");
}

// As file managers sort: letter case aside first.
void SortNames(std::vector<std::string>& names) {
  const auto folded = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
  std::sort(names.begin(), names.end(), [&folded](const std::string& a, const std::string& b) {
    const auto differ = std::mismatch(a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) {
      return folded(static_cast<unsigned char>(x)) == folded(static_cast<unsigned char>(y));
    });
    if (differ.first == a.end() || differ.second == b.end()) {
      return a.size() != b.size() ? a.size() < b.size() : a < b;
    }
    return folded(static_cast<unsigned char>(*differ.first)) <
           folded(static_cast<unsigned char>(*differ.second));
  });
}

// The drive whose root holds `folder`: the longest such root.
std::optional<std::size_t> DriveHolding(const std::vector<Drive>& drives, std::string_view folder) {
  std::optional<std::size_t> best;
  for (std::size_t i = 0; i < drives.size(); ++i) {
    std::string_view root = drives[i].root;
    if (root.size() > folder.size() || !SameName(folder.substr(0, root.size()), root)) continue;
    // At the root itself, or below it at a separator.
    if (root.size() < folder.size() && root.back() != kPathSeparator &&
        folder[root.size()] != kPathSeparator) {
      continue;
    }
    if (!best || root.size() > drives[*best].root.size()) best = i;
  }
  return best;
}

std::string Shown(std::string_view name) { return VisibleText(name, ControlStyle::kPictures); }

}  // namespace

const FormTable& Form2::Table() const { return kTable; }

void Form2::Form_Load(FormView& view) {
  view_ = &view;
  drives_ = env_.Drives();
  std::string here = env_.CurrentDirectory();
  const std::optional<std::size_t> drive = DriveHolding(drives_, here);
  if (here.empty() && !drives_.empty()) here = drives_.front().root;
  view.ListChanged(Drive1);
  view.Select(Drive1, drive);
  if (drive) PreviousDrive_ = drives_[*drive].entry;
  // Shown even when it cannot be read: the user starts where the program is.
  if (!SetDir1Path(here)) {
    dir1_path_ = here;
    ShowFolders(here, {});
    ShowFiles({});
  }
}

void Form2::Click(int control) {
  if (control == Command1) Command1_Click();
  if (control == Command2) Command2_Click();
}

void Form2::DblClick(int control) {
  if (control == File1) File1_DblClick();
  if (control == Dir1) {
    if (const std::optional<std::size_t> at = view_->Selected(Dir1); at && *at < folders_.size()) {
      OpenFolder(folders_[*at].path);
    }
  }
}

void Form2::KeyUp(int control, int KeyCode, int Shift) {
  if (control == Dir1) Dir1_KeyUp(KeyCode, Shift);
  if (control == File1) File1_KeyUp(KeyCode, Shift);
}

void Form2::Change(int control) {
  if (control == Drive1) Drive1_Change();
}

void Form2::OLEDragDrop(int control, std::vector<DroppedItem>& Data) {
  if (control == File1) File1_OLEDragDrop(Data);
}

void Form2::Drive1_Change() {
  const std::optional<std::size_t> at = view_->Selected(Drive1);
  if (!at || *at >= drives_.size()) return;
  if (SetDir1Path(drives_[*at].root)) {
    PreviousDrive_ = drives_[*at].entry;
    returning_ = false;
    return;
  }
  // When even the way back fails, the lists stay as they are rather than
  // going round again.
  if (returning_) {
    returning_ = false;
    return;
  }
  returning_ = true;
  view_->ShowMessage(text::kDriveFailure, text::kDriveFailureTitle);
  const auto previous = std::find_if(drives_.begin(), drives_.end(),
                                     [this](const Drive& d) { return d.entry == PreviousDrive_; });
  if (previous == drives_.end()) {
    returning_ = false;
    return;
  }
  view_->Select(Drive1, static_cast<std::size_t>(previous - drives_.begin()));
  Drive1_Change();
}

bool Form2::SetDir1Path(const std::string& folder) {
  std::optional<FolderListing> listing = env_.ListFolder(folder);
  if (!listing) return false;
  dir1_path_ = folder;
  ShowFolders(folder, std::move(listing->folders));
  ShowFiles(std::move(listing->files));  // what Dir1_Change would read again
  return true;
}

void Form2::ShowFolders(const std::string& folder, std::vector<std::string> subfolders) {
  folders_.clear();
  const std::vector<std::string> chain = FoldersDownTo(folder);
  for (std::size_t i = 0; i < chain.size(); ++i) {
    folders_.push_back({chain[i], static_cast<int>(i), true});
  }
  SortNames(subfolders);
  for (const std::string& name : subfolders) {
    folders_.push_back({JoinPath(folder, name), static_cast<int>(chain.size()), false});
  }
  view_->ListChanged(Dir1);
  view_->Select(Dir1, chain.size() - 1);
}

void Form2::ShowFiles(std::vector<std::string> names) {
  std::erase_if(names, [](const std::string& name) { return !IsLogFileName(name); });
  SortNames(names);
  files_ = std::move(names);
  view_->ListChanged(File1);
}

void Form2::Dir1_Change() {
  std::optional<FolderListing> listing = env_.ListFolder(dir1_path_);
  ShowFiles(listing ? std::move(listing->files) : std::vector<std::string>());
}

void Form2::OpenFolder(std::string folder) {
  if (SetDir1Path(folder)) return;
  if (!SetDir1Path(dir1_path_)) {
    ShowFolders(dir1_path_, {});
    ShowFiles({});
  }
}

void Form2::Dir1_KeyUp(int KeyCode, int /*Shift*/) {
  if (KeyCode != kKeyEnter) return;
  const std::optional<std::size_t> at = view_->Selected(Dir1);
  if (at && *at < folders_.size()) OpenFolder(folders_[*at].path);
  Dir1_Change();
}

void Form2::File1_DblClick() {
  const std::optional<std::size_t> at = view_->Selected(File1);
  if (!at || *at >= files_.size() || files_[*at].empty()) return;
  strFileName_ = JoinPath(dir1_path_, files_[*at]);
  view_->Close();
}

void Form2::File1_KeyUp(int KeyCode, int /*Shift*/) {
  if (KeyCode == kKeyEnter) File1_DblClick();
}

void Form2::File1_OLEDragDrop(const std::vector<DroppedItem>& Data) {
  if (Data.size() >= 2) view_->ShowMessage(text::kTooManyDropped, text::kTooManyDroppedTitle);
}

void Form2::Command1_Click() { File1_DblClick(); }

void Form2::Command2_Click() {
  strFileName_.clear();
  view_->Close();
}

std::size_t Form2::ListCount(int control) const {
  switch (control) {
    case Drive1:
      return drives_.size();
    case Dir1:
      return folders_.size();
    case File1:
      return files_.size();
    default:
      return 0;
  }
}

Row Form2::ListRow(int control, std::size_t row) const {
  if (row >= ListCount(control)) return {};
  if (control == Drive1) return {Shown(drives_[row].entry)};
  if (control == File1) return {Shown(files_[row])};
  const Folder& folder = folders_[row];
  // A root shows whole, any other folder by its own name.
  const std::string_view name = FinalName(folder.path);
  return {Shown(name.empty() ? std::string_view(folder.path) : name), folder.depth, folder.open};
}

}  // namespace tallyrun::ui
