// Test and benchmark driver: calls 7-zip32.dll exactly as the ZIP commands do (imported by
// ordinal, UTF-8 switch, then the command), plus small helpers the outside-reader tests need.
//   archiver_driver add [--hide] [--verify] [--ansi] [--mx N] [--mmt X] ARCHIVE ITEM...
//       runs "a -tzip -ssw -mmt=X [-mxN] [-hide] [-verify] -- "ARCHIVE" "ITEM"...", prints the
//       result code, the output text and the time the call took, exits with the result code (0
//       on success).
//   archiver_driver raw LINE          runs LINE as it is (UTF-8)
//   archiver_driver hold PATH         opens PATH for writing as an editor would, prints "held",
//                                     keeps it open until standard input ends
//   archiver_driver probe PATH        exit 0 when PATH can be opened without sharing write access
//   archiver_driver wait              prints "waiting" and waits until standard input ends (keeps
//                                     the Wine session alive between the calls of a test)
//   archiver_driver readall [--threads N] [--relative] FOLDER
//                                     the platform's floor for the benchmark: lists the tree, then
//                                     opens, reads and closes every file (on N threads; by name in
//                                     its open folder with --relative), nothing else
// add and raw also print the process's peak working set and the one before the call.
#include <windows.h>
#include <psapi.h>
#include <winternl.h>

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

double workingSetMiB(bool peak)
{
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof(pmc);
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc))) return 0;
    return (peak ? pmc.PeakWorkingSetSize : pmc.WorkingSetSize) / 1048576.0;
}

int runLine(const std::string& line, bool utf8)
{
    SevenZipSetUnicodeMode(utf8 ? TRUE : FALSE);
    const double before = workingSetMiB(false);
    char output[1024];
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    int rc = SevenZip(nullptr, line.c_str(), output, sizeof(output));
    QueryPerformanceCounter(&end);
    char head[128];
    std::snprintf(head, sizeof(head), "result=0x%x\n", static_cast<unsigned>(rc));
    printBytes(head);
    printBytes(std::string(output) + "\n");
    std::snprintf(head, sizeof(head), "memory: peak %.1f MiB, before the call %.1f MiB\n", workingSetMiB(true), before);
    printBytes(head);
    std::snprintf(head, sizeof(head), "call: %.3f s\n", static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart);
    printBytes(head);
    return rc;
}

// ---- the floor: list, open, read, close -----------------------------------------------------

std::vector<std::wstring> g_files;
volatile LONG g_nextFile = -1;
volatile LONG64 g_bytesRead = 0;
int g_mode = 0;  // 0 plain CreateFileW, 1 relative NtCreateFile
typedef NTSTATUS(NTAPI* NtCreateFileProc)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER,
                                           ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
NtCreateFileProc g_ntCreateFile;
std::vector<std::pair<HANDLE, std::wstring>> g_rel;

HANDLE openRelative(HANDLE dir, const std::wstring& name)
{
    UNICODE_STRING us;
    us.Buffer = const_cast<wchar_t*>(name.c_str());
    us.Length = us.MaximumLength = static_cast<USHORT>(name.size() * 2);
    OBJECT_ATTRIBUTES oa;
    InitializeObjectAttributes(&oa, &us, OBJ_CASE_INSENSITIVE, dir, nullptr);
    IO_STATUS_BLOCK io;
    HANDLE h = nullptr;
    NTSTATUS st = g_ntCreateFile(&h, GENERIC_READ | SYNCHRONIZE, &oa, &io, nullptr, 0, 7, FILE_OPEN,
                                 FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY, nullptr, 0);
    return st == 0 ? h : INVALID_HANDLE_VALUE;
}

// Lists the files below folder: by full path, or with --relative by name and their open folder.
void listTree(const std::wstring& folder)
{
    HANDLE dir = g_mode ? CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE, 7, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr)
                        : INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr,
                                FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) return;
    std::vector<std::wstring> folders;
    do {
        const std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) folders.push_back(folder + L"\\" + name);
        else if (g_mode) g_rel.push_back({dir, name});
        else g_files.push_back(folder + L"\\" + name);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    for (const std::wstring& f : folders) listTree(f);
}

DWORD WINAPI readFiles(void*)
{
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const LONG i = InterlockedIncrement(&g_nextFile);
        if (i >= static_cast<LONG>(g_mode ? g_rel.size() : g_files.size())) return 0;
        HANDLE h = g_mode ? openRelative(g_rel[i].first, g_rel[i].second)
                          : CreateFileW(g_files[i].c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h == INVALID_HANDLE_VALUE) continue;
        DWORD n = 0;
        while (ReadFile(h, buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr) && n) {
            InterlockedExchangeAdd64(&g_bytesRead, n);
        }
        CloseHandle(h);
    }
}

int readAll(int argc, wchar_t** argv)
{
    int threads = 1;
    int i = 2;
    if (i + 1 < argc && !wcscmp(argv[i], L"--threads")) {
        threads = _wtoi(argv[i + 1]);
        i += 2;
    }
    if (i + 1 < argc && !wcscmp(argv[i], L"--relative")) {
        g_mode = 1;
        ++i;
    }
    if (i + 1 != argc || threads < 1 || threads > 64) return 2;
    g_ntCreateFile = reinterpret_cast<NtCreateFileProc>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtCreateFile")));
    LARGE_INTEGER f, t0, t1, t2;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    listTree(argv[i]);
    QueryPerformanceCounter(&t1);
    std::vector<HANDLE> workers;
    for (int t = 1; t < threads; ++t) workers.push_back(CreateThread(nullptr, 0, readFiles, nullptr, 0, nullptr));
    readFiles(nullptr);
    for (HANDLE h : workers) {
        WaitForSingleObject(h, INFINITE);
        CloseHandle(h);
    }
    QueryPerformanceCounter(&t2);
    char text[256];
    std::snprintf(text, sizeof(text), "read %u files, %lld bytes; listing %.2f s, reading %.2f s\n",
                  static_cast<unsigned>(g_mode ? g_rel.size() : g_files.size()), static_cast<long long>(g_bytesRead),
                  (t1.QuadPart - t0.QuadPart) / double(f.QuadPart), (t2.QuadPart - t1.QuadPart) / double(f.QuadPart));
    printBytes(text);
    return 0;
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
    bool hide = false, ansi = false, verify = false;
    std::wstring mx, mmt = L"on";
    int i = 2;
    for (; i < argc && argv[i][0] == L'-' && argv[i][1] == L'-'; ++i) {
        if (!wcscmp(argv[i], L"--hide")) hide = true;
        else if (!wcscmp(argv[i], L"--verify")) verify = true;
        else if (!wcscmp(argv[i], L"--ansi")) ansi = true;
        else if (!wcscmp(argv[i], L"--mx") && i + 1 < argc) mx = argv[++i];
        else if (!wcscmp(argv[i], L"--mmt") && i + 1 < argc) mmt = argv[++i];
        else return 2;
    }
    if (argc - i < 2) return 2;
    std::wstring line = L"a -tzip -ssw -mmt=" + mmt;
    if (!mx.empty()) line += L" -mx" + mx;
    if (hide) line += L" -hide";
    if (verify) line += L" -verify";
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
    if (argc >= 3 && !wcscmp(argv[1], L"readall")) return readAll(argc, argv);
    if (argc == 2 && !wcscmp(argv[1], L"wait")) {
        printBytes("waiting\n");
        return waitForStdinEnd();
    }
    std::fputs("usage: archiver_driver add|raw|hold|probe|wait|readall ...\n", stderr);
    return 2;
}
