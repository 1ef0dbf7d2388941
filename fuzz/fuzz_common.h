// Shared pieces of the fuzz targets: input splitting, scratch files and the
// program directory that holds the catalogue.
#ifndef ZELTO_FUZZ_COMMON_H
#define ZELTO_FUZZ_COMMON_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "ZeltoPlugIn_TIFF.h"

namespace fuzzing {

// Takes fixed-size values off the front of the input; zeros once it runs out.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  template <typename T>
  T Take() {
    T v{};
    const size_t n = size_ < sizeof v ? size_ : sizeof v;
    std::memcpy(&v, data_, n);
    data_ += n;
    size_ -= n;
    return v;
  }
  // Up to the next NUL (which is consumed), or the rest.
  std::string TakeString() {
    const void* z = std::memchr(data_, 0, size_);
    const size_t n = z != nullptr ? size_t(static_cast<const uint8_t*>(z) - data_) : size_;
    std::string s(reinterpret_cast<const char*>(data_), n);
    const size_t used = z != nullptr ? n + 1 : n;
    data_ += used;
    size_ -= used;
    return s;
  }
  const uint8_t* Rest() const { return data_; }
  size_t RestSize() const { return size_; }

 private:
  const uint8_t* data_;
  size_t size_;
};

// A directory of this process, created once.
const std::string& WorkDir();
// Writes the bytes to WorkDir()/name and returns the path.
std::string WriteScratch(const std::string& name, const void* data, size_t size);
// Makes WorkDir() the host program's directory, so the catalogue is looked
// up there.
void UseWorkDirAsProgramDir();
// Writes the catalogue beside the program.
void WriteCatalogue(const void* data, size_t size);
// The catalogue the georeferencing target runs against.
extern const char kDefaultCatalogue[];

// A text callback that only touches what it is given.
struct Sink : TTextCallback {
  Sink();
  size_t bytes = 0;
};

}  // namespace fuzzing

#endif
