#include "ui/main/main_window.h"

#include <utility>

#include "core/date_time_text.h"
#include "core/log_reader.h"
#include "core/visible_text.h"
#include "ui/common/texts.h"
#include "ui/dialogs/about_box.h"
#include "ui/dialogs/log_file_chooser.h"
#include "ui/main/drop_batch.h"
#include "ui/main/open_entry.h"

namespace tallyrun::ui {
namespace {

constexpr Control kControls[] = {
    {"Label1", Kind::kLabel, "● ログファイル保存場所（ファイル名）", {120, 120, 3330, 180}},
    {"Text1", Kind::kTextBox, {}, {120, 360, 6135, 315}, -1, Face::kGothic, kPlain, Form1::Label1},
    {"Frame1", Kind::kFrame, {}, {6300, 240, 795, 495}},
    {"Command1", Kind::kButton, "選択", {60, 60, 675, 375}, Form1::Frame1},
    {.name = "List1",
     .kind = Kind::kLogList,
     .place = {120, 1140, 6975, 3300},
     .heard_by = Form1::Label3,
     .starts_disabled = true,
     .takes_drops = true},
    {"Label3", Kind::kLabel, "● 書き込まれたログ（一番上が最新）", {120, 900, 3150, 180}},
    {"Frame2", Kind::kFrame, {}, {5400, 4740, 1695, 555}},
    {"Command2", Kind::kButton, "？", {60, 120, 555, 375}, Form1::Frame2},
    {"Command3", Kind::kButton, "終了", {840, 60, 795, 435}, Form1::Frame2},
    {"Label2", Kind::kLabel, {}, {120, 4560, 5130, 720}},
};

// The list's own menu, and the keys that find without it.
constexpr MenuItem kMenu[] = {
    {"mnuOpen", "開く（&O）"},
    {"mnuCopyPath", "パスをコピー（&C）", Shortcut::kCtrlC, Form1::List1},
    {"mnuFind", "検索（&F）…", Shortcut::kCtrlF},
    {"mnuFindNext", "次を検索", Shortcut::kF3},
    {"mnuFindPrevious", "前を検索", Shortcut::kShiftF3},
};

constexpr FormTable kTable{
    "Form1", "ファイルログ作成ツール", 7200, 5400, kControls, Form1::Text1, -1, kMenu};

}  // namespace

Form1::Form1(Env& env, SettingsLocation settings, std::string LogFilePath)
    : env_(env),
      settings_(std::move(settings)),
      log_file_path_(std::move(LogFilePath)),
      list_(env),
      follower_(env),
      find_(search_, [this] { FindNext(search_.down); }) {}

const FormTable& Form1::Table() const { return kTable; }

void Form1::Form_Load(FormView& view) {
  view_ = &view;
  view.SetText(Label2, text::kForm1Label2);
}

void Form1::Form_Unload() {
  find_.Close();
  follower_.Stop();
  const Status saved = SaveLogFilePath(env_, settings_, ShownLogFile(), log_file_path_);
  if (!saved.ok()) {
    view_->ShowMessage("設定ファイル「" +
                           VisibleText(settings_.settings_file, ControlStyle::kPictures) +
                           "」に保存できません。\n理由：" + saved.reason(),
                       text::kSaveTitle);
  }
}

void Form1::StartUp(const Status& settings_read) {
  SetText1(log_file_path_);
  GetListFromLogFile();
  if (!settings_read.ok()) {
    view_->ShowMessage("設定ファイル「" +
                           VisibleText(settings_.settings_file, ControlStyle::kPictures) +
                           "」を読めません。\n理由：" + settings_read.reason(),
                       text::kSettingsReadTitle);
  }
}

void Form1::SetText1(const std::string& text) { ShowText1(text); }

void Form1::ShowText1(const std::string& path) {
  view_->SetText(Text1, path);
  text1_put_ = path;
  text1_shown_ = view_->Text(Text1);
}

std::string Form1::ShownLogFile() const {
  std::string shown = view_->Text(Text1);
  return shown == text1_shown_ ? text1_put_ : shown;
}

void Form1::GetListFromLogFile() { Load(ShownLogFile()); }

void Form1::Load(const std::string& log_file) {
  follower_.Stop();
  list_.Clear(log_file);
  if (log_file.empty()) {
    view_->ListChanged(List1);
    return;
  }
  // The list learns its count once, when the log is read: nothing draws it
  // meanwhile, and with a long list each change costs the view dearly.
  view_->SetBusy(true);
  const Status read = follower_.Open(log_file, list_.places());
  view_->SetBusy(false);
  view_->ListChanged(List1);
  view_->Enable(List1, !list_.empty());
  view_->SetTimer(LogFollower::kLookEveryMilliseconds);
  // A log that is not there yet is simply empty; one that is there but
  // cannot be read must not pass for a lost log.
  if (!read.ok() && env_.Exists(log_file)) {
    view_->ShowMessage(ReadFailureText(log_file, read), text::kReadTitle);
  }
}

bool Form1::CatchUp() {
  const std::size_t before = list_.size();
  const LogFollower::Found found = follower_.CatchUp();
  if (found == LogFollower::Found::kReplaced) {
    const std::string log_file = follower_.path();
    Load(log_file);
    return false;
  }
  if (found != LogFollower::Found::kNothing) list_.Grew();
  if (list_.size() > before) {
    view_->ListChanged(List1, list_.size() - before);
    view_->Enable(List1, true);
  }
  return found == LogFollower::Found::kMore;
}

void Form1::Timer() {
  if (follower_.path().empty()) return;
  const bool more = CatchUp();
  if (!follower_.path().empty()) view_->SetTimer(more ? 0 : LogFollower::kLookEveryMilliseconds);
}

void Form1::Click(int control) {
  switch (control) {
    case Command1:
      Command1_Click();
      break;
    case Command2:
      Command2_Click();
      break;
    case Command3:
      Command3_Click();
      break;
    default:
      break;
  }
}

void Form1::DblClick(int control) {
  if (control == List1) List1_DblClick();
}

void Form1::KeyPress(int control, int KeyAscii) {
  if (control == List1) List1_KeyPress(KeyAscii);
}

void Form1::OLEDragDrop(int control, std::vector<DroppedItem>& Data) {
  if (control == List1) List1_OLEDragDrop(Data);
}

void Form1::List1_OLEDragDrop(std::vector<DroppedItem>& Data) {
  const std::string log_file = ShownLogFile();
  DropBatch drop(env_);
  view_->SetBusy(true);
  // What others added first goes below what is dropped now.
  CatchUp();
  for (DroppedItem& item : Data) drop.Take(item.path, item.exact);
  Landed landed;
  const Status written = drop.Write(log_file, &landed);
  const std::vector<std::string>& added = drop.added();
  if (!added.empty()) {
    follower_.Wrote(log_file, landed);
    for (const std::string& entry : added) list_.AddAside(entry);
    view_->ListChanged(List1, added.size());
    view_->Enable(List1, true);
  }
  view_->SetBusy(false);
  if (!drop.refused().empty()) view_->ShowMessage(RefusalText(drop.refused()), text::kDropTitle);
  if (!written.ok()) view_->ShowMessage(WriteFailureText(log_file, written), text::kDropTitle);
}

void Form1::List1_DblClick() {
  const std::optional<std::size_t> selected = view_->Selected(List1);
  if (!selected || *selected >= list_.size()) return;
  if (OpenEntry(env_, list_.Entry(*selected)) == Opening::kNotFound) {
    view_->ShowMessage(text::kNotFound, text::kNotFoundTitle);
  }
}

void Form1::List1_KeyPress(int KeyAscii) {
  if (KeyAscii == kKeyEnter) List1_DblClick();
}

void Form1::Command1_Click() {
  {
    Form2 chooser(env_, strFileName);
    view_->ShowModal(chooser);
  }
  if (!strFileName.empty() && strFileName != ShownLogFile()) {
    ShowText1(strFileName);
    GetListFromLogFile();
  }
}

void Form1::Command2_Click() {
  Form3 about;
  view_->ShowModal(about);
}

void Form1::Command3_Click() { view_->Close(); }

void Form1::ContextMenu(int control) {
  if (control != List1) return;
  if (list_.empty()) {
    view_->PopupMenu({{mnuFind, false}});
    return;
  }
  const bool chosen = view_->Selected(List1).has_value();
  view_->PopupMenu({{mnuOpen, chosen}, {mnuCopyPath, chosen}, {mnuFind, true}});
}

void Form1::MenuClick(int item) {
  switch (item) {
    case mnuOpen:
      List1_DblClick();
      break;
    case mnuCopyPath:
      CopyPath();
      break;
    case mnuFind:
      view_->ShowModeless(find_);
      break;
    case mnuFindNext:
    case mnuFindPrevious:
      // Nothing asked yet: the box asks.
      if (search_.text.empty()) {
        view_->ShowModeless(find_);
      } else {
        FindNext(search_.down == (item == mnuFindNext));
      }
      break;
    default:
      break;
  }
}

// The item's path as the list shows it: a name with stray bytes in its
// readable form, since the clipboard holds text.
void Form1::CopyPath() {
  const std::optional<std::size_t> selected = view_->Selected(List1);
  if (!selected || *selected >= list_.size()) return;
  if (!view_->CopyText(VisibleText(EntryPath(list_.Entry(*selected)), ControlStyle::kPictures))) {
    view_->ShowMessage(text::kNotCopied, text::kCopyTitle);
  }
}

// From the chosen entry on, round the list once.
void Form1::FindNext(bool down) {
  const Finder finder(search_);
  const std::size_t rows = list_.size();
  const std::optional<std::size_t> selected = view_->Selected(List1);
  const std::size_t from = selected && *selected < rows ? *selected : rows;
  std::optional<std::size_t> found = list_.Find(finder, from, down);
  bool round = false;
  if (!found && from < rows) {
    found = list_.Find(finder, rows, down);
    round = found.has_value();
  }
  if (!found) {
    view_->ShowMessage("「" + search_.text + "」は見つかりませんでした。", text::kFindTitle);
    return;
  }
  view_->Select(List1, *found);
  if (round)
    view_->ShowMessage(down ? text::kFoundFromTop : text::kFoundFromBottom, text::kFindTitle);
}

std::size_t Form1::ListCount(int control) const { return control == List1 ? list_.size() : 0; }

Row Form1::ListRow(int control, std::size_t row) const {
  if (row >= ListCount(control)) return {};
  return {list_.Shown(row)};
}

}  // namespace tallyrun::ui
