// Paths in the Windows backends: the program keeps them in UTF-8, the wide
// Windows calls take UTF-16.
#pragma once

#include <windows.h>

#include <string>

inline std::wstring WidePath(const std::string& utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring w(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), w.data(), n);
    return w;
}

inline std::string Utf8Path(const std::wstring& wide) {
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), s.data(), n, nullptr, nullptr);
    return s;
}
