#include <gtest/gtest.h>

#include "core/IniFile.h"
#include "tests/support/TempFolder.h"

using mc::test::readFile;
using mc::test::TempFolder;
using mc::test::writeFile;

TEST(IniFile, ReadsSectionsAndKeysWithTrimmedWhitespace) {
  TempFolder temp;
  writeFile(temp.file("a.ini"), "; comment\n[Server]\n  IP = 10.0.0.1;10.0.0.2 \nPORT=7000;7001\n[Empty]\n");
  IniFile ini;
  ASSERT_TRUE(ini.load(temp.file("a.ini")));
  EXPECT_EQ(ini.get("Server", "IP"), "10.0.0.1;10.0.0.2");
  EXPECT_EQ(ini.get("Server", "PORT"), "7000;7001");
  EXPECT_EQ(ini.get("Server", "Missing"), "");
  EXPECT_EQ(ini.get("Nowhere", "IP"), "");
}

TEST(IniFile, RejectsMissingAndMalformedFiles) {
  TempFolder temp;
  struct Case {
    const char* name;
    const char* content;
  };
  const Case cases[] = {
      {"duplicate key", "[A]\nk=1\nk=2\n"},
      {"duplicate section", "[A]\nk=1\n[A]\nj=2\n"},
      {"unterminated section", "[A\nk=1\n"},
      {"line without equals", "[A]\njustatext\n"},
  };
  for (const auto& c : cases) {
    writeFile(temp.file("bad.ini"), c.content);
    IniFile ini;
    EXPECT_FALSE(ini.load(temp.file("bad.ini"))) << c.name;
  }
  IniFile ini;
  EXPECT_FALSE(ini.load(temp.file("absent.ini")));
}

TEST(IniFile, SetRewritesTheWholeFileSortedWithoutComments) {
  TempFolder temp;
  writeFile(temp.file("lock.ini"),
            "# installed version\n[Client]\nVersion=1.2.9\nSavePath=/s\n\n[Zeta]\nz=1\n[Alpha]\n");
  IniFile ini;
  ASSERT_TRUE(ini.load(temp.file("lock.ini")));
  ini.set("Client", "Path", "/cap");
  ini.set("Client", "IgnoreVersion", "");
  ini.set("Client", "AlarmPath", "/alarm");
  ini.set("Client", "ErWeiMaFile", "/qr");
  EXPECT_EQ(readFile(temp.file("lock.ini")),
            "[Client]\nAlarmPath=/alarm\nErWeiMaFile=/qr\nIgnoreVersion=\nPath=/cap\nSavePath=/s\nVersion=1.2.9\n"
            "[Zeta]\nz=1\n");
  IniFile again;
  ASSERT_TRUE(again.load(temp.file("lock.ini")));
  EXPECT_EQ(again.get("Client", "Path"), "/cap");
}

TEST(IniFile, AKeyWithADotFailsTheWriteAndLeavesTheFileButKeepsTheValue) {
  TempFolder temp;
  const std::string original = "[Client]\nVersion=1\n";
  writeFile(temp.file("lock.ini"), original);
  IniFile ini;
  ASSERT_TRUE(ini.load(temp.file("lock.ini")));
  ini.set("Client", "a.b", "deep");
  EXPECT_EQ(readFile(temp.file("lock.ini")), original);
  EXPECT_EQ(ini.get("Client", "a.b"), "deep");
}

TEST(IniFile, SetOnAnUnwritablePathIsSilent) {
  IniFile ini;
  EXPECT_FALSE(ini.load("/nonexistent-folder/x.ini"));
  ini.set("A", "k", "v");
  EXPECT_EQ(ini.get("A", "k"), "v");
}
