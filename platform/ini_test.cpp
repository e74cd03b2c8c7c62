#include "platform/ini.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/codepage.h"

namespace fs = std::filesystem;

namespace {

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/tellomar_ini_XXXXXX";
    path_ = ::mkdtemp(tmpl);
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

struct ReadCase {
  const char* name;
  std::string content;
  const char* section;
  const char* key;
  const char* def;
  std::string expected;
};

TEST(IniRead, WindowsSemantics) {
  const std::vector<ReadCase> cases = {
      {"plain", "[Tellomar]\r\nSERVER_IP_ADDR=10.0.0.1\r\n", "Tellomar", "SERVER_IP_ADDR", "", "10.0.0.1"},
      {"section and key ignore case", "[TELLOMAR]\r\nserver_ip_addr=x\r\n", "tellomar", "Server_IP_Addr", "", "x"},
      {"value and key trimmed", "[s]\r\n  k \t=  v v  \r\n", "s", "k", "", "v v"},
      {"blanks in header", "  [ s ]  \r\nk=1\r\n", "s", "k", "", "1"},
      {"double quotes stripped", "[s]\r\nk=\" a \"\r\n", "s", "k", "", " a "},
      {"single quotes stripped", "[s]\r\nk='a'\r\n", "s", "k", "", "a"},
      {"one pair only", "[s]\r\nk=\"\"a\"\"\r\n", "s", "k", "", "\"a\""},
      {"mismatched quotes kept", "[s]\r\nk=\"a'\r\n", "s", "k", "", "\"a'"},
      {"lone quote kept", "[s]\r\nk=\"\r\n", "s", "k", "", "\""},
      {"missing key gives default", "[s]\r\nk=1\r\n", "s", "other", "dflt", "dflt"},
      {"default loses trailing blanks", "[s]\r\n", "s", "k", "dflt  ", "dflt"},
      {"missing section", "[s]\r\nk=1\r\n", "t", "k", "d", "d"},
      {"key of another section not seen", "[a]\r\nk=1\r\n[b]\r\nj=2\r\n", "b", "k", "d", "d"},
      {"first of duplicate keys", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", "", "1"},
      {"first of duplicate sections", "[s]\r\nk=1\r\n[S]\r\nk=2\r\n", "s", "k", "", "1"},
      {"empty value is present", "[s]\r\nk=\r\n", "s", "k", "d", ""},
      {"key without equals", "[s]\r\nk\r\n", "s", "k", "d", ""},
      {"comment is not a key", "[s]\r\n;k=1\r\n", "s", ";k", "d", "d"},
      {"lines before any section", "k=1\r\n[s]\r\n", "s", "k", "d", "d"},
      {"LF line ends", "[s]\nk=1\n", "s", "k", "", "1"},
      {"CR line ends", "[s]\rk=1\r", "s", "k", "", "1"},
      {"no final line end", "[s]\r\nk=last", "s", "k", "", "last"},
      {"equals inside value", "[s]\r\nk=a=b\r\n", "s", "k", "", "a=b"},
      {"header text after bracket", "[s] ; note\r\nk=1\r\n", "s", "k", "", "1"},
      // 가 is B0 A1, 나 is B3 AA in code page 949.
      {"cp949 value", "[s]\r\nk=\xB0\xA1\xB3\xAA\r\n", "s", "k", "", "가나"},
      {"cp949 section and key", "[\xB0\xA1]\r\n\xB3\xAA=1\r\n", "가", "나", "", "1"},
      {"utf-8 with bom", "\xEF\xBB\xBF[s]\r\nk=가\r\n", "s", "k", "", "가"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir.File("t.ini");
    WriteBytes(path, c.content);
    EXPECT_EQ(platform::GetPrivateProfileString(c.section, c.key, c.def, path), c.expected);
  }
  EXPECT_EQ(platform::GetPrivateProfileString("s", "k", "none", dir.File("missing.ini")), "none");
}

TEST(IniRead, CaseFoldingSparesCp949TrailBytes) {
  // 갂 (81 41) and 갵 (81 61) differ only in a trail byte that looks like
  // 'A' and 'a': they are different keys.
  TempDir dir;
  std::string path = dir.File("t.ini");
  WriteBytes(path, "[s]\r\n\x81\x41=upper\r\n\x81\x61=lower\r\n");
  EXPECT_EQ(platform::GetPrivateProfileString("s", platform::Cp949ToUtf8("\x81\x61"), "", path), "lower");
  EXPECT_EQ(platform::GetPrivateProfileString("s", platform::Cp949ToUtf8("\x81\x41"), "", path), "upper");
}

TEST(IniRead, BufferSizeCutsAtWholeCharacter) {
  TempDir dir;
  std::string path = dir.File("t.ini");
  WriteBytes(path, "[s]\r\nk=a\xB0\xA1\xB3\xAA\r\n");  // a가나: 5 bytes
  EXPECT_EQ(platform::GetPrivateProfileString("s", "k", "", path, 6), "a가나");
  EXPECT_EQ(platform::GetPrivateProfileString("s", "k", "", path, 5), "a가");
  EXPECT_EQ(platform::GetPrivateProfileString("s", "k", "", path, 4), "a가");
  EXPECT_EQ(platform::GetPrivateProfileString("s", "k", "", path, 3), "a");
  EXPECT_EQ(platform::GetPrivateProfileString("s", "k", "", path, 1), "");
}

TEST(IniRead, Integers) {
  struct {
    const char* value;
    int expected;
  } cases[] = {{"42", 42},          {"-17", -17}, {"+5", 5},           {"12abc", 12},
               {"abc", 0},          {"", 99},     {"\"7\"", 7},        {"99999999999", 2147483647},
               {"-99999999999", -2147483647 - 1}};
  TempDir dir;
  std::string path = dir.File("t.ini");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    WriteBytes(path, std::string("[s]\r\nk=") + c.value + "\r\n");
    EXPECT_EQ(platform::GetPrivateProfileInt("s", "k", 99, path), c.expected);
  }
  EXPECT_EQ(platform::GetPrivateProfileInt("s", "missing", 99, path), 99);
}

TEST(IniRead, OverLargeFileGivesDefault) {
  TempDir dir;
  std::string path = dir.File("t.ini");
  WriteBytes(path, "[s]\r\nk=1\r\n" + std::string(100, ';'));
  platform::IniOptions small;
  small.max_file_bytes = 50;
  EXPECT_EQ(platform::GetPrivateProfileString("s", "k", "d", path, 0, small), "d");
  EXPECT_FALSE(platform::WritePrivateProfileString("s", "k", "2", path, small));
  EXPECT_EQ(platform::GetPrivateProfileString("s", "k", "d", path), "1");
}

struct WriteCase {
  const char* name;
  std::string before;
  const char* section;
  const char* key;
  const char* value;
  std::string after;
};

TEST(IniWrite, KeepsUntouchedLinesAndPlacesNewOnes) {
  const std::vector<WriteCase> cases = {
      {"new file", "", "Tellomar", "SERVER_IP_ADDR", "1.2.3.4", "[Tellomar]\r\nSERVER_IP_ADDR=1.2.3.4\r\n"},
      {"replace keeps spelling and layout", "; top\r\n[Sec]\r\n  Key = old  \r\nz=1\r\n", "sec", "KEY", "new",
       "; top\r\n[Sec]\r\n  Key = new  \r\nz=1\r\n"},
      {"new key after last key of section", "[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n", "a", "k", "v",
       "[a]\r\nx=1\r\nk=v\r\n\r\n[b]\r\ny=2\r\n"},
      {"new section at end after blank line", "[a]\r\nx=1\r\n", "b", "k", "v", "[a]\r\nx=1\r\n\r\n[b]\r\nk=v\r\n"},
      {"missing last line end", "[a]\r\nx=1", "a", "k", "v", "[a]\r\nx=1\r\nk=v\r\n"},
      {"keeps LF files LF", "[a]\nx=1\n", "a", "k", "v", "[a]\nx=1\nk=v\n"},
      {"key without equals", "[a]\r\nk\r\n", "a", "k", "v", "[a]\r\nk=v\r\n"},
      {"hangul in cp949", "", "s", "k", "가", "[s]\r\nk=\xB0\xA1\r\n"},
      {"empty section header only", "[a]\r\n", "a", "k", "v", "[a]\r\nk=v\r\n"},
      {"bom file stays utf-8", "\xEF\xBB\xBF[a]\r\n", "a", "k", "가", "\xEF\xBB\xBF[a]\r\nk=가\r\n"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir.File("w.ini");
    fs::remove(path);
    if (!c.before.empty()) WriteBytes(path, c.before);
    ASSERT_TRUE(platform::WritePrivateProfileString(c.section, c.key, c.value, path));
    EXPECT_EQ(ReadBytes(path), c.after);
    EXPECT_EQ(platform::GetPrivateProfileString(c.section, c.key, "", path), c.value);
  }
}

TEST(IniWrite, RefusesWhatWouldCorruptTheFile) {
  TempDir dir;
  std::string path = dir.File("w.ini");
  WriteBytes(path, "[s]\r\nk=1\r\n");
  struct {
    const char* section;
    const char* key;
    std::string value;
  } bad[] = {
      {"s", "k", "1\r\nSERVER_IP_ADDR=evil"},  // would plant a key
      {"s", "k", std::string("a\0b", 3)},
      {"s", "a=b", "1"},
      {"s]", "k", "1"},
      {"", "k", "1"},
      {"s", "", "1"},
      {"s", "k", "\xFF\xFE"},  // not UTF-8
      {"s", "k", "😀"},        // no code page 949 form
  };
  for (const auto& b : bad) {
    SCOPED_TRACE(b.key);
    std::string error;
    EXPECT_FALSE(platform::WritePrivateProfileString(b.section, b.key, b.value, path, {}, &error));
    EXPECT_FALSE(error.empty());
  }
  EXPECT_EQ(ReadBytes(path), "[s]\r\nk=1\r\n");
}

TEST(IniWrite, DoesNotCreateMissingFolder) {
  TempDir dir;
  std::string path = dir.File("Env/Tellomar.INI");
  std::string error;
  EXPECT_FALSE(platform::WritePrivateProfileString("s", "k", "v", path, {}, &error));
  EXPECT_NE(error.find("Env"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir.File("Env")));
}

TEST(IniWrite, RewriteIsAtomicAndLeavesNoTemporaryFiles) {
  TempDir dir;
  std::string path = dir.File("w.ini");
  WriteBytes(path, "[s]\r\nk=1\r\n");
  ::chmod(path.c_str(), 0640);
  struct stat st1 {}, st2 {};
  ::stat(path.c_str(), &st1);
  ASSERT_TRUE(platform::WritePrivateProfileString("s", "k", "2", path));
  ::stat(path.c_str(), &st2);
  // A new file took the place of the old one (rename), with the old mode.
  EXPECT_NE(st1.st_ino, st2.st_ino);
  EXPECT_EQ(st2.st_mode & 0777, 0640u);
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"w.ini"});
}

TEST(IniWrite, FailedWriteLeavesFileIntact) {
  TempDir dir;
  std::string path = dir.File("w.ini");
  WriteBytes(path, "[s]\r\nk=1\r\n");
  // A file-size limit makes the write of the new content fail half-way, as
  // a full disk would.
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 64;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string error;
  bool written = platform::WritePrivateProfileString("s", "k", std::string(1000, 'x'), path, {}, &error);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_FALSE(written);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadBytes(path), "[s]\r\nk=1\r\n");
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"w.ini"});
}

TEST(IniWrite, NamesAreTrimmedAsWindowsDoes) {
  TempDir dir;
  std::string path = dir.File("w.ini");
  ASSERT_TRUE(platform::WritePrivateProfileString(" s ", "\tk ", "v", path));
  EXPECT_EQ(ReadBytes(path), "[s]\r\nk=v\r\n");
  EXPECT_EQ(platform::GetPrivateProfileString("s ", " k", "", path), "v");
  EXPECT_FALSE(platform::ReadPrivateProfileValue("s", "missing", path).has_value());
  EXPECT_EQ(platform::ReadPrivateProfileValue("s", "k", path).value_or(""), "v");
}

TEST(IniWrite, ConcurrentWritersLoseNothing) {
  TempDir dir;
  std::string path = dir.File("w.ini");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 20; ++i) {
        platform::WritePrivateProfileString("s", "k" + std::to_string(t) + "_" + std::to_string(i), "v", path);
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < 4; ++t) {
    for (int i = 0; i < 20; ++i) {
      EXPECT_EQ(platform::GetPrivateProfileString("s", "k" + std::to_string(t) + "_" + std::to_string(i), "", path),
                "v");
    }
  }
}

TEST(IniWrite, DeleteKeyAndSection) {
  TempDir dir;
  std::string path = dir.File("w.ini");
  WriteBytes(path, "[a]\r\nx=1\r\ny=2\r\n[b]\r\nz=3\r\n");
  EXPECT_TRUE(platform::DeletePrivateProfileKey("A", "X", path));
  EXPECT_EQ(ReadBytes(path), "[a]\r\ny=2\r\n[b]\r\nz=3\r\n");
  EXPECT_TRUE(platform::DeletePrivateProfileSection("a", path));
  EXPECT_EQ(ReadBytes(path), "[b]\r\nz=3\r\n");
  EXPECT_TRUE(platform::DeletePrivateProfileKey("nope", "x", path));
  EXPECT_EQ(ReadBytes(path), "[b]\r\nz=3\r\n");
}

TEST(IniDocument, SerializeGivesBackTheInput) {
  const std::string inputs[] = {
      "",
      "\r\n\r\n",
      "[a]\r\nk=v\r\n",
      "junk\n[a\n=x\n[b]]\r\n ; c\r\n  k  =  v  \rlast",
      "\xEF\xBB\xBF[s]\n",
      std::string("[s]\0\r\nk=\0\n", 11),
      "\xB0\xA1=\xB3\xAA\r\n[\x81\x41]",
  };
  for (const auto& in : inputs) {
    EXPECT_EQ(platform::IniDocument::Parse(in).Serialize(), in);
  }
}

TEST(IniDocument, SetThenGetRoundTrips) {
  auto doc = platform::IniDocument::Parse("[a]\nx=1\n");
  doc.Set("b", "y", "2");
  doc.Set("A", "x", "3");
  auto again = platform::IniDocument::Parse(doc.Serialize());
  EXPECT_EQ(again.Get("a", "x").value_or("?"), "3");
  EXPECT_EQ(again.Get("b", "y").value_or("?"), "2");
  EXPECT_FALSE(again.Get("b", "x").has_value());
}

}  // namespace
