// Paths and texts in the Windows backends: the program keeps them in UTF-8,
// the wide Windows calls take UTF-16.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>

// Invalid UTF-8 becomes U+FFFD.
inline std::wstring WideText(std::string_view utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring w(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), w.data(), n);
    return w;
}

inline std::wstring WidePath(const std::string& utf8) {
    std::wstring w = WideText(utf8);
    // Windows takes a \\?\ name as it stands, where '/' is no separator; the
    // programs join paths with '/'.
    if (w.rfind(L"\\\\?\\", 0) == 0) std::replace(w.begin(), w.end(), L'/', L'\\');
    return w;
}

inline std::string Utf8Path(const std::wstring& wide) {
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), s.data(), n, nullptr, nullptr);
    return s;
}

// How much of a path is its root, the part no directory can be made of:
// "C:\", "\\server\share\", "\\?\C:\", "\\?\UNC\server\share\"; 1 for a
// path from the current drive's root, 0 for a relative one.
inline size_t WinRootLength(const std::string& p) {
    auto sep = [&p](size_t i) { return i < p.size() && (p[i] == '/' || p[i] == '\\'); };
    // Past the server and the share of a UNC name that starts at i.
    auto share = [&p](size_t i) {
        for (int part = 0; part < 2; ++part) {
            const size_t s = p.find_first_of("/\\", i);
            if (s == std::string::npos) return p.size();
            i = s + 1;
        }
        return i;
    };
    size_t i = 0;
    if (sep(0) && sep(1) && p.size() > 2 && (p[2] == '?' || p[2] == '.') && sep(3)) {
        i = 4;
        if (p.compare(4, 3, "UNC") == 0 && sep(7)) return share(8);
    } else if (sep(0) && sep(1)) {
        return share(2);
    }
    if (i + 1 < p.size() && p[i + 1] == ':') return std::min(p.size(), i + 3);
    return i + (sep(i) ? 1 : 0);
}
