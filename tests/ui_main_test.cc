// The main window's rules, on a system held in memory and a window without a
// toolkit: what Text1 and List1 show, drops, opening entries, the chooser's
// answer, saving on close, and following the log as others write it.
#include <gtest/gtest.h>

#include <memory>

#include "core/log_reader.h"
#include "tests/fake_view.h"
#include "tests/memory_env.h"
#include "ui/main/finding.h"
#include "ui/main/log_follower.h"
#include "ui/main/log_list.h"
#include "ui/main/main_window.h"

namespace tallyrun::testing {
namespace {

using ui::Form1;
using Rows = std::vector<std::string>;
using namespace std::string_literals;

const std::string kNow = "2024/05/06 7:08:09";
const std::string kDated = "2020/01/02 3:04:05";

std::string Bare(const std::string& path) { return kNow + "\t" + path + "\t" + kDated + "\r\n"; }
std::string Quoted(const std::string& path, const std::string& modified = kDated) {
  return "\"" + kNow + "\t" + path + "\t" + modified + "\"\r\n";
}
std::string Entry(const std::string& path) { return kNow + "|" + path; }

class Form1Test : public ::testing::Test {
 protected:
  // Start-up's part: the window shown, the log file put into Text1, the list read.
  struct Shown {
    Shown(Env& env, const SettingsLocation& location, const std::string& log,
          const Status& settings_read = Status::Ok())
        : form(env, location, log), view(form) {
      form.StartUp(settings_read);
    }
    Form1 form;
    FakeView view;
    Rows rows() const { return view.Rows(Form1::List1); }
    void Drop(const std::vector<std::string>& paths) {
      std::vector<ui::DroppedItem> items;
      for (const std::string& p : paths) items.push_back({p});
      form.OLEDragDrop(Form1::List1, items);
    }
    void Look() { form.Timer(); }
  };

  auto Start(const std::string& log) { return std::make_unique<Shown>(env, location, log); }

  MemoryEnv env;
  const std::string log = P("/home/me/Tallyrun.log");
  const SettingsLocation location{P("/home/me/Tallyrun.ini"), log};
};

// Controls show as pictures, and a huge entry is cut.
TEST_F(Form1Test, TheLogIsListedNewestFirstAndTheListIsEnabledOnlyWithEntries) {
  // The long entry runs over the end of the first MiB the list holds.
  env.Write(log, Bare("/a") + Quoted("/b") + Bare("/b\u0001c") + std::string(900 << 10, '-') +
                     "\r\nM2\t/" + std::string(300 << 10, 'y') + "\tD\r\nM3\t/" +
                     std::string(4112, 'z') + "\tD\r\n");
  auto shown = Start(log);
  EXPECT_EQ(
      shown->view.Text(Form1::Label2),
      "↑このリストボックスに、ログを取りたいファイルやフォルダをドラッグ＆ドロップしてください。");
  // The longest entry shown whole, and one longer.
  EXPECT_EQ(shown->rows(),
            (Rows{"M3|/" + std::string(4112, 'z'), "M2|/" + std::string(4112, 'y') + "…",
                  Entry("/b␁c"), Entry("/b"), Entry("/a")}));
  EXPECT_TRUE(shown->view.Enabled(Form1::List1));
  shown->view.Select(Form1::List1, 1);  // its path is copied whole
  shown->form.MenuClick(Form1::mnuCopyPath);
  EXPECT_EQ(shown->view.clipboard, "/" + std::string(300 << 10, 'y'));

  // A missing log is simply empty; one that is there but cannot be read says
  // so. A drop with nothing to record makes no log and says nothing.
  for (const std::string& missing : {std::string(), P("/nowhere.log")}) {
    shown = Start(missing);
    shown->Drop({});
    EXPECT_EQ(shown->rows(), Rows());
    EXPECT_FALSE(shown->view.Enabled(Form1::List1));
    EXPECT_EQ(shown->view.told, Rows());
  }
  EXPECT_FALSE(env.HasFile(P("/nowhere.log")));
  env.refused[log] = "アクセスが拒否されました";
  shown = Start(log);
  EXPECT_EQ(shown->rows(), Rows());
  EXPECT_EQ(shown->view.told, Rows{"ログ読み込み中断|ログファイル「" + log +
                                   "」を読めません。\n理由：アクセスが拒否されました"});
  // A settings file start-up could not read is told too.
  env.refused.clear();
  shown = std::make_unique<Shown>(env, location, log, Status::Failure("ロックされています"));
  EXPECT_EQ(shown->view.told, Rows{"設定読み込み中断|設定ファイル「" + location.settings_file +
                                   "」を読めません。\n理由：ロックされています"});
}

// Between records others append, the window's own batch is listed once.
TEST_F(Form1Test, DropsAreRecordedQuotedInDropOrderAndListedOnTopOnce) {
  env.MakeFolder(P("/home/me/a"));
  env.Write(P("/home/me/b c.txt"), "x");
  env.Write(log, "");
  auto shown = Start(log);
  ASSERT_FALSE(shown->view.Enabled(Form1::List1));
  env.Append(log, Bare("/before"));
  shown->Drop({P("/home/me/a"), P("/home/me/b c.txt"), P("/home/me/gone")});
  EXPECT_EQ(shown->rows().front(), Entry(P("/home/me/gone/")));
  EXPECT_TRUE(shown->view.Enabled(Form1::List1));
  EXPECT_TRUE(shown->view.was_busy && !shown->view.busy);
  env.Append(log, Bare("/after"));
  EXPECT_EQ(env.Read(log), Bare("/before") + Quoted(P("/home/me/a/")) +
                               Quoted(P("/home/me/b c.txt")) + Quoted(P("/home/me/gone/"), "") +
                               Bare("/after"));
  const Rows expected{Entry("/after"), Entry(P("/home/me/gone/")), Entry(P("/home/me/b c.txt")),
                      Entry(P("/home/me/a/")), Entry("/before")};
  for (int look = 0; look < 2; ++look) {
    shown->Look();
    EXPECT_EQ(shown->rows(), expected);
  }
  shown->form.GetListFromLogFile();
  EXPECT_EQ(shown->rows(), expected);
  EXPECT_EQ(shown->view.told, Rows());

  // Into a log that was not there yet, the first drop makes it; entries
  // listed show the moments their lines hold, also as the seconds pass.
  env.Remove(log);
  shown = Start(log);
  shown->Drop({P("/home/me/b c.txt")});
  env.Append(log, Bare("/after"));
  shown->Look();
  EXPECT_EQ(shown->rows(), (Rows{Entry("/after"), Entry(P("/home/me/b c.txt"))}));
  env.ticking = true;
  shown->Drop({P("/home/me/b c.txt"), P("/home/me/a")});
  const Rows listed = shown->rows();
  shown->form.GetListFromLogFile();
  EXPECT_EQ(shown->rows(), listed);
}

TEST_F(Form1Test, RefusedNamesAndALogThatCannotBeWrittenAreToldAndListNothing) {
  env.Write(P("/home/me/good.txt"), "x");
  env.Write(log, Bare("/a"));
  auto shown = Start(log);
  // Names that cannot be one line, or that did not reach us as they are
  // (a name the toolkit decoded with U+FFFD names nothing that exists).
  // clang-format off
  std::vector<ui::DroppedItem> items{{P("/home/me/a\tb")}, {P("/home/me/good.txt")},
      {P("/home/me/c\nd")}, {P("/home/me/lost\uFFFD"), false}, {P("/home/me/x\uFFFD")}};
  // clang-format on
  shown->form.OLEDragDrop(Form1::List1, items);
  EXPECT_EQ(env.Read(log), Bare("/a") + Quoted(P("/home/me/good.txt")));
  const std::string refused =
      "ログ書き込み中断|次の項目は名前にタブや改行、または扱えない文字を含むため、"
      "記録しませんでした。";
  EXPECT_EQ(shown->view.told, Rows{refused + "\n" + P("/home/me/a␉b") + "\n" + P("/home/me/c␊d") +
                                   "\n" + P("/home/me/lost\uFFFD") + "\n" + P("/home/me/x\uFFFD")});
  // Ten names at most, then how many more.
  for (const std::size_t count : {10, 11}) {
    shown->view.told.clear();
    shown->Drop(Rows(count, "\t"));
    std::string names;
    for (int i = 0; i < 10; ++i) names += "\n␉";
    EXPECT_EQ(shown->view.told, Rows{refused + names + (count > 10 ? "\nほか 1 件" : "")});
  }

  env.refused[log] = "ディスクの空き容量が足りません";
  shown->view.told.clear();
  shown->Drop({P("/home/me/good.txt")});
  EXPECT_EQ(shown->view.told, Rows{"ログ書き込み中断|ログファイル「" + log +
                                   "」に書き込めません。\n理由：ディスクの空き容量が足りません"});
  EXPECT_EQ(shown->rows().size(), 2u);
  EXPECT_EQ(shown->rows().front(), Entry(P("/home/me/good.txt")));
}

TEST_F(Form1Test, EnterOrADoubleClickOpensTheChosenEntryAndAMissingItemIsTold) {
  env.MakeFolder(P("/home/me/docs"));
  env.Write(P("/home/me/r\xFF.txt"), "x");
  env.Write(log, Bare(P("/home/me/docs/")) + Bare(P("/home/me/r\xFF.txt")) +
                     Bare(P("/home/me/gone.txt")) + "M\t/a\0b\tD\r\n"s);
  auto shown = Start(log);
  FakeView& view = shown->view;
  // Nothing chosen, a row past the list, or another key: nothing happens.
  shown->form.DblClick(Form1::List1);
  view.Select(Form1::List1, 4);
  shown->form.DblClick(Form1::List1);
  EXPECT_EQ(shown->form.ListRow(Form1::List1, 4).text, "");
  view.Select(Form1::List1, 3);
  shown->form.KeyPress(Form1::List1, 'a');
  EXPECT_TRUE(env.shown.empty() && view.told.empty());

  shown->form.KeyPress(Form1::List1, 13);
  view.Select(Form1::List1, 2);
  shown->form.DblClick(Form1::List1);
  // The file by the exact bytes of its name.
  EXPECT_EQ(env.shown, (std::vector<std::pair<std::string, bool>>{
                           {P("/home/me/docs/"), true}, {P("/home/me/r\xFF.txt"), false}}));
  for (const std::size_t gone : {0, 1}) {
    view.Select(Form1::List1, gone);
    shown->form.DblClick(Form1::List1);
  }
  EXPECT_EQ(view.told, Rows(2, "ウィンドウオープン中断|ファイル／フォルダが存在しないようです。"));
  EXPECT_EQ(env.shown.size(), 2u);
}

TEST_F(Form1Test, TheChoosersAnswerIsAdoptedOnlyWhenItNamesAnotherFile) {
  const std::string other = P("/home/me/other.log");
  env.Write(log, Bare("/first"));
  env.Write(other, Bare("/other"));
  auto shown = Start(log);
  // The dialog a button shows. The chooser leaves its answer in strFileName;
  // here it is closed by its window's own command, which keeps whatever
  // strFileName holds.
  const auto press = [&](int button, const std::string& answer) {
    std::string dialog_shown;
    shown->view.in_dialog = [&](ui::Form& dialog, FakeView&) {
      dialog_shown = dialog.Table().name;
      shown->form.strFileName = answer;
    };
    shown->form.Click(button);
    return dialog_shown;
  };
  const std::size_t reads = env.reads;
  EXPECT_EQ(press(Form1::Command1, ""), "Form2");
  EXPECT_EQ(press(Form1::Command1, log), "Form2");  // the file already shown
  EXPECT_EQ(env.reads, reads);
  EXPECT_EQ(press(Form1::Command1, other), "Form2");
  EXPECT_EQ(shown->view.Text(Form1::Text1), other);
  EXPECT_EQ(shown->rows(), Rows{Entry("/other")});
  // A path typed into Text1 changes nothing until the chooser is shown again;
  // closed without a choice, it leaves the earlier one, which differs.
  shown->view.Type(Form1::Text1, log);
  EXPECT_EQ(shown->rows(), Rows{Entry("/other")});
  shown->view.in_dialog = nullptr;
  shown->form.Click(Form1::Command1);
  EXPECT_EQ(shown->view.Text(Form1::Text1), other);
  EXPECT_EQ(press(Form1::Command2, other), "Form3");
}

// A log name the toolkit cannot hold is used by its exact bytes.
TEST_F(Form1Test, ClosingSavesTheShownLogFileOnlyWhenItChanged) {
  const std::string other = P("/home/me/other.log"), odd = P("/home/me/log\xFF.log");
  const std::string item = P("/home/me/item");
  env.Write(odd, Bare("/a"));
  env.Write(item, "x");
  for (const bool by_button : {true, false}) {
    auto shown = Start(odd);
    EXPECT_EQ(shown->view.Text(Form1::Text1), P("/home/me/log\uFFFD.log"));
    shown->Drop({item});
    EXPECT_EQ(shown->rows().back(), Entry("/a"));
    shown->view.Type(Form1::Text1, other);
    shown->view.Type(Form1::Text1, P("/home/me/log\uFFFD.log"));
    by_button ? shown->form.Click(Form1::Command3) : shown->view.Close();
    EXPECT_TRUE(shown->view.closed);
  }
  EXPECT_EQ(env.Read(odd), Bare("/a") + Quoted(item) + Quoted(item));
  EXPECT_FALSE(env.HasFile(location.settings_file));

  auto shown = Start(log);
  shown->view.Type(Form1::Text1, other);
  shown->form.Click(Form1::Command3);
  EXPECT_EQ(env.Read(location.settings_file), "[Tallyrun]\r\nLogFile=" + other + "\r\n");

  // Saving can fail; the window closes all the same.
  env.refused[location.settings_file] = "アクセスが拒否されました";
  shown = Start(other);
  shown->view.Type(Form1::Text1, log);
  shown->view.Close();
  EXPECT_TRUE(shown->view.closed);
  EXPECT_EQ(shown->view.told, Rows{"設定保存中断|設定ファイル「" + location.settings_file +
                                   "」に保存できません。\n理由：アクセスが拒否されました"});
}

TEST_F(Form1Test, RecordsOthersAppendArriveOnTopOnceTheirLinesAreWhole) {
  std::string text;
  for (int i = 0; i < 100; ++i) text += Bare("/old/" + std::to_string(i));
  // Read while another program is half-way through a record.
  env.Write(log, text + "M0\t/half");
  auto shown = Start(log);
  EXPECT_EQ(shown->view.timer, ui::LogFollower::kLookEveryMilliseconds);
  shown->view.Select(Form1::List1, 50);
  shown->Look();
  EXPECT_EQ(shown->rows().size(), 100u);

  env.Append(log, "way\tD\r\n" + Bare("/new/1") + Bare("/new/2") + "M3\t/new/3\tD");
  shown->Look();
  // Its end read first: the bytes read before it ended are not all there is.
  EXPECT_EQ(shown->form.ListRow(Form1::List1, 2).text, "M0|/halfway");
  const Rows rows = shown->rows();
  EXPECT_EQ(Rows(rows.begin(), rows.begin() + 4),
            (Rows{Entry("/new/2"), Entry("/new/1"), "M0|/halfway", Entry("/old/99")}));
  EXPECT_EQ(shown->view.changes.back(), 3u);
  EXPECT_EQ(shown->view.Selected(Form1::List1), 53u);
  // However little comes at a time, it is added, never read again.
  for (const char* bit : {"\r\n", "M4\t/4\tD\r\n"}) {
    env.Append(log, bit);
    shown->Look();
    EXPECT_EQ(shown->view.changes.back(), 1u);
  }
  EXPECT_EQ(shown->rows().size(), 105u);
  EXPECT_EQ(shown->rows().at(1), "M3|/new/3");

  // A last line that reads as a record is listed as the log opens, and not
  // again once it is finished.
  env.Write(log, Bare("/x") + "M\t/y\t2020/01");
  shown = Start(log);
  env.Append(log, "/02\r\n" + Bare("/z"));
  shown->Look();
  EXPECT_EQ(shown->rows(), (Rows{Entry("/z"), "M|/y", Entry("/x")}));
  EXPECT_EQ(shown->view.timer, ui::LogFollower::kLookEveryMilliseconds);
}

TEST_F(Form1Test, ALogReplacedEmptiedOrCutShortIsReadAgainFromTheStart) {
  const std::string other = P("/home/me/typed.log");
  // The log as it is then: another file, a shorter one, or (emptied and
  // filled again at once) one as long as before or longer.
  const std::pair<std::function<void()>, Rows> ways[] = {
      {[&] { env.Replace(log, Bare("/replaced") + Bare("/after")); },
       {Entry("/after"), Entry("/replaced")}},
      {[&] { env.Write(log, Bare("/cut")); }, {Entry("/cut")}},
      {[&] { env.Write(log, Bare("/refilled-00") + Bare("/refilled-01") + Bare("/after")); },
       {Entry("/after"), Entry("/refilled-01"), Entry("/refilled-00")}},
  };
  for (const auto& [way, after] : ways) {
    env.Replace(log, Bare("/first") + Bare("/second"));
    auto shown = Start(log);
    // Typed, not chosen: the log followed stays the one read.
    shown->view.Type(Form1::Text1, other);
    way();
    shown->Look();
    EXPECT_EQ(shown->rows(), after);
  }

  // Gone, then back; and a log empty when the window opened, replaced.
  auto shown = Start(log);
  env.Remove(log);
  shown->Look();
  EXPECT_EQ(shown->rows(), Rows());
  EXPECT_FALSE(shown->view.Enabled(Form1::List1));
  const std::size_t changes = shown->view.changes.size();
  shown->Look();  // nothing more to do while it is away
  EXPECT_EQ(shown->view.changes.size(), changes);
  env.Write(log, Bare("/back"));
  shown->Look();
  EXPECT_EQ(shown->rows(), Rows{Entry("/back")});
  EXPECT_TRUE(shown->view.Enabled(Form1::List1));
  env.Write(log, "");
  shown = Start(log);
  env.Replace(log, Bare("/new"));
  shown->Look();
  EXPECT_EQ(shown->rows(), Rows{Entry("/new")});
}

TEST_F(Form1Test, AHugeAppendIsReadOverSeveralLooksAndALongLineIsPassedOver) {
  env.Write(log, Bare("/a"));
  auto shown = Start(log);
  std::string added = "M\t/" + std::string(3 << 20, 'x') + "\tD\r\n";
  for (int i = 0; i < 200'000; ++i) added += Bare("/n");
  env.Append(log, added);
  const std::size_t read = env.bytes_read;
  shown->Look();
  EXPECT_EQ(shown->view.timer, 0);
  EXPECT_LT(env.bytes_read - read, added.size()) << "one look reads a bounded part";
  while (shown->view.timer == 0) shown->Look();
  EXPECT_EQ(shown->rows().size(), 200'001u);
  EXPECT_EQ(shown->rows().back(), Entry("/a"));
}

TEST_F(Form1Test, FindGoesFromTheChosenEntryRoundTheListOnceWithTheCaseRuleChosen) {
  env.Write(log, Bare("/b/Report.txt") + Bare("/a/ＲＥＰＯＲＴ.txt") + Bare("/c/report.TXT") +
                     Bare("/d/other"));
  auto shown = Start(log);
  FakeView& view = shown->view;
  // F3 with nothing asked yet opens the box; the box finds with its fields.
  shown->form.MenuClick(Form1::mnuFindNext);
  ASSERT_NE(view.beside, nullptr);
  FakeView& box = *view.beside;
  EXPECT_FALSE(box.Enabled(ui::Form4::Command1));
  box.Type(ui::Form4::Text1, "report");
  box.form().Change(ui::Form4::Text1);
  EXPECT_TRUE(box.Enabled(ui::Form4::Command1));
  EXPECT_TRUE(box.Checked(ui::Form4::Option2));
  // Down from the top: rows 1, then 3 ("ＲＥＰＯＲＴ" is full-width: never
  // taken for "report"), then round again to 1 with a notice.
  for (const std::size_t row : {1, 3, 1}) {
    box.form().Click(ui::Form4::Command1);
    EXPECT_EQ(view.Selected(Form1::List1), row);
  }
  EXPECT_EQ(view.told, Rows{"検索|一番下まで検索したので、一番上から続けて検索しました。"});
  // Shift+F3 goes the other way, F3 the box's way; the case can count.
  shown->form.MenuClick(Form1::mnuFindPrevious);
  EXPECT_EQ(view.Selected(Form1::List1), 3u);
  box.SetChecked(ui::Form4::Check1, true);
  box.SetChecked(ui::Form4::Option1, true);
  box.SetChecked(ui::Form4::Option2, false);
  box.form().Click(ui::Form4::Command1);
  EXPECT_EQ(view.Selected(Form1::List1), 1u);
  view.told.clear();
  shown->form.MenuClick(Form1::mnuFindNext);
  EXPECT_EQ(view.told, Rows{"検索|一番上まで検索したので、一番下から続けて検索しました。"});
  EXPECT_EQ(view.Selected(Form1::List1), 1u);
  box.Type(ui::Form4::Text1, "nowhere");
  view.told.clear();
  box.form().Click(ui::Form4::Command1);
  EXPECT_EQ(view.told, Rows{"検索|「nowhere」は見つかりませんでした。"});
  // The box closes with the window.
  shown->view.Close();
  EXPECT_TRUE(box.closed);
}

TEST_F(Form1Test, TheListsMenuOffersWhatTheChosenEntryAllowsAndCopiesItsPath) {
  auto shown = Start(log);
  shown->form.ContextMenu(Form1::List1);
  EXPECT_EQ(shown->view.menu, Rows{"(mnuFind)"});
  env.Write(log, Bare(P("/home/me/a\xFF.txt")) + Bare("/b"));
  shown = Start(log);
  shown->form.ContextMenu(Form1::List1);
  EXPECT_EQ(shown->view.menu, (Rows{"(mnuOpen)", "(mnuCopyPath)", "mnuFind"}));
  shown->form.MenuClick(Form1::mnuCopyPath);
  EXPECT_EQ(shown->view.clipboard, "");
  shown->view.Select(Form1::List1, 1);
  shown->form.ContextMenu(Form1::List1);
  EXPECT_EQ(shown->view.menu, (Rows{"mnuOpen", "mnuCopyPath", "mnuFind"}));
  shown->form.MenuClick(Form1::mnuCopyPath);
  EXPECT_EQ(shown->view.clipboard, P("/home/me/a\\xFF.txt"));
  shown->view.clipboard_free = false;
  shown->form.MenuClick(Form1::mnuCopyPath);
  shown->form.MenuClick(Form1::mnuOpen);
  EXPECT_EQ(
      shown->view.told,
      (Rows{"パスのコピー中断|"
            "クリップボードがほかのプログラムに使われているため、パスをコピーできませんでした。",
            "ウィンドウオープン中断|ファイル／フォルダが存在しないようです。"}));
  shown->form.MenuClick(Form1::mnuFind);
  EXPECT_NE(shown->view.beside, nullptr);
}

// Capitals fold to their small letters at both ends of each range; signs,
// small letters, letters without a pair, four-byte characters and stray
// bytes stay as they are.
TEST(FoldCase, FoldsEachRangeOfCapitalsToTheEndsAndNothingBeside) {
  std::string folded;
  ui::FoldCase(
      "@AZ[ ¿ÀÖ×ØÞß ΐΑΡ\u03A2ΣΫά \u03FFЀЏАЯа ÿĀāİıĶĸĹĺŇňŉŊŶŸŹŽžſƀ ＠ＡＺ［ 😀\xFF"
      "\u0080\u0800\uFFFF\U0010FFFF",
      folded);
  EXPECT_EQ(folded,
            "@az[ ¿àö×øþß ΐαρ\u03A2σϋά \u03FFѐџаяа ÿāāİıķĸĺĺňňŉŋŷÿźžžſƀ ＠ａｚ［ 😀\xFF"
            "\u0080\u0800\uFFFF\U0010FFFF");
}

TEST(LogFollowerTest, ALogScannedInTwoHalvesListsWhatScanningItWholeDoes) {
  MemoryEnv env;
  const std::string log = P("/log");
  std::string lines;
  for (int i = 0; i < 40; ++i) {
    lines += i % 7 == 3 ? "damaged\r\n" : i % 11 == 5 ? "\r\n" : Bare("/" + std::string(i, 'x'));
    // The halves meet wherever the middle falls: in a record, a damaged
    // line, an empty one, a line end.
    const std::string text = lines + "M\t/unended\tD";
    env.Write(log, text);
    RecordPlaces whole, halves;
    ASSERT_TRUE(ui::LogFollower(env, UINT64_MAX).Open(log, whole).ok());
    ASSERT_TRUE(ui::LogFollower(env, 1).Open(log, halves).ok());
    ASSERT_EQ(EntriesOf(text, halves, env), EntriesOf(text, whole, env)) << i;
  }
}

TEST(LogListTest, EveryMatchIsFoundHoweverItsLineIsWrittenOrShown) {
  // Lines each written or shown their own way, among plain ones in runs of
  // many records, with an entry kept aside between.
  // clang-format off
  const Rows odd = {Bare("/x/\u202Eabc.txt"), Bare("/s/\xFFname"), Bare("/j/\x95\x5C"),
                    Bare("/e/Caf\u00E9"), Bare("/c/a\u0001b"),
                    Bare("/l/" + std::string(5000, 'y') + "tail"), Bare("/f/\uFF32\uFF25\uFF30"),
                    Bare("/k/顧客/報告"), Bare("/m/MiXeD")};
  // clang-format on
  std::string before, after;
  for (int i = 0; i < 400; ++i) {
    std::string& part = i < 200 ? before : after;
    part += i % 40 == 20 ? odd[static_cast<std::size_t>(i / 40) % odd.size()]
                         : Bare("/plain/file" + std::to_string(i));
  }
  struct : MemoryEnv {
    // The log's one CP932 character.
    void DecodeLegacyText(std::string_view bytes, std::string& out) override {
      out.assign(bytes);
      out.replace(out.find("\x95\x5C"), 2, "表");
    }
  } env;
  const std::string log = P("/log");
  env.Write(log, before + after);
  ui::LogList list(env);
  list.Clear(log);
  LogScanner scanner(list.places());
  scanner.Feed(before, 0);
  list.AddAside(Entry("/aside/MiXeD"));
  scanner.Feed(after, before.size());
  scanner.Finish();
  // Each but the last (a byte of no character) matches an entry.
  const std::vector<std::pair<std::string, bool>> searches = {
      {"202eabc", false}, {"xffname", false}, {"表", false},     {"CAFÉ", false},
      {"|/C/A", false},   {"a␁b", true},      {"y…", false},     {"ｒｅｐ", false},
      {"ＲＥＰ", true},   {"顧客", true},     {"mixed", false},  {"MiXeD", true},
      {"file1", false},   {"le39", true},     {"\\u202E", true}, {"le1\xFF", true},
  };
  for (const auto& [text, match_case] : searches) {
    const ui::Finder finder({text, true, match_case});
    std::vector<std::size_t> each;
    for (std::size_t row = 0; row < list.size(); ++row)
      if (finder.In(list.Shown(row))) each.push_back(row);
    // Down from the top, and up from the bottom, each row found is listed in order.
    for (const bool down : {true, false}) {
      std::vector<std::size_t> found;
      for (auto row = list.Find(finder, list.size(), down); row;
           row = list.Find(finder, *row, down))
        found.insert(down ? found.end() : found.begin(), *row);
      EXPECT_EQ(found, each) << text << (down ? " down" : " up");
    }
  }
}

}  // namespace
}  // namespace tallyrun::testing
