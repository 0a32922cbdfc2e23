// The dialogs' rules, on a system held in memory and windows without a
// toolkit: the chooser's drives, folders and files, its three outcomes and a
// drive that cannot be entered; the about box; and every window's table.
#include <gtest/gtest.h>

#include <sstream>

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
    for (const char* file : {"a.txt", "A.log", "_x.log", "b.log", "C.txt", "c.TXT", "d.log.bak",
                             "e.md", "log", "x.tar.txt", "sub/e.log", "sub/deeper/f.log"}) {
      env.Write(P(std::string("/home/me/") + file), "");
    }
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
  EXPECT_EQ(chooser.view.Rows(Form2::Dir1), (Rows{P("/"), "home", "me", "sub", "Vanishing"}));
  EXPECT_EQ(chooser.form.ListRow(Form2::Dir1, 2).depth, 2);
  EXPECT_TRUE(chooser.form.ListRow(Form2::Dir1, 2).open);
  EXPECT_EQ(chooser.form.ListRow(Form2::Dir1, 3).depth, 3);
  EXPECT_FALSE(chooser.form.ListRow(Form2::Dir1, 3).open);
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
    chooser.view.CloseWindow();
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
  chooser.view.Select(Form2::Dir1, 3);  // sub
  chooser.Key(Form2::Dir1, 'A');
  EXPECT_EQ(chooser.form.Dir1Path(), P("/home/me"));
  chooser.Key(Form2::Dir1, 13, 1);
  EXPECT_EQ(chooser.form.Dir1Path(), P("/home/me/sub"));
  EXPECT_EQ(chooser.Files(), Rows{"e.log"});
  EXPECT_EQ(chooser.view.Rows(Form2::Dir1), (Rows{P("/"), "home", "me", "sub", "deeper"}));
  // Enter on the current folder reads its files again.
  env.Write(P("/home/me/sub/new.log"), "");
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
  EXPECT_EQ(chooser.view.Rows(Form2::Dir1), (Rows{P("/"), "home", "me", "sub"}));
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

// Each control of each window: name, kind, caption, place in twips, frame,
// face, how a screen reader names it.
std::string Listing(const ui::FormTable& table) {
  static constexpr const char* kKinds[] = {"label",   "text",  "frame", "button", "log",   "drives",
                                           "folders", "files", "note",  "check",  "option"};
  static constexpr const char* kKeys[] = {"", "Ctrl+C", "Ctrl+F", "F3", "Shift+F3"};
  std::ostringstream out;
  out << table.name << " " << table.title << " " << table.width << "x" << table.height << " focus "
      << table.controls[static_cast<std::size_t>(table.focus)].name << "\n";
  for (const ui::Control& c : table.controls) {
    const ui::Twips& p = c.place;
    out << c.name << " " << kKinds[static_cast<int>(c.kind)] << " " << p.left << "," << p.top << ","
        << p.width << "," << p.height;
    if (c.in >= 0) out << " in " << table.controls[static_cast<std::size_t>(c.in)].name;
    if (c.face == ui::Face::kPGothic) out << " P";
    if (c.style & ui::kBold) out << " bold";
    if (c.style & ui::kUnderline) out << " underlined";
    if (c.heard_by >= 0)
      out << " heard " << table.controls[static_cast<std::size_t>(c.heard_by)].name;
    if (!c.heard_as.empty()) out << " heard " << c.heard_as;
    if (c.bordered) out << " bordered";
    if (c.starts_disabled) out << " disabled";
    if (c.takes_drops) out << " drops";
    if (!c.caption.empty()) out << " " << c.caption.substr(0, c.caption.find('\r'));
    out << "\n";
  }
  for (const ui::MenuItem& m : table.menu) {
    out << m.name << " " << m.caption << " " << kKeys[static_cast<int>(m.shortcut)];
    if (m.on >= 0) out << " on " << table.controls[static_cast<std::size_t>(m.on)].name;
    out << "\n";
  }
  return out.str();
}

TEST(Tables, EveryWindowsControlsStandInTabOrderWhereTheLayoutPutsThem) {
  MemoryEnv env;
  std::string answer;
  const ui::Form1 main(env, {}, "");
  const ui::Form2 chooser(env, answer);
  const ui::Form3 about;
  ui::Search search;
  const ui::Form4 find(search, [] {});
  EXPECT_EQ(Listing(main.Table()) + Listing(chooser.Table()) + Listing(about.Table()) +
                Listing(find.Table()),
            "Form1 ファイルログ作成ツール 7200x5400 focus Text1\n"
            "Label1 label 120,120,3330,180 ● ログファイル保存場所（ファイル名）\n"
            "Text1 text 120,360,6135,315 heard Label1\n"
            "Frame1 frame 6300,240,795,495\n"
            "Command1 button 60,60,675,375 in Frame1 選択\n"
            "List1 log 120,1140,6975,3300 heard Label3 disabled drops\n"
            "Label3 label 120,900,3150,180 ● 書き込まれたログ（一番上が最新）\n"
            "Frame2 frame 5400,4740,1695,555\n"
            "Command2 button 60,120,555,375 in Frame2 ？\n"
            "Command3 button 840,60,795,435 in Frame2 終了\n"
            "Label2 label 120,4560,5130,720\n"
            "mnuOpen 開く（&O） \n"
            "mnuCopyPath パスをコピー（&C） Ctrl+C on List1\n"
            "mnuFind 検索（&F）… Ctrl+F\n"
            "mnuFindNext 次を検索 F3\n"
            "mnuFindPrevious 前を検索 Shift+F3\n"
            "Form2 トレースログファイル選択 7005x3900 focus File1\n"
            "Label1 label 120,120,3135,195 ドライブ名\n"
            "Label2 label 120,680,3135,195 フォルダ名\n"
            "Label3 label 3480,120,3375,255 ファイル名\n"
            "File1 files 3480,300,3375,2970 heard Label3 drops\n"
            "Frame1 frame 3480,3360,3375,495\n"
            "Command1 button 60,0,1995,435 in Frame1 bold underlined ファイル選択\n"
            "Command2 button 2280,0,1035,435 in Frame1 bold 戻る\n"
            "Drive1 drives 120,300,3135,300 heard Label1\n"
            "Dir1 folders 120,870,3135,2400 heard Label2\n"
            "Label4 label 120,3360,3135,435 "
            "ファイルを選択して「ファイル選択」ボタンを押してください。\n"
            "Form3 バージョン情報 4575x4050 focus Command1\n"
            "Frame1 frame 240,420,4095,1995 bordered\n"
            "Label1 label 120,120,4335,255\n"
            "Command1 button 300,1560,3495,315 in Frame1 P 戻る\n"
            "Label4 label 180,240,3735,1215 in Frame1\n"
            "Frame2 frame 120,2460,4335,1515 bordered\n"
            "Text1 note 120,180,4095,1215 in Frame2 P heard クレジット 【クレジット】\n"
            "Form4 検索 6420x1440 focus Text1\n"
            "Label1 label 120,165,1905,255 検索する文字列（&N）：\n"
            "Text1 text 2040,120,2640,315 heard Label1\n"
            "Command1 button 4800,105,1500,375 次を検索（&F）\n"
            "Command2 button 4800,585,1500,375 閉じる\n"
            "Check1 check 120,960,2880,315 大文字と小文字を区別する（&C）\n"
            "Frame1 frame 3120,540,1560,780 方向\n"
            "Option1 option 120,240,1320,240 in Frame1 上へ（&U）\n"
            "Option2 option 120,495,1320,240 in Frame1 下へ（&D）\n");
  EXPECT_EQ(about.Table().default_button, ui::Form3::Command1);
  EXPECT_EQ(find.Table().default_button, ui::Form4::Command1);
  EXPECT_EQ(main.Table().default_button, -1);
}

}  // namespace
}  // namespace tallyrun::testing
