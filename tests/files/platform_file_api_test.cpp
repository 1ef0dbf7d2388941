// Large-file offsets for the sparse fixtures on 32-bit builds.
#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64
#endif

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "files_test_util.h"
#include "platform/file_api.h"
#include "tiff_fixture.h"

using namespace platform;

namespace {

TEST(PlatformFileApi, CreateFileFollowsTheCreationRules) {
  fixture::TempDir dir;
  const std::string path = dir.Path("a.bin");

  EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr),
            INVALID_HANDLE_VALUE);

  files_test::WriteText(path, "hello");
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ASSERT_NE(h, nullptr);
  char buf[8] = {};
  DWORD got = 99;
  EXPECT_TRUE(ReadFile(h, buf, 8, &got, nullptr));  // short at the end, still a success
  EXPECT_EQ(got, 5u);
  EXPECT_EQ(std::string(buf, 5), "hello");
  EXPECT_TRUE(ReadFile(h, buf, 8, &got, nullptr));
  EXPECT_EQ(got, 0u);
  EXPECT_TRUE(CloseHandle(h));

  h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD put = 0;
  EXPECT_TRUE(WriteFile(h, "xy", 2, &put, nullptr));
  EXPECT_EQ(put, 2u);
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_EQ(files_test::ReadText(path), "xy");

  // Win32 refuses to open a directory as a file.
  EXPECT_EQ(CreateFileA(dir.Dir().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
  EXPECT_FALSE(CloseHandle(nullptr));
}

TEST(PlatformFileApi, FileAttributesAndDrives) {
  fixture::TempDir dir;
  const std::string path = dir.Path("f");
  files_test::WriteText(path, "x");
  EXPECT_EQ(GetFileAttributesA(path.c_str()), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(GetFileAttributesA(dir.Dir().c_str()) & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesA(dir.Path("missing").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA(""), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLogicalDrives(), 0u);
}

TEST(PlatformFileApi, SetFilePointerCarriesTheHighPart) {
  fixture::TempDir dir;
  const std::string path = dir.Path("big.bin");
  const std::int64_t size = (std::int64_t{1} << 32) + 16;
  {
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
    struct stat info;
    ASSERT_EQ(::fstat(fd, &info), 0);
    ::close(fd);
    if (info.st_blocks * 512 > (1 << 20)) GTEST_SKIP() << "no sparse files here";
  }
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);

  LONG high = 0;
  EXPECT_EQ(SetFilePointer(h, 0, &high, FILE_END), 16u);
  EXPECT_EQ(high, 1);

  high = 1;
  EXPECT_EQ(SetFilePointer(h, 3, &high, FILE_BEGIN), 3u);
  DWORD put = 0;
  EXPECT_TRUE(WriteFile(h, "Z", 1, &put, nullptr));
  high = 0;
  EXPECT_EQ(SetFilePointer(h, 0, &high, FILE_CURRENT), 4u);
  EXPECT_EQ(high, 1);

  // A 32-bit call cannot report a position past 4 GiB.
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
  // A negative 32-bit distance from the start is refused, not wrapped.
  EXPECT_EQ(SetFilePointer(h, -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_TRUE(CloseHandle(h));

  std::FILE* f = StreamOpen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  ASSERT_TRUE(StreamSeek64(f, (std::int64_t{1} << 32) + 3, SEEK_SET));
  EXPECT_EQ(std::fgetc(f), 'Z');
  EXPECT_EQ(StreamTell64(f), (std::int64_t{1} << 32) + 4);
  std::fclose(f);
}

TEST(PlatformFileApi, RenameReplacingSwapsTheTarget) {
  fixture::TempDir dir;
  files_test::WriteText(dir.Path("new"), "new");
  files_test::WriteText(dir.Path("old"), "old");
  EXPECT_TRUE(RenameReplacing(dir.Path("new").c_str(), dir.Path("old").c_str()));
  EXPECT_EQ(files_test::ReadText(dir.Path("old")), "new");
  EXPECT_EQ(GetFileAttributesA(dir.Path("new").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(RenameReplacing(dir.Path("new").c_str(), dir.Path("old").c_str()));
}

}  // namespace
