#include "app/TextCodec.h"

#include <iconv.h>

#include <cerrno>

namespace cp1250 {
namespace {

class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter() {
        if (m_cd != reinterpret_cast<iconv_t>(-1)) iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts `in`; on an input sequence that cannot be converted, appends
    // `replacement` and skips `skip(in)` bytes.
    template <class Skip> std::string Run(std::string_view in, std::string_view replacement, Skip skip) {
        std::string out;
        if (m_cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char buf[256];
        while (srcLeft > 0) {
            char* dst = buf;
            size_t dstLeft = sizeof buf;
            size_t r = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
            out.append(buf, size_t(dst - buf));
            if (r == size_t(-1)) {
                if (errno == E2BIG) continue;
                // EILSEQ or EINVAL (a cut sequence at the end)
                out.append(replacement);
                size_t n = skip(std::string_view(src, srcLeft));
                src += n;
                srcLeft -= n;
            }
        }
        return out;
    }

private:
    iconv_t m_cd;
};

}  // namespace

std::string ToUtf8(std::string_view ansi) {
    thread_local Converter conv("UTF-8", "WINDOWS-1250");
    return conv.Run(ansi, "\xEF\xBF\xBD", [](std::string_view) { return size_t(1); });
}

std::string FromUtf8(std::string_view utf8) {
    thread_local Converter conv("WINDOWS-1250", "UTF-8");
    return conv.Run(utf8, "?", Utf8SequenceLength);
}

}  // namespace cp1250
