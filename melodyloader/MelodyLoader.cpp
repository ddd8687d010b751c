#include "melodyloader/MelodyLoader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "app/ConsoleOut.h"
#include "app/Utf8Args.h"

namespace melody {

namespace {

constexpr size_t kMaxPortName = 255;

void SkipLine(std::FILE* in) {
    int c;
    do c = std::fgetc(in);
    while (c != EOF && c != '\n');
}

}  // namespace

long CMemorySource::Read(size_t offset, uint8_t* buf, size_t n) {
    if (offset >= m_size) return 0;
    n = std::min(n, m_size - offset);
    std::memcpy(buf, m_data + offset, n);
    return long(n);
}

CFileSource::~CFileSource() {
    if (m_fd >= 0) ::close(m_fd);
}

CFileSource::OpenResult CFileSource::Open(const std::string& path) {
    // Without blocking: a FIFO or a device would wait in open() for a peer
    // before its type could be looked at.
    int fd = OpenForReading(path, O_NONBLOCK);
    if (fd < 0) return kCannotOpen;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return kCannotOpen;
    }
    int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return kCannotOpen;
    }
    if (uint64_t(st.st_size) > kMaxImageSize) {
        ::close(fd);
        return kTooLarge;
    }
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
    return kOpened;
}

long CFileSource::Read(size_t offset, uint8_t* buf, size_t n) {
    if (m_fd < 0) return -1;
    size_t got = 0;
    while (got < n) {
        ssize_t r = ::pread(m_fd, buf + got, n - got, off_t(offset + got));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) break;
        got += size_t(r);
    }
    return long(got);
}

bool CheckDevice(IMelodyLink& link) {
    uint8_t request[kCheckRequestLen];
    size_t len = BuildCheckRequest(request);
    uint8_t reply[kReplyCapacity];
    bool present = false;
    for (int attempt = 0; attempt < kCheckAttempts && !present; ++attempt) {
        if (!link.Send(request, len)) continue;
        for (int f = 0; f < kCheckFrames; ++f) {
            size_t got = 0;
            if (link.Receive(reply, sizeof reply, got) != IMelodyLink::kFrame) break;
            Reply r = ClassifyReply(reply, std::min(got, sizeof reply), MELCMD_CHECK);
            if (r == Reply::Foreign) continue;  // someone else's frame: read on
            present = r == Reply::Accepted;
            break;
        }
    }
    link.SetReadTimeout(kDownloadReadTimeoutMs);
    return present;
}

bool Download(IMelodyLink& link, IMelodySource& source, const std::function<void()>& onBlock) {
    uint8_t block[kBlockSize];
    uint8_t request[kMaxRequestLen];
    uint8_t reply[kReplyCapacity];
    size_t sent = 0;
    int passes = 0;
    for (;;) {
        size_t want = std::min(kBlockSize, kMaxImageSize - sent);
        if (want == 0) return source.Read(sent, block, 1) == 0;  // more would pass 0xFFFF

        // Every pass reads the block again from the plain source and scrambles
        // a fresh copy.
        long got = source.Read(sent, block, want);
        if (got < 0) return false;
        if (got == 0) return true;
        size_t n = size_t(got);
        uint16_t address = uint16_t(MELODY_BASE_ADDRESS + sent);
        size_t len = BuildWriteRequest(address, block, n, request);

        bool acknowledged = false;
        size_t replyLen = 0;
        if (link.Send(request, len) && link.Receive(reply, sizeof reply, replyLen) == IMelodyLink::kFrame)
            acknowledged = ClassifyReply(reply, std::min(replyLen, sizeof reply), MELCMD_WRITE) == Reply::Accepted;
        if (acknowledged) {
            onBlock();
            sent += n;
            passes = 0;
        }
        if (++passes == kBlockPasses) return false;
        // The answer to the failed pass may still come: taken for the next
        // pass's, it would acknowledge a block the device never confirmed.
        if (!acknowledged) link.Drain();
    }
}

std::string ReadPortName(std::FILE* in) {
    char buf[kMaxPortName + 1];
    std::string name;
    if (std::fgets(buf, sizeof buf, in)) {
        name = buf;
        if (!name.empty() && name.back() == '\n')
            name.pop_back();
        else if (name.size() == kMaxPortName)
            SkipLine(in);  // longer than the buffer
        if (!name.empty() && name.back() == '\r') name.pop_back();
    }
    return name.empty() ? "COM1" : name;
}

int RunMelodyLoader(int argc, const char* const* argv, std::FILE* in, std::FILE* out, const uint8_t* image,
                    size_t imageSize) {
    ConsoleWrite(out, "Music Downloader, version 1.01\n\n");
    ConsoleWrite(out, "Select serial port connecting to device [Enter = COM1] : ");
    std::fflush(out);
    std::string portName = ReadPortName(in);

    CFileSource file;
    CMemorySource builtIn(image, imageSize);
    IMelodySource* source = &builtIn;
    if (argc >= 2) {
        ConsolePrintf(out, "Download %s file via %s...\n", argv[1], portName.c_str());
        std::fflush(out);  // before the open, which may take its time
        switch (file.Open(argv[1])) {
        case CFileSource::kOpened: break;
        case CFileSource::kCannotOpen: ConsoleWrite(out, "File can not be open\n"); return 1;
        case CFileSource::kTooLarge: ConsoleWrite(out, "File is too large\n"); return 1;
        }
        source = &file;
    } else {
        ConsolePrintf(out, "Download internal data via %s...\n", portName.c_str());
        if (image == nullptr || imageSize > kMaxImageSize) {
            ConsoleWrite(out, "Data can not be accessed\n");
            return 1;
        }
    }
    std::fflush(out);

    bool completed = false;
    CMelodyPort port;
    if (port.Open(portName)) {
        port.SetReadTimeout(kCheckReadTimeoutMs);
        if (CheckDevice(port)) {
            completed = Download(port, *source, [out] {
                ConsoleWrite(out, "*");
                std::fflush(out);
            });
        }
        port.Close();
    } else {
        // The same reason the panel and vantrixctl give under their message.
        const std::string why = PortFaultLine(port.OpenFault(), portName);
        if (!why.empty()) ConsolePrintf(out, "%s\n", why.c_str());
    }

    ConsoleWrite(out, "\n");
    if (completed) ConsoleWrite(out, "Download is completed\n");
    ConsoleWrite(out, "\nPress Enter...");
    std::fflush(out);
    SkipLine(in);
    return completed ? 0 : 1;
}

}  // namespace melody
