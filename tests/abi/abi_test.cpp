#include <gtest/gtest.h>

#include "plugin_host.h"

TEST(Abi, InformationEntryPoints) {
  const auto& p = host::Plugin::Get();
  ASSERT_NE(p.Version, nullptr);
  EXPECT_EQ(p.Version(), 4);
  EXPECT_TRUE(p.Init());
  EXPECT_STREQ(p.VersionStr(), "Zeltomap TIF plug-in, version 1.02");
  EXPECT_STREQ(p.GetTipoArchivos(), "1001|TIF Images|TIF|2|geo TIF maps|TIF|");
}
