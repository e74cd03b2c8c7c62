// The command table of the main frame: command IDs, menu, toolbar, command
// prompts, the screens and modal dialogs the commands open, and which
// commands a login may use.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ui/window.h"

namespace cmd {
inline constexpr int kSendData = 32771;
inline constexpr int kQueryReqOrv = 32772;
inline constexpr int kQueryRstOrv = 32773;
inline constexpr int kQueryStatis = 32774;
inline constexpr int kFee = 32775;
inline constexpr int kServiceId = 32776;
inline constexpr int kStatisGraph = 32778;
inline constexpr int kDenyList = 32788;
inline constexpr int kCallCheck = 32789;
inline constexpr int kSendVoxFile = 32810;
inline constexpr int kDuplicateCheck = 32811;
inline constexpr int kDeleteOldData = 32848;
inline constexpr int kQueryRstResearch = 32849;
inline constexpr int kAgentInfo = 32850;
inline constexpr int kResearchSendData = 32851;
inline constexpr int kDistribute = 32852;
inline constexpr int kSamplingMonitoring = 32853;
inline constexpr int kChargeHistory = 32854;
inline constexpr int kAppExit = 57665;
inline constexpr int kAppAbout = 57664;
inline constexpr int kViewToolbar = 59392;
inline constexpr int kViewStatusBar = 59393;
inline constexpr int kWindowCascade = 57650;
inline constexpr int kWindowTile = 57651;
inline constexpr int kWindowArrange = 57649;
}  // namespace cmd

// One screen of the view registry.
struct ScreenInfo {
  const char* view_class;
  const char* title;  // the title its document gets
  int command;        // 0: opened by another screen, not from the menu
};
// In the order the application registers the view templates.
const std::vector<ScreenInfo>& Screens();
const ScreenInfo* ScreenForCommand(int command);
const ScreenInfo* ScreenByClass(std::string_view view_class);

// One modal dialog command: its template and its title.
struct ModalCommandInfo {
  int command;
  int template_id;
  const char* title;
};
const std::vector<ModalCommandInfo>& ModalCommands();
const ModalCommandInfo* ModalForCommand(int command);

// The commands of the table that carry a disabled flag (the standard ones
// carry none). 32850 and 32854 share one flag: FlagOf gives the command
// whose flag a command uses.
const std::vector<int>& FlaggedCommands();
int FlagOf(int command);

// The long description of a command (its status-bar prompt and toolbar
// tooltip); empty for commands without a prompt.
std::string CommandPrompt(int command);
// The toolbar tooltip: the prompt cut to 79 bytes at a whole character.
std::string ToolbarTooltip(int command);
// The short name of a command; empty without a prompt.
std::string CommandShortName(int command);

std::vector<ui::MenuItem> MainMenu();
std::vector<int> MainToolbar();
// Position of the callbacks item in the first popup.
inline constexpr int kCallbacksMenuPopup = 0;
inline constexpr int kCallbacksMenuPos = 7;

// The commands a login disables: use_research is GetUseResearch's result
// (1, 0, or -1 for a failed lookup, treated as a survey user).
std::vector<int> DisabledCommands(bool agent, int use_research);
