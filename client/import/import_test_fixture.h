// Test fixture of the import dialogs: the scripted host, a session
// environment whose messages go to it, a send list with the six columns of
// the data creation screen, and a temporary folder.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "client/app/tellomar_env.h"
#include "ui/testhost/test_host.h"
#include "ui/window.h"

class ImportDialogTest : public ::testing::Test {
 protected:
  // The window that owns the send list, as the data creation screen does.
  class ListOwner : public ui::Dialog {
   public:
    explicit ListOwner(ui::App& app) : Dialog(app, "owner", {0, 0, 400, 200}) {
      ui::ReportList& l = AddReportList(1, {0, 0, 400, 200});
      const char* headers[] = {"NO", "전화번호", "고객정보1", "고객정보2", "고객정보3", "고객정보4"};
      for (int i = 0; i < 6; ++i) l.InsertColumn(i, headers[i], 80);
    }
  };

  ImportDialogTest() : owner_(app_), list_(owner_.Get<ui::ReportList>(1)) { env_.SetApp(&app_); }

  void SetUp() override {
    char tmpl[] = "/tmp/import_dlg_test.XXXXXX";
    ASSERT_TRUE(::mkdtemp(tmpl));
    dir_ = tmpl;
  }
  void TearDown() override {
    std::filesystem::remove_all(dir_);
    EXPECT_TRUE(host_.faults().empty()) << host_.faults().front();
  }

  std::string WriteFile(const std::string& name, const std::string& bytes) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  // Rows of the send list, cells joined by '|'.
  std::vector<std::string> Rows() const {
    std::vector<std::string> out;
    for (int r = 0; r < list_.ItemCount(); ++r) {
      std::string row;
      for (int c = 0; c < 6; ++c) row += (c ? "|" : "") + list_.ItemText(r, c);
      out.push_back(row);
    }
    return out;
  }
  // Texts of the message boxes shown so far, and their captions.
  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    for (const auto& m : host_.MessageBoxes()) out.push_back(m.caption + ": " + m.text);
    return out;
  }

  ui::TestHost host_;
  ui::App app_{host_};
  CTellomarEnv env_;
  ListOwner owner_;
  ui::ReportList& list_;
  std::string dir_;
};
