#include <gtest/gtest.h>

#include "app/update/UpdateRequest.h"

TEST(UpdateRequest, TheClientsArgumentSplitsIntoItsThreeFields) {
  const auto request = parseUpdateRequest("https://dl.example.com/client%2Fsetup.exe%1.2.10%LockSetConfig.ini");
  ASSERT_TRUE(request);
  EXPECT_EQ(request->url, "https://dl.example.com/client%2Fsetup.exe") << "escapes in the address stay";
  EXPECT_EQ(request->version, "1.2.10");
  EXPECT_EQ(request->settingsFile, "LockSetConfig.ini");
}

TEST(UpdateRequest, AnythingElseIsRefused) {
  const char* refused[] = {
      "",
      "https://dl.example.com/setup",
      "https://dl.example.com/setup%1.2.3",
      "%1.2.3%LockSetConfig.ini",
      "https://dl.example.com/setup%%LockSetConfig.ini",
      "https://dl.example.com/setup%1.2.3%",
      "file:///etc/passwd%1.2.3%LockSetConfig.ini",
      "javascript:alert(1)%1.2.3%LockSetConfig.ini",
      "https://dl.example.com/a\nb%1.2.3%LockSetConfig.ini",
  };
  for (const char* text : refused) EXPECT_FALSE(parseUpdateRequest(text)) << text;
}
