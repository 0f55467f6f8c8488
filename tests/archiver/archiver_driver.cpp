// Test and benchmark driver: calls 7-zip32.dll exactly as the ZIP commands do (imported by
// ordinal, UTF-8 switch, then the command), plus small helpers the outside-reader tests need.
//   archiver_driver add [--hide] [--ansi] [--mx N] [--mmt X] ARCHIVE ITEM...
//       runs "a -tzip -ssw -mmt=X [-mxN] [-hide] -- "ARCHIVE" "ITEM"...", prints the result code
//       and the output text, exits with the result code (0 on success).
//   archiver_driver raw LINE          runs LINE as it is (UTF-8)
//   archiver_driver hold PATH         opens PATH for writing as an editor would, prints "held",
//                                     keeps it open until standard input ends
//   archiver_driver probe PATH        exit 0 when PATH can be opened without sharing write access
//   archiver_driver wait              prints "waiting" and waits until standard input ends (keeps
//                                     the Wine session alive between the calls of a test)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "archiver_api.h"

namespace {

std::string narrow(const std::wstring& text, UINT page)
{
    int n = WideCharToMultiByte(page, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 1, '\0');
    if (n > 0) WideCharToMultiByte(page, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

void printBytes(const std::string& text)
{
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

int runLine(const std::string& line, bool utf8)
{
    SevenZipSetUnicodeMode(utf8 ? TRUE : FALSE);
    char output[1024];
    int rc = SevenZip(nullptr, line.c_str(), output, sizeof(output));
    char head[64];
    std::snprintf(head, sizeof(head), "result=0x%x\n", static_cast<unsigned>(rc));
    printBytes(head);
    printBytes(std::string(output) + "\n");
    return rc;
}

int waitForStdinEnd()
{
    char buf[64];
    DWORD n = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buf, sizeof(buf), &n, nullptr) && n) {
    }
    return 0;
}

int add(int argc, wchar_t** argv)
{
    bool hide = false, ansi = false;
    std::wstring mx, mmt = L"on";
    int i = 2;
    for (; i < argc && argv[i][0] == L'-' && argv[i][1] == L'-'; ++i) {
        if (!wcscmp(argv[i], L"--hide")) hide = true;
        else if (!wcscmp(argv[i], L"--ansi")) ansi = true;
        else if (!wcscmp(argv[i], L"--mx") && i + 1 < argc) mx = argv[++i];
        else if (!wcscmp(argv[i], L"--mmt") && i + 1 < argc) mmt = argv[++i];
        else return 2;
    }
    if (argc - i < 2) return 2;
    std::wstring line = L"a -tzip -ssw -mmt=" + mmt;
    if (!mx.empty()) line += L" -mx" + mx;
    if (hide) line += L" -hide";
    line += L" --";
    for (; i < argc; ++i) line += L" \"" + std::wstring(argv[i]) + L"\"";
    return runLine(narrow(line, ansi ? CP_ACP : CP_UTF8), !ansi);
}

int hold(const wchar_t* path)
{
    HANDLE h = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 3;
    SetFilePointer(h, 0, nullptr, FILE_END);
    DWORD n = 0;
    WriteFile(h, "appended by the holder\n", 23, &n, nullptr);
    printBytes("held\n");
    waitForStdinEnd();
    CloseHandle(h);
    return 0;
}

int probe(const wchar_t* path)
{
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        char text[64];
        std::snprintf(text, sizeof(text), "error=%lu\n", GetLastError());
        printBytes(text);
        return 1;
    }
    CloseHandle(h);
    printBytes("open\n");
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc >= 3 && !wcscmp(argv[1], L"add")) return add(argc, argv);
    if (argc == 3 && !wcscmp(argv[1], L"raw")) return runLine(narrow(argv[2], CP_UTF8), true);
    if (argc == 3 && !wcscmp(argv[1], L"hold")) return hold(argv[2]);
    if (argc == 3 && !wcscmp(argv[1], L"probe")) return probe(argv[2]);
    if (argc == 2 && !wcscmp(argv[1], L"wait")) {
        printBytes("waiting\n");
        return waitForStdinEnd();
    }
    std::fputs("usage: archiver_driver add|raw|hold|probe|wait ...\n", stderr);
    return 2;
}
