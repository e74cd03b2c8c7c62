#include "platform/dynlib.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

TEST(DynamicLibrary, LoadsByNameAndFindsEntryPoints) {
  platform::DynamicLibrary lib;
  ASSERT_TRUE(lib.Open("libm.so.6")) << lib.error();
  auto cosine = reinterpret_cast<double (*)(double)>(lib.Symbol("cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
  EXPECT_EQ(lib.Symbol("NoSuchEntryPoint"), nullptr);
  EXPECT_FALSE(lib.error().empty());
  platform::DynamicLibrary moved = std::move(lib);
  EXPECT_TRUE(moved.IsOpen());
  EXPECT_FALSE(lib.IsOpen());
  platform::DynamicLibrary missing;
  EXPECT_FALSE(missing.Open("VoxConv.DLL"));
  EXPECT_FALSE(missing.error().empty());
  EXPECT_EQ(missing.Symbol("VoxToWav"), nullptr);
}

}  // namespace
