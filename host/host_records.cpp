#include "host_records.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace zhost {

uint64_t RowBytes(int64_t width, int64_t bitsPerPixel) {
  if (width <= 0 || bitsPerPixel <= 0) return 0;
  return ((uint64_t(width) * uint64_t(bitsPerPixel) + 31) / 32) * 4;
}

namespace {

void KeepText(TTextCallback* self, const char* text) {
  static_cast<MessageSink*>(self)->texts.emplace_back(text != nullptr ? text : "");
}

volatile sig_atomic_t gCancel = 0;

void OnInterrupt(int) { gCancel = 1; }

void SetTotalSlot(TProgress* self, int32_t lines) { static_cast<ProgressBar*>(self)->OnSetTotal(lines); }
void AdvanceSlot(TProgress* self, int32_t lines) { static_cast<ProgressBar*>(self)->OnAdvance(lines); }
void UnusedSlot(TProgress*) {}
unsigned char IsCancelledSlot(TProgress*) { return CancelRequested() ? 1 : 0; }

const TProgressOps kProgressOps = {SetTotalSlot, AdvanceSlot, UnusedSlot, IsCancelledSlot};

// The module asks for the buffer only after it has filled the size fields;
// anything the host cannot or should not allocate is answered with a null Bits.
void AllocateZone(TZoneBitmap* self) {
  auto* bitmap = static_cast<ZoneBitmap*>(self);
  bitmap->Bits = nullptr;
  int64_t rows = bitmap->Height < 0 ? -int64_t(bitmap->Height) : int64_t(bitmap->Height);
  uint64_t stride = RowBytes(bitmap->Width, bitmap->BitsPerPixel);
  if (stride == 0 || rows == 0 || bitmap->BitsPerPixel > 64) return;
  constexpr uint64_t kMaxBytes = uint64_t(1) << 32;
  if (stride > kMaxBytes / uint64_t(rows)) return;
  try {
    bitmap->storage.assign(size_t(stride * uint64_t(rows)), 0);
  } catch (const std::bad_alloc&) {
    return;
  }
  bitmap->Bits = bitmap->storage.data();
}

}  // namespace

MessageSink::MessageSink() { Send = KeepText; }

std::string MessageSink::Joined() const {
  std::string all;
  for (const std::string& t : texts) {
    if (!all.empty()) all += "\n";
    all += t;
  }
  return all;
}

void InstallCancelHandler() {
  struct sigaction action;
  std::memset(&action, 0, sizeof(action));
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
}

bool CancelRequested() { return gCancel != 0; }

ProgressBar::ProgressBar(const char* text, int64_t rows, const ProgressOptions& opts)
    : label(text), total(rows), options(opts) {
  Ops = &kProgressOps;
  start_ = lastDraw_ = std::chrono::steady_clock::now();
}

ProgressBar::~ProgressBar() { Finish(); }

void ProgressBar::OnSetTotal(int32_t lines) {
  ++setTotalCalls;
  // The writer announces each band on its own; the host keeps the whole count.
  if (total <= 0) total = lines;
}

void ProgressBar::OnAdvance(int32_t lines) {
  done += lines;
  if (options.cancelAfter >= 0 && done >= options.cancelAfter) raise(SIGINT);
  if (!options.draw) return;
  auto now = std::chrono::steady_clock::now();
  if (now - start_ < std::chrono::milliseconds(500)) return;
  if (drawn_ && now - lastDraw_ < std::chrono::milliseconds(100) && done < total) return;
  lastDraw_ = now;
  Draw();
}

void ProgressBar::Draw() {
  constexpr int kCells = 30;
  int64_t shown = total > 0 && done > total ? total : done;
  int filled = total > 0 ? int(shown * kCells / total) : 0;
  char bar[kCells + 1];
  for (int i = 0; i < kCells; ++i) bar[i] = i < filled ? '#' : '.';
  bar[kCells] = '\0';
  std::fprintf(stderr, "\r%s [%s] %lld/%lld rows", label.c_str(), bar, static_cast<long long>(shown),
               static_cast<long long>(total));
  std::fflush(stderr);
  drawn_ = true;
}

void ProgressBar::Finish() {
  if (!drawn_) return;
  Draw();
  std::fputc('\n', stderr);
  drawn_ = false;
}

ZoneBitmap::ZoneBitmap() {
  std::memset(static_cast<TZoneBitmap*>(this), 0, sizeof(TZoneBitmap));
  Allocate = AllocateZone;
}

}  // namespace zhost
