// The DLL as the Windows loader sees it: exports and version resource.
#include <gtest/gtest.h>

#include <vector>

#include "host_module.h"

TEST(Module, ResolvesTheSixFunctionsByNameAndByAlphabeticalOrdinal) {
  HostModule dll;
  ASSERT_NE(dll.module, nullptr) << "LoadLibrary failed: " << GetLastError();
  ASSERT_TRUE(dll.complete());
  const char *const names[] = {"InitEndPoint",   "MuteGet",   "MuteSet",
                               "UninitEndPoint", "VolumeGet", "VolumeSet"};
  for (WORD ordinal = 1; ordinal <= 6; ++ordinal) {
    EXPECT_EQ(dll.byOrdinal(ordinal), GetProcAddress(dll.module, names[ordinal - 1]))
        << "ordinal " << ordinal;
  }
  EXPECT_EQ(dll.byOrdinal(7), nullptr);
  EXPECT_EQ(GetProcAddress(dll.module, "_InitEndPoint"), nullptr);
  EXPECT_EQ(GetProcAddress(dll.module, "DllMain"), nullptr);
}

TEST(Module, VersionResourceIs1001ForChinesePrcUnicode) {
  HostModule dll;
  ASSERT_NE(dll.module, nullptr);
  wchar_t path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(dll.module, path, MAX_PATH), 0u);

  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path, &handle);
  ASSERT_GT(size, 0u);
  std::vector<unsigned char> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, block.data()));

  VS_FIXEDFILEINFO *fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void **>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);

  WORD *translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void **>(&translation), &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(translation[0], 0x0804);
  EXPECT_EQ(translation[1], 1200);

  wchar_t *text = nullptr;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\080404b0\\FileVersion",
                             reinterpret_cast<void **>(&text), &length));
  EXPECT_STREQ(text, L"1.0.0.1");
}
