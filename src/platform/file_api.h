// File services of the operating system, with the Win32 meaning the file
// classes expect: handles, attributes and drives. Under _WIN32 these are the
// real calls; elsewhere a small POSIX implementation with the same contract.
#pragma once

#include <cstdint>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace platform {

#ifdef _WIN32
using ::BOOL;
using ::DWORD;
using ::HANDLE;
using ::LONG;
using ::CloseHandle;
using ::CreateFileA;
using ::GetFileAttributesA;
using ::GetLogicalDrives;
using ::ReadFile;
using ::SetFilePointer;
using ::WriteFile;
#else
using BOOL = int;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using HANDLE = void*;

// A handle carries the descriptor plus one, so descriptor 0 is not the null handle.
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_SHARE_READ = 0x00000001u;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002u;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10u;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80u;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;

// Share modes have no POSIX counterpart and are accepted and ignored; security
// attributes and templates must be null. Directories are refused, as Win32
// refuses them without backup semantics.
HANDLE CreateFileA(const char* name, DWORD access, DWORD share, void* security,
                   DWORD creation, DWORD flags, HANDLE templateFile);
// Transfers until the count is reached, the file ends or an error occurs.
BOOL ReadFile(HANDLE h, void* buffer, DWORD count, DWORD* done, void* overlapped);
BOOL WriteFile(HANDLE h, const void* buffer, DWORD count, DWORD* done, void* overlapped);
// With distanceHigh null the distance is a signed 32-bit value; otherwise the
// two parts form a signed 64-bit distance and *distanceHigh receives the high
// part of the new position. Returns the low part, or INVALID_SET_FILE_POINTER.
DWORD SetFilePointer(HANDLE h, LONG distance, LONG* distanceHigh, DWORD method);
BOOL CloseHandle(HANDLE h);
// FILE_ATTRIBUTE_DIRECTORY for a directory, FILE_ATTRIBUTE_NORMAL for anything
// else that exists, INVALID_FILE_ATTRIBUTES when the name cannot be examined.
DWORD GetFileAttributesA(const char* name);
// No drive letters here: the mask is empty.
DWORD GetLogicalDrives();
#endif

// Buffered streams with 64-bit positions on every build (fopen/fseek/ftell
// are limited to 2 GiB on 32-bit systems).
std::FILE* StreamOpen(const char* name, const char* mode);
bool StreamSeek64(std::FILE* stream, std::int64_t position, int origin);
std::int64_t StreamTell64(std::FILE* stream);
// fgetc without taking the stream's lock: only for a stream no other thread uses.
int StreamGetcUnlocked(std::FILE* stream);

// Replaces `to` by `from` in one step, so readers see the old file or the new
// one and never a partial one.
bool RenameReplacing(const char* from, const char* to);

}  // namespace platform
