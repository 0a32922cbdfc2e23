// The dialogs' rules, on a system held in memory and windows without a
// toolkit: the chooser's drives, folders and files, its three outcomes and a
// drive that cannot be entered; and the about box.
#include <gtest/gtest.h>

#include "core/build_facts.h"
#include "tests/fake_view.h"
#include "tests/memory_env.h"
#include "ui/dialogs/about_box.h"
#include "ui/dialogs/find_box.h"
#include "ui/dialogs/log_file_chooser.h"
#include "ui/main/main_window.h"

namespace tallyrun::testing {
namespace {

using ui::Form2;
using Rows = std::vector<std::string>;

struct Chooser {
  Chooser(Env& env, std::string& strFileName) : form(env, strFileName), view(form) {}
  Form2 form;
  FakeView view;
  Rows Files() const { return view.Rows(Form2::File1); }
  void Key(int control, int KeyCode, int Shift = 0) { form.KeyUp(control, KeyCode, Shift); }
};

class Form2Test : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* file :
         {"a.txt", "A.log", "_x.log", "b.log", "C.txt", "c.TXT", "d.log.bak", "e.md", "log",
          "x.tar.txt", "subfolder/e.log", "subfolder/deeper/f.log"})
      env.Write(P(std::string("/home/me/") + file), "");
    env.MakeFolder(P("/home/me/Vanishing"));
    env.current_directory = P("/home/me");
    env.drives = {{"home", P("/home")}, {"root", P("/")}, {"gone", P("/gone")}};
  }

  MemoryEnv env;
  std::string strFileName = "earlier";
};

TEST_F(Form2Test, ItOpensAtTheCurrentFolderOnItsDriveOfferingOnlyTextAndLogFiles) {
  Chooser chooser(env, strFileName);
  EXPECT_EQ(chooser.view.Selected(Form2::Drive1), 0u);
  EXPECT_EQ(chooser.view.Rows(Form2::Drive1), (Rows{"home", "root", "gone"}));
  EXPECT_EQ(chooser.form.Dir1Path(), P("/home/me"));
  EXPECT_EQ(chooser.view.Rows(Form2::Dir1), (Rows{P("/"), "home", "me", "subfolder", "Vanishing"}));
  // The current folder open, the one below it not, each indented by its depth.
  const auto me = chooser.form.ListRow(Form2::Dir1, 2), sub = chooser.form.ListRow(Form2::Dir1, 3);
  EXPECT_EQ(std::tuple(me.depth, me.open, sub.depth, sub.open), std::tuple(2, true, 3, false));
  EXPECT_EQ(chooser.view.Selected(Form2::Dir1), 2u);
  // Sorted as file managers sort, letter case aside first.
  Rows files{"_x.log", "A.log", "a.txt", "b.log", "C.txt", "c.TXT", "x.tar.txt"};
  if (!kNamesIgnoreCase) std::erase(files, "c.TXT");
  EXPECT_EQ(chooser.Files(), files);

  // The drive is the one whose root is the longest that holds the folder.
  env.MakeFolder(P("/homework"));
  for (const auto& [here, drive] : {std::pair{"/homework", 1u}, {"/home", 0u}}) {
    env.current_directory = P(here);
    Chooser again(env, strFileName);
    EXPECT_EQ(again.view.Selected(Form2::Drive1), drive) << here;
  }
}

TEST_F(Form2Test, AFileIsTakenByEveryWayButOnlyWhenOneIsSelected) {
  for (int way = 0; way < 4; ++way) {
    strFileName = "earlier";
    Chooser chooser(env, strFileName);
    const auto take = [&] {
      if (way == 0) chooser.form.Click(Form2::Command1);
      if (way == 1) chooser.form.DblClick(Form2::File1);
      if (way == 2) chooser.Key(Form2::File1, 13);
      if (way == 3) chooser.Key(Form2::File1, 13, 1);
    };
    take();
    chooser.view.Select(Form2::File1, 99);  // past the list
    take();
    chooser.view.Select(Form2::File1, 1);
    chooser.Key(Form2::File1, ' ');
    EXPECT_EQ(strFileName, "earlier");
    EXPECT_FALSE(chooser.view.closed);
    take();
    EXPECT_EQ(strFileName, P("/home/me/A.log"));
    EXPECT_TRUE(chooser.view.closed);
  }
  // At a root, folder and name stand with one separator between them.
  env.Write(P("/top.log"), "");
  env.current_directory = P("/");
  Chooser chooser(env, strFileName);
  chooser.view.Select(Form2::File1, 0);
  chooser.form.Click(Form2::Command1);
  EXPECT_EQ(strFileName, P("/top.log"));
}

// Dropping more than one item on the file list is refused.
TEST_F(Form2Test, GoingBackEmptiesTheAnswerAndAnyOtherCloseKeepsIt) {
  {
    Chooser chooser(env, strFileName);
    std::vector<ui::DroppedItem> one{{P("/a.log")}}, two{{P("/a.log")}, {P("/b.log")}};
    chooser.form.OLEDragDrop(Form2::File1, one);
    EXPECT_EQ(chooser.view.told, Rows());
    chooser.form.OLEDragDrop(Form2::File1, two);
    EXPECT_EQ(
        chooser.view.told,
        Rows{"Ｄ＆Ｄキャンセル|２個以上のオブジェクトを\rドラッグ＆ドロップしないで下さい。"});
    chooser.view.Select(Form2::File1, 0);
    chooser.view.Close();
  }
  EXPECT_EQ(strFileName, "earlier");
  Chooser chooser(env, strFileName);
  chooser.view.Select(Form2::File1, 0);
  chooser.form.Click(Form2::Command2);
  EXPECT_EQ(strFileName, "");
  EXPECT_TRUE(chooser.view.closed);
}

TEST_F(Form2Test, EnterInTheFolderListOpensTheHighlightedFolderAndAVanishedOneLeavesUsThere) {
  Chooser chooser(env, strFileName);
  chooser.view.Select(Form2::Dir1, 99);  // past the list
  chooser.Key(Form2::Dir1, 13);
  chooser.form.DblClick(Form2::Dir1);
  chooser.view.Select(Form2::Dir1, 3);  // a path too long to sit inside its string
  chooser.Key(Form2::Dir1, 'A');
  EXPECT_EQ(chooser.form.Dir1Path(), P("/home/me"));
  chooser.Key(Form2::Dir1, 13, 1);
  EXPECT_EQ(chooser.form.Dir1Path(), P("/home/me/subfolder"));
  EXPECT_EQ(chooser.Files(), Rows{"e.log"});
  EXPECT_EQ(chooser.view.Rows(Form2::Dir1), (Rows{P("/"), "home", "me", "subfolder", "deeper"}));
  // Enter on the current folder reads its files again.
  env.Write(P("/home/me/subfolder/new.log"), "");
  chooser.Key(Form2::Dir1, 13);
  EXPECT_EQ(chooser.Files(), (Rows{"e.log", "new.log"}));
  chooser.view.Select(Form2::Dir1, 2);
  chooser.form.DblClick(Form2::Dir1);
  EXPECT_EQ(chooser.form.Dir1Path(), P("/home/me"));

  chooser.view.Select(Form2::Dir1, 4);  // Vanishing
  env.Remove(P("/home/me/Vanishing"));
  env.Write(P("/home/me/arrived.log"), "");
  chooser.Key(Form2::Dir1, 13);
  EXPECT_EQ(chooser.form.Dir1Path(), P("/home/me"));
  EXPECT_EQ(chooser.view.Rows(Form2::Dir1), (Rows{P("/"), "home", "me", "subfolder"}));
  EXPECT_EQ(chooser.Files().at(3), "arrived.log");
}

TEST_F(Form2Test, ADriveThatCannotBeEnteredIsToldOnceAndThePreviousOneReopensAtItsRoot) {
  env.Write(P("/home/root.log"), "");
  Chooser chooser(env, strFileName);
  const auto choose_drive = [&](std::size_t drive) {
    chooser.view.told.clear();
    chooser.view.Select(Form2::Drive1, drive);
    chooser.form.Change(Form2::Drive1);
    return chooser.view.told;
  };
  EXPECT_EQ(choose_drive(99), Rows());  // past the list
  EXPECT_EQ(chooser.form.Dir1Path(), P("/home/me"));
  EXPECT_EQ(choose_drive(2), Rows{"ドライブ情報取得失敗|指定したドライブは現在使用できません。"});
  EXPECT_EQ(chooser.view.Selected(Form2::Drive1), 0u);
  EXPECT_EQ(chooser.form.Dir1Path(), P("/home"));
  EXPECT_EQ(chooser.Files(), Rows{"root.log"});
  EXPECT_EQ(choose_drive(1).size(), 0u);
  EXPECT_EQ(chooser.form.Dir1Path(), P("/"));
  // With the way back closed as well, the lists stay as they are, and the
  // next failure is told again.
  choose_drive(0);
  env.closed.insert(P("/home"));
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_EQ(choose_drive(2).size(), 1u);
    EXPECT_EQ(chooser.view.Selected(Form2::Drive1), 0u);
    EXPECT_EQ(chooser.form.Dir1Path(), P("/home"));
  }
  EXPECT_EQ(strFileName, "earlier");
  EXPECT_FALSE(chooser.view.closed);
}

TEST(Form3, TheAboutBoxShowsOneDescriptionEveryTimeAndCloses) {
  const std::string description =
      "このプログラムは。\r\r\u3000ファイルやフォルダのログを取得するためのものです。"
      "そのファイルやフォルダをウィンドウで表示させることが出来ます。\r\u3000詳しくは「読んで☆."
      "txt」をご覧下さい。";
  for (int showing = 0; showing < 2; ++showing) {
    ui::Form3 about;
    FakeView view(about);
    EXPECT_EQ(view.Text(ui::Form3::Label4), description);
    EXPECT_EQ(view.Text(ui::Form3::Label1), "Tallyrun.exe\u3000Ver 1.02.0000 (2002.06.26)");
    about.Click(ui::Form3::Command1);
    EXPECT_TRUE(view.closed);
  }
}

// Each window's size, then its controls' places (left, top, width, height)
// in twips; then its focus and default button, and per control its frame
// (a row), P for the proportional face, B bold, U underlined, h and the row
// whose caption names it, b bordered, d disabled, t taking drops.
TEST(Tables, EveryWindowAndControlStandsWhereTheLayoutPutsIt) {
  MemoryEnv env;
  std::string answer;
  ui::Search search;
  const ui::Form1 main(env, {}, "");
  const ui::Form2 chooser(env, answer);
  const ui::Form3 about;
  const ui::Form4 find(search, [] {});
  std::vector<int> places;
  std::string marks;
  for (const ui::Form* form :
       std::initializer_list<const ui::Form*>{&main, &chooser, &about, &find}) {
    const ui::FormTable& t = form->Table();
    places.insert(places.end(), {t.width, t.height});
    marks += std::to_string(t.focus) + " " + std::to_string(t.default_button) + ":";
    for (const ui::Control& c : t.controls) {
      places.insert(places.end(), {c.place.left, c.place.top, c.place.width, c.place.height});
      marks += " " + (c.in >= 0 ? std::to_string(c.in) : "") +
               (c.face == ui::Face::kPGothic ? "P" : "") + (c.style & ui::kBold ? "B" : "") +
               (c.style & ui::kUnderline ? "U" : "") +
               (c.heard_by >= 0 ? "h" + std::to_string(c.heard_by) : "") + (c.bordered ? "b" : "") +
               (c.starts_disabled ? "d" : "") + (c.takes_drops ? "t" : "");
    }
    marks += "\n";
  }
  // clang-format off
  EXPECT_EQ(places, (std::vector<int>{
       7200, 5400,  120, 120, 3330, 180,  120, 360, 6135, 315,  6300, 240, 795, 495,
       60, 60, 675, 375,  120, 1140, 6975, 3300,  120, 900, 3150, 180,  5400, 4740, 1695, 555,
       60, 120, 555, 375,  840, 60, 795, 435,  120, 4560, 5130, 720,
       7005, 3900,  120, 120, 3135, 195,  120, 680, 3135, 195,  3480, 120, 3375, 255,
       3480, 300, 3375, 2970,  3480, 3360, 3375, 495,  60, 0, 1995, 435,  2280, 0, 1035, 435,
       120, 300, 3135, 300,  120, 870, 3135, 2400,  120, 3360, 3135, 435,
       4575, 4050,  240, 420, 4095, 1995,  120, 120, 4335, 255,  300, 1560, 3495, 315,
       180, 240, 3735, 1215,  120, 2460, 4335, 1515,  120, 180, 4095, 1215,
       6420, 1440,  120, 165, 1905, 255,  2040, 120, 2640, 315,  4800, 105, 1500, 375,
       4800, 585, 1500, 375,  120, 960, 2880, 315,  3120, 540, 1560, 780,  120, 240, 1320, 240,
       120, 495, 1320, 240}));
  // clang-format on
  EXPECT_EQ(marks,
            "1 -1:  h0  2 h5dt   6 6 \n3 -1:    h2t  4BU 4B h0 h1 \n2 2: b  0P 0 b 4P\n1 2:  h0    "
            " 5 5\n");
}

}  // namespace
}  // namespace tallyrun::testing
