// melodyloader: ask for the port, check that the device answers, send the
// melody image in blocks to the device's melody memory, report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "melodyloader/MelodyPort.h"

namespace melody {

inline constexpr int kCheckAttempts = 5;
inline constexpr int kCheckFrames = 3;  // reply frames read per check attempt
inline constexpr int kBlockPasses = 3;  // the first block gets 3 tries, every later one 2

// Where the image comes from: the built-in image or a file.
class IMelodySource {
public:
    virtual ~IMelodySource() = default;
    // Up to n bytes from `offset`: the number read, 0 at the end, -1 on an error.
    virtual long Read(size_t offset, uint8_t* buf, size_t n) = 0;
};

class CMemorySource : public IMelodySource {
public:
    CMemorySource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    long Read(size_t offset, uint8_t* buf, size_t n) override;

private:
    const uint8_t* m_data;
    size_t m_size;
};

// The melody file, opened for reading only and read again at the block's
// position for every attempt.
class CFileSource : public IMelodySource {
public:
    enum OpenResult { kOpened, kCannotOpen, kTooLarge };

    CFileSource() = default;
    ~CFileSource() override;
    CFileSource(const CFileSource&) = delete;
    CFileSource& operator=(const CFileSource&) = delete;

    // Regular files only; one larger than the melody memory is refused.
    OpenResult Open(const std::string& path);
    long Read(size_t offset, uint8_t* buf, size_t n) override;

private:
    int m_fd = -1;
};

// Up to kCheckAttempts check requests; true when the device acknowledged one.
// Afterwards, success or not, the read time-out is the download's.
bool CheckDevice(IMelodyLink& link);

// Sends the image in blocks from MELODY_BASE_ADDRESS; `onBlock` runs after
// every acknowledged block. True when every byte was acknowledged (at once for
// an empty image); false when a block ran out of tries, the source failed or
// the image would pass the end of the address range.
bool Download(IMelodyLink& link, IMelodySource& source, const std::function<void()>& onBlock);

// One line of at most 255 characters (the rest of a longer line is skipped);
// an empty line, or none, means "COM1".
std::string ReadPortName(std::FILE* in);

// The whole dialogue. `image` is the built-in melody image. Returns the exit
// status: 0 when the download completed, 1 otherwise.
int RunMelodyLoader(int argc, const char* const* argv, std::FILE* in, std::FILE* out, const uint8_t* image,
                    size_t imageSize);

}  // namespace melody
