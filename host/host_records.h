// The host's side of the records and callbacks: a Send that keeps the texts,
// a progress object that draws a bar and answers Ctrl-C, a bitmap whose
// Allocate gives the module a zeroed buffer.
#ifndef ZELTO_HOST_HOST_RECORDS_H
#define ZELTO_HOST_HOST_RECORDS_H

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "ZeltoPlugIn_TIFF.h"

namespace zhost {

// ((width * bits + 31) div 32) * 4, in 64 bits so no product wraps.
uint64_t RowBytes(int64_t width, int64_t bitsPerPixel);

struct MessageSink : TTextCallback {
  MessageSink();
  std::vector<std::string> texts;
  std::string Joined() const;  // the texts, one per line
};

// SIGINT sets the flag that IsCancelled reports; a second Ctrl-C kills as usual.
void InstallCancelHandler();
bool CancelRequested();

struct ProgressOptions {
  bool draw = false;        // draw a bar on stderr once an operation lasts about half a second
  int64_t cancelAfter = -1; // raise SIGINT after this many rows (tests); negative: never
};

struct ProgressBar : TProgress {
  ProgressBar(const char* label, int64_t rows, const ProgressOptions& options);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void OnSetTotal(int32_t lines);
  void OnAdvance(int32_t lines);
  void Finish();  // ends the bar's line when one was drawn

  std::string label;
  int64_t total;    // rows of the whole operation, as the host counts them
  int64_t done = 0;
  int setTotalCalls = 0;
  ProgressOptions options;

 private:
  void Draw();
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
  bool drawn_ = false;
};

struct ZoneBitmap : TZoneBitmap {
  ZoneBitmap();
  std::vector<uint8_t> storage;
};

}  // namespace zhost

#endif
