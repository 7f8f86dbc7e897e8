#include "production/preferences_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

class PreferencesFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "orv_prefs_XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir, ec);
  }

  std::string PathOf(const char* name) const { return (dir / name).string(); }

  void Put(const char* name, const std::string& text) const {
    std::ofstream(dir / name, std::ios::binary) << text;
  }

  std::string Get(const char* name) const {
    std::ifstream in(dir / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // Only the files the test made itself, i.e. no temporaries left behind.
  size_t FileCount() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {}));
  }

  fs::path dir;
};

// ---- path and section ----

TEST(PreferencesFilePathTest, PathRules) {
  struct Case {
    std::string name;
    std::string path;
  } cases[] = {
      {"global", ".\\global.ini"},
      {"global.ini", ".\\global.ini"},
      {"conf.v2", ".\\conf.v2"},
      {"C:\\setup\\station", "C:\\setup\\station.ini"},
      {"C:\\setup.d\\station", "C:\\setup.d\\station.ini"},
      {"C:\\setup\\station.cfg", "C:\\setup\\station.cfg"},
      {"/etc/orv.d/station", "/etc/orv.d/station.ini"},
      {"sub/global.ini", "sub/global.ini"},
      // Cut to 255 characters before ".ini" is added within the same limit.
      {std::string(300, 'a'), ".\\" + std::string(253, 'a')},
      {std::string(250, 'a'), ".\\" + std::string(250, 'a') + ".in"},
      {"C:\\" + std::string(300, 'b'), "C:\\" + std::string(252, 'b')},
  };
  for (const Case& c : cases) {
    PreferencesFile prefs;
    prefs.SetFile(c.name.c_str());
    EXPECT_EQ(prefs.GetPath(), c.path) << c.name;
  }
}

TEST(PreferencesFilePathTest, FieldsAreIndependentAndNullChangesNothing) {
  PreferencesFile empty;
  EXPECT_EQ(empty.GetPath(), "");
  EXPECT_EQ(empty.GetSection(), "");

  PreferencesFile prefs("global", "Diag");
  EXPECT_EQ(prefs.GetPath(), ".\\global.ini");
  EXPECT_EQ(prefs.GetSection(), "Diag");
  prefs.SetSection("Other");
  EXPECT_EQ(prefs.GetPath(), ".\\global.ini");
  prefs.SetFile("station");
  EXPECT_EQ(prefs.GetSection(), "Other");
  prefs.SetFile(nullptr);
  prefs.SetSection(nullptr);
  EXPECT_EQ(prefs.GetPath(), ".\\station.ini");
  EXPECT_EQ(prefs.GetSection(), "Other");

  PreferencesFile partial(nullptr, "Diag");
  EXPECT_EQ(partial.GetPath(), "");
  EXPECT_EQ(partial.GetSection(), "Diag");

  prefs.SetSection(std::string(300, 's').c_str());
  EXPECT_EQ(prefs.GetSection(), std::string(254, 's'));
}

// ---- reading ----

const char kSample[] =
    "; station settings\n"
    "Orphan=before any section\n"
    "[Diag]\n"
    "R51Image=r51.bin\n"
    "  R83Image =  r83 v2.bin  \n"
    "Quoted=\"  padded  \"\n"
    "Single='x'\n"
    "Empty=\n"
    "Count=12abc\n"
    "Letters=abc\n"
    "Negative= -7\n"
    "Huge=99999999999\n"
    "Tiny=-99999999999\n"
    "Long=0000000000000000000000001\n"
    "dup=first\n"
    "DUP=second\n"
    ";Commented=yes\n"
    "NoEquals\n"
    "\n"
    "[ other ]\n"
    "R51Image=other.bin\n"
    "[diag]\n"
    "Late=in a second Diag section\n";

TEST_F(PreferencesFileTest, ReadStringLookups) {
  Put("s.ini", kSample);
  struct Case {
    const char* section;
    const char* key;
    const char* def;
    bool ok;
    const char* out;  // "<unchanged>" when the out string must keep its value
  } cases[] = {
      {"Diag", "R51Image", "", true, "r51.bin"},
      {"DIAG", "r51image", "", true, "r51.bin"},  // names ignore case
      {"Diag", "R83Image", "", true, "r83 v2.bin"},
      {"Diag", "Quoted", "", true, "  padded  "},
      {"Diag", "Single", "", true, "x"},
      {"Diag", "dup", "", true, "first"},
      {"other", "R51Image", "", true, "other.bin"},
      {"Diag", "Missing", "fallback", true, "fallback"},
      {"Diag", "Missing", "", false, "<unchanged>"},
      {"Diag", "Missing", nullptr, false, "<unchanged>"},
      {"Diag", "Empty", "fallback", false, "<unchanged>"},  // present but empty
      {"Diag", "Commented", "", false, "<unchanged>"},
      {"Diag", "NoEquals", "", false, "<unchanged>"},
      {"Diag", "Orphan", "", false, "<unchanged>"},
      {"Diag", "Late", "", false, "<unchanged>"},  // only the first Diag section counts
      {"Nowhere", "R51Image", "", false, "<unchanged>"},
      {"Nowhere", "R51Image", "dflt", true, "dflt"},
  };
  for (const Case& c : cases) {
    PreferencesFile prefs(PathOf("s.ini").c_str(), c.section);
    std::string out = "<unchanged>";
    EXPECT_EQ(prefs.ReadString(c.key, out, c.def), c.ok) << c.section << "/" << c.key;
    EXPECT_EQ(out, c.out) << c.section << "/" << c.key;
  }
  PreferencesFile prefs(PathOf("s.ini").c_str(), "Diag");
  std::string out = "kept";
  EXPECT_FALSE(prefs.ReadString(nullptr, out, "dflt"));
  EXPECT_EQ(out, "kept");
}

TEST_F(PreferencesFileTest, ReadIntConversions) {
  Put("s.ini", kSample);
  PreferencesFile prefs(PathOf("s.ini").c_str(), "Diag");
  struct Case {
    const char* key;
    bool withDefault;
    bool ok;
    int out;
  } cases[] = {
      {"Count", false, true, 12},
      {"Letters", false, true, 0},
      {"Negative", false, true, -7},
      {"Huge", false, true, INT_MAX},
      {"Tiny", false, true, INT_MIN},
      {"Long", false, true, 0},  // only the first 24 characters are read
      {"Missing", true, true, 5},
      {"Missing", false, false, -99},
      {"Empty", true, false, -99},
      {"Empty", false, false, -99},
  };
  for (const Case& c : cases) {
    int out = -99;
    bool ok = c.withDefault ? prefs.ReadInt(c.key, out, 5) : prefs.ReadInt(c.key, out);
    EXPECT_EQ(ok, c.ok) << c.key;
    EXPECT_EQ(out, c.out) << c.key;
  }
  int out = 0;
  EXPECT_TRUE(prefs.ReadInt("Missing", out, INT_MIN));
  EXPECT_EQ(out, INT_MIN);
}

TEST_F(PreferencesFileTest, ReadStringReturnsAtMost255Characters) {
  Put("s.ini", "[Diag]\nLong=" + std::string(300, 'v') + "\n");
  PreferencesFile prefs(PathOf("s.ini").c_str(), "Diag");
  std::string out;
  ASSERT_TRUE(prefs.ReadString("Long", out, ""));
  EXPECT_EQ(out, std::string(255, 'v'));
  std::string def(300, 'd');
  ASSERT_TRUE(prefs.ReadString("Missing", out, def.c_str()));
  EXPECT_EQ(out, std::string(255, 'd'));
}

TEST_F(PreferencesFileTest, MissingFileReadsLikeMissingKey) {
  PreferencesFile prefs(PathOf("absent.ini").c_str(), "Diag");
  EXPECT_FALSE(prefs.FileExists());
  std::string out = "kept";
  EXPECT_FALSE(prefs.ReadString("Key", out, ""));
  EXPECT_EQ(out, "kept");
  EXPECT_TRUE(prefs.ReadString("Key", out, "dflt"));
  EXPECT_EQ(out, "dflt");
  int n = 0;
  EXPECT_TRUE(prefs.ReadInt("Key", n, 5));
  EXPECT_EQ(n, 5);

  // A directory is not a settings file.
  fs::create_directory(dir / "sub.ini");
  PreferencesFile directory(PathOf("sub.ini").c_str(), "Diag");
  EXPECT_FALSE(directory.FileExists());
  Put("here.ini", "");
  EXPECT_TRUE(PreferencesFile(PathOf("here").c_str(), "Diag").FileExists());
}

TEST_F(PreferencesFileTest, PlainNameIsLookedForInTheCurrentDirectory) {
  Put("global.ini", "[Diag]\nR51Image=r51.bin\n");
  fs::path previous = fs::current_path();
  fs::current_path(dir);
  PreferencesFile prefs("global", "Diag");
  std::string out;
  bool found = prefs.ReadString("R51Image", out, "");
  bool exists = prefs.FileExists();
  bool wrote = prefs.WriteString("R83Image", "r83.bin");
  fs::current_path(previous);
  EXPECT_TRUE(found);
  EXPECT_EQ(out, "r51.bin");
  EXPECT_TRUE(exists);
  EXPECT_TRUE(wrote);
  EXPECT_EQ(Get("global.ini"), "[Diag]\nR51Image=r51.bin\nR83Image=r83.bin\n");
}

// ---- writing ----

TEST_F(PreferencesFileTest, WriteCreatesFileSectionAndKey) {
  PreferencesFile prefs(PathOf("new.ini").c_str(), "Diag");
  ASSERT_TRUE(prefs.WriteString("R51Image", "r51.bin"));
  EXPECT_EQ(Get("new.ini"), "[Diag]\nR51Image=r51.bin\n");
  ASSERT_TRUE(prefs.WriteInt("Retries", -42));
  int n = 0;
  ASSERT_TRUE(prefs.ReadInt("Retries", n));
  EXPECT_EQ(n, -42);
  EXPECT_EQ(Get("new.ini"), "[Diag]\nR51Image=r51.bin\nRetries=-42\n");
  EXPECT_EQ(FileCount(), 1u);
}

TEST_F(PreferencesFileTest, WriteChangesOnlyTheLineOfTheKey) {
  const std::string before =
      "; header comment\r\n"
      "[Other]\r\n"
      "Key = untouched\r\n"
      "\r\n"
      "[diag]\r\n"
      "  Key = old value\r\n"
      "Next=1\r\n"
      "; trailing comment\r\n"
      "[Last]\r\n"
      "X=y";  // no final line break
  Put("c.ini", before);
  PreferencesFile prefs(PathOf("c.ini").c_str(), "Diag");

  ASSERT_TRUE(prefs.WriteString("KEY", "new"));
  std::string expected = before;
  expected.replace(expected.find("  Key = old value"), 17, "  Key = new");
  EXPECT_EQ(Get("c.ini"), expected);

  // A new key goes after the section's last key, in the file's line ending style.
  ASSERT_TRUE(prefs.WriteString("Added", "2"));
  expected.insert(expected.find("; trailing"), "Added=2\r\n");
  EXPECT_EQ(Get("c.ini"), expected);

  // A key in the last, unterminated line.
  PreferencesFile last(PathOf("c.ini").c_str(), "Last");
  ASSERT_TRUE(last.WriteString("X", "z"));
  expected.back() = 'z';
  EXPECT_EQ(Get("c.ini"), expected);
  ASSERT_TRUE(last.WriteString("W", "1"));
  expected += "\r\nW=1\r\n";
  EXPECT_EQ(Get("c.ini"), expected);

  // A new section is appended after a blank line.
  PreferencesFile fresh(PathOf("c.ini").c_str(), "Fresh");
  ASSERT_TRUE(fresh.WriteString("K", "v"));
  expected += "\r\n[Fresh]\r\nK=v\r\n";
  EXPECT_EQ(Get("c.ini"), expected);
  EXPECT_EQ(FileCount(), 1u);
}

TEST_F(PreferencesFileTest, EmptyValueDeletesTheKey) {
  const std::string before = "[Diag]\nA=1\nKey=x\nB=2\nkey=dup\n[Other]\nKey=stays\n";
  Put("d.ini", before);
  PreferencesFile prefs(PathOf("d.ini").c_str(), "Diag");
  ASSERT_TRUE(prefs.WriteString("Key", ""));
  EXPECT_EQ(Get("d.ini"), "[Diag]\nA=1\nB=2\n[Other]\nKey=stays\n");
  std::string out = "kept";
  EXPECT_FALSE(prefs.ReadString("Key", out, ""));
  EXPECT_EQ(out, "kept");

  ASSERT_TRUE(prefs.WriteString("A", nullptr));
  EXPECT_EQ(Get("d.ini"), "[Diag]\nB=2\n[Other]\nKey=stays\n");

  // Deleting what is not there succeeds and creates nothing.
  PreferencesFile absent(PathOf("none.ini").c_str(), "Diag");
  EXPECT_TRUE(absent.WriteString("Key", ""));
  EXPECT_FALSE(absent.FileExists());
}

TEST_F(PreferencesFileTest, ValuesReadBackAsWritten) {
  PreferencesFile prefs(PathOf("r.ini").c_str(), "Diag");
  for (const char* value : {"plain", "  padded  ", "\"quoted\"", "'single'", "\"", "a=b;c",
                            "[not a section]"}) {
    ASSERT_TRUE(prefs.WriteString("Key", value)) << value;
    std::string out;
    ASSERT_TRUE(prefs.ReadString("Key", out, "")) << value;
    EXPECT_EQ(out, value);
  }
}

TEST_F(PreferencesFileTest, UnstorableNamesAndValuesAreRefused) {
  const std::string before = "[Diag]\nKey=1\n";
  Put("u.ini", before);
  PreferencesFile prefs(PathOf("u.ini").c_str(), "Diag");
  EXPECT_FALSE(prefs.WriteString("Key", "1\n[Evil]\nKey=2"));
  EXPECT_FALSE(prefs.WriteString("Key", "carriage\rreturn"));
  for (const char* key : {"", "a=b", " Key", "Key ", "[Key", ";Key", "#Key", "K\ney"}) {
    EXPECT_FALSE(prefs.WriteString(key, "v")) << key;
  }
  EXPECT_FALSE(prefs.WriteString(nullptr, "v"));
  for (const char* section : {"Di]ag", "Di\nag", " Diag"}) {
    PreferencesFile bad(PathOf("u.ini").c_str(), section);
    EXPECT_FALSE(bad.WriteString("Key", "v")) << section;
  }
  EXPECT_EQ(Get("u.ini"), before);
  EXPECT_EQ(FileCount(), 1u);
}

TEST_F(PreferencesFileTest, FailedWriteLeavesTheOldFileIntact) {
  const std::string before = "[Diag]\nKey=old\n; comment\n[Other]\nX=1\n";
  Put("f.ini", before);
  PreferencesFile prefs(PathOf("f.ini").c_str(), "Diag");

  // The new file cannot grow past 8 bytes: writing the temporary file fails.
  struct rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit small = saved;
  small.rlim_cur = 8;
  auto* previousHandler = ::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  bool wrote = prefs.WriteString("Key", "a much longer new value");
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, previousHandler);

  EXPECT_FALSE(wrote);
  EXPECT_EQ(Get("f.ini"), before);
  EXPECT_EQ(FileCount(), 1u);  // the temporary file is gone
  std::string out;
  ASSERT_TRUE(prefs.ReadString("Key", out, ""));
  EXPECT_EQ(out, "old");
}

TEST_F(PreferencesFileTest, WriteFailsWithoutHarmWhenTheFileCannotBeReplaced) {
  // A directory in the file's place: nothing may be written over it.
  fs::create_directory(dir / "taken.ini");
  PreferencesFile taken(PathOf("taken.ini").c_str(), "Diag");
  EXPECT_FALSE(taken.WriteString("Key", "v"));
  EXPECT_TRUE(fs::is_directory(dir / "taken.ini"));

  // A directory that does not exist.
  PreferencesFile nowhere(PathOf("missing/dir.ini").c_str(), "Diag");
  EXPECT_FALSE(nowhere.WriteString("Key", "v"));
  EXPECT_EQ(FileCount(), 1u);
}

TEST_F(PreferencesFileTest, WriteKeepsModeAndFollowsSymbolicLinks) {
  Put("real.ini", "[Diag]\nKey=1\n");
  fs::permissions(dir / "real.ini", fs::perms::owner_read | fs::perms::owner_write |
                                        fs::perms::group_read);
  fs::create_symlink("real.ini", dir / "link.ini");
  PreferencesFile prefs(PathOf("link.ini").c_str(), "Diag");
  ASSERT_TRUE(prefs.WriteString("Key", "2"));
  EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
  EXPECT_EQ(Get("real.ini"), "[Diag]\nKey=2\n");
  EXPECT_EQ(fs::status(dir / "real.ini").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(FileCount(), 2u);
}

}  // namespace
