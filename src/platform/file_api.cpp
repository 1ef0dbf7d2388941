// Large-file interfaces on 32-bit builds: must precede every system header.
#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64
#endif

#include "platform/file_api.h"

#ifndef _WIN32
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdio>

static_assert(sizeof(std::int64_t) == 8, "64-bit positions");

namespace platform {

#ifndef _WIN32
static_assert(sizeof(off_t) == 8, "large-file offsets required");

namespace {

int Descriptor(HANDLE h) {
  return static_cast<int>(reinterpret_cast<std::intptr_t>(h) - 1);
}

bool ValidHandle(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

}  // namespace

HANDLE CreateFileA(const char* name, DWORD access, DWORD /*share*/, void* security,
                   DWORD creation, DWORD /*flags*/, HANDLE templateFile) {
  if (name == nullptr || security != nullptr || templateFile != nullptr) return INVALID_HANDLE_VALUE;
  int flags = O_CLOEXEC;
  const bool reads = (access & GENERIC_READ) != 0;
  const bool writes = (access & GENERIC_WRITE) != 0;
  if (reads && writes) {
    flags |= O_RDWR;
  } else if (writes) {
    flags |= O_WRONLY;
  } else if (reads) {
    flags |= O_RDONLY;
  } else {
    return INVALID_HANDLE_VALUE;
  }
  switch (creation) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case TRUNCATE_EXISTING:
      if (!writes) return INVALID_HANDLE_VALUE;
      flags |= O_TRUNC;
      break;
    default: return INVALID_HANDLE_VALUE;
  }
  int fd;
  do {
    fd = ::open(name, flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return INVALID_HANDLE_VALUE;
  struct stat info;
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    return INVALID_HANDLE_VALUE;
  }
  return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(fd) + 1);
}

BOOL ReadFile(HANDLE h, void* buffer, DWORD count, DWORD* done, void* overlapped) {
  if (done != nullptr) *done = 0;
  if (!ValidHandle(h) || overlapped != nullptr || (buffer == nullptr && count > 0)) return 0;
  DWORD total = 0;
  while (total < count) {
    const ssize_t got = ::read(Descriptor(h), static_cast<char*>(buffer) + total, count - total);
    if (got < 0) {
      if (errno == EINTR) continue;
      if (done != nullptr) *done = total;
      return 0;
    }
    if (got == 0) break;  // end of file: success with a short count, as Win32 reports it
    total += static_cast<DWORD>(got);
  }
  if (done != nullptr) *done = total;
  return 1;
}

BOOL WriteFile(HANDLE h, const void* buffer, DWORD count, DWORD* done, void* overlapped) {
  if (done != nullptr) *done = 0;
  if (!ValidHandle(h) || overlapped != nullptr || (buffer == nullptr && count > 0)) return 0;
  DWORD total = 0;
  while (total < count) {
    const ssize_t put = ::write(Descriptor(h), static_cast<const char*>(buffer) + total, count - total);
    if (put < 0) {
      if (errno == EINTR) continue;
      if (done != nullptr) *done = total;
      return 0;
    }
    if (put == 0) break;
    total += static_cast<DWORD>(put);
  }
  if (done != nullptr) *done = total;
  return total == count;
}

DWORD SetFilePointer(HANDLE h, LONG distance, LONG* distanceHigh, DWORD method) {
  if (!ValidHandle(h)) return INVALID_SET_FILE_POINTER;
  std::int64_t offset = distance;
  if (distanceHigh != nullptr) {
    offset = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(static_cast<std::uint32_t>(*distanceHigh)) << 32) |
        static_cast<std::uint32_t>(distance));
  }
  int whence;
  switch (method) {
    case FILE_BEGIN: whence = SEEK_SET; break;
    case FILE_CURRENT: whence = SEEK_CUR; break;
    case FILE_END: whence = SEEK_END; break;
    default: return INVALID_SET_FILE_POINTER;
  }
  const off_t result = ::lseek(Descriptor(h), static_cast<off_t>(offset), whence);
  if (result < 0) return INVALID_SET_FILE_POINTER;
  const auto position = static_cast<std::uint64_t>(result);
  if (distanceHigh != nullptr) {
    *distanceHigh = static_cast<LONG>(static_cast<std::uint32_t>(position >> 32));
  } else if (position > 0xFFFFFFFEu) {
    // Win32 fails a 32-bit call whose result needs the high part.
    return INVALID_SET_FILE_POINTER;
  }
  return static_cast<DWORD>(position & 0xFFFFFFFFu);
}

BOOL CloseHandle(HANDLE h) {
  if (!ValidHandle(h)) return 0;
  return ::close(Descriptor(h)) == 0 ? 1 : 0;
}

DWORD GetFileAttributesA(const char* name) {
  struct stat info;
  if (name == nullptr || *name == '\0' || ::stat(name, &info) != 0) return INVALID_FILE_ATTRIBUTES;
  return S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

DWORD GetLogicalDrives() { return 0; }

std::FILE* StreamOpen(const char* name, const char* mode) {
  if (name == nullptr || mode == nullptr) return nullptr;
  return std::fopen(name, mode);
}

bool StreamSeek64(std::FILE* stream, std::int64_t position, int origin) {
  return ::fseeko(stream, static_cast<off_t>(position), origin) == 0;
}

std::int64_t StreamTell64(std::FILE* stream) { return static_cast<std::int64_t>(::ftello(stream)); }

int StreamGetcUnlocked(std::FILE* stream) { return ::getc_unlocked(stream); }

bool RenameReplacing(const char* from, const char* to) { return std::rename(from, to) == 0; }

#else  // _WIN32

std::FILE* StreamOpen(const char* name, const char* mode) {
  if (name == nullptr || mode == nullptr) return nullptr;
  return std::fopen(name, mode);
}

bool StreamSeek64(std::FILE* stream, std::int64_t position, int origin) {
  return ::_fseeki64(stream, position, origin) == 0;
}

std::int64_t StreamTell64(std::FILE* stream) { return ::_ftelli64(stream); }

int StreamGetcUnlocked(std::FILE* stream) { return ::_fgetc_nolock(stream); }

bool RenameReplacing(const char* from, const char* to) {
  return ::MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

#endif

}  // namespace platform
