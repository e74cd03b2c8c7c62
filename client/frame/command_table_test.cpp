#include "client/frame/command_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

// Every command of the menu, in menu order.
std::vector<int> MenuCommands(const std::vector<ui::MenuItem>& items) {
  std::vector<int> out;
  for (const auto& m : items) {
    if (!m.items.empty()) {
      auto sub = MenuCommands(m.items);
      out.insert(out.end(), sub.begin(), sub.end());
    } else if (!m.separator()) {
      out.push_back(m.id);
    }
  }
  return out;
}

TEST(CommandTableTest, MenuHoldsEveryCommandOnceAndTheCallbacksItemSitsAtPositionSeven) {
  auto menu = MainMenu();
  ASSERT_EQ(menu.size(), 7u);
  EXPECT_EQ(menu[0].text, "ORV(&A)");
  EXPECT_TRUE(menu[6].right_aligned);
  EXPECT_EQ(menu[0].items[kCallbacksMenuPos].id, 32789);
  auto ids = MenuCommands(menu);
  EXPECT_EQ(std::set<int>(ids.begin(), ids.end()).size(), ids.size());
  for (int id : FlaggedCommands()) EXPECT_NE(std::find(ids.begin(), ids.end(), id), ids.end()) << id;
  EXPECT_EQ(ids, (std::vector<int>{32771, 32772, 32773, 32774, 32778, 32789, 32775, 32854, 57665, 32810, 32776,
                                   32849, 32853, 32850, 32851, 32852, 32788, 32811, 32848, 59392, 59393, 57650,
                                   57651, 57649, 57664}));
}

TEST(CommandTableTest, EveryMenuCommandHasAnAction) {
  for (int id : FlaggedCommands()) {
    EXPECT_TRUE((ScreenForCommand(id) != nullptr) != (ModalForCommand(id) != nullptr)) << id;
  }
  EXPECT_EQ(ScreenByClass("CFrmQueryRstElecResearch")->command, 0);
  EXPECT_EQ(Screens().size(), 12u);
}

TEST(CommandTableTest, PromptsAndTooltips) {
  EXPECT_EQ(CommandPrompt(32771), "데이터 가져오기및 가져온 데이터를 서버로 전송 합니다.");
  EXPECT_EQ(CommandShortName(32771), "ORV 데이터 생성 및 전송");
  EXPECT_EQ(CommandPrompt(32854), "");
  EXPECT_EQ(CommandPrompt(57665), "");
  // Cut to 79 bytes without splitting a character: a Hangul syllable is three bytes.
  for (int id : FlaggedCommands()) {
    std::string t = ToolbarTooltip(id);
    EXPECT_LE(t.size(), 79u);
    EXPECT_EQ(t, CommandPrompt(id).substr(0, t.size()));
    if (CommandPrompt(id).size() > 79) {
      EXPECT_GE(t.size(), 77u);
    }
  }
  EXPECT_EQ(ToolbarTooltip(32851), "여론조사 데이터를 가져와서 서버로 전송 합니다.");
}

TEST(CommandTableTest, PermissionsOfTheThreeKindsOfLogin) {
  auto sorted = [](std::vector<int> v) {
    std::sort(v.begin(), v.end());
    return v;
  };
  // Survey user: only the callbacks screen goes; a failed lookup counts as one.
  EXPECT_EQ(DisabledCommands(false, 1), std::vector<int>{32789});
  EXPECT_EQ(DisabledCommands(false, -1), std::vector<int>{32789});
  // Other user: the survey commands.
  EXPECT_EQ(sorted(DisabledCommands(false, 0)), (std::vector<int>{32849, 32851, 32852, 32853}));
  // Agent: everything but the callbacks screen.
  auto agent = DisabledCommands(true, 0);
  EXPECT_EQ(agent.size(), FlaggedCommands().size() - 1);
  EXPECT_EQ(std::find(agent.begin(), agent.end(), 32789), agent.end());
  // An agent of a survey customer keeps nothing.
  EXPECT_EQ(DisabledCommands(true, 1).size(), FlaggedCommands().size());
  EXPECT_EQ(FlagOf(32854), FlagOf(32850));
  EXPECT_NE(FlagOf(32775), FlagOf(32850));
}

}  // namespace
