// Cost of the verify pass ("Verify" 1) against the backup without it: TazuHere's operation (the
// shell's copy, the check after it, and with verify the read-back and byte-for-byte comparison)
// and TazuHereZip's (the archiver library, with verify its read-back), each on a folder of small
// files and on one large file, verify off and on in turn, every round. Also the two ways of
// comparing that were weighed: memcmp of both sides against a SHA-256 of both sides. Prints each
// round, the medians and the ratios. Run by verify_bench.py under Wine; not a test.
#include <windows.h>
#include <bcrypt.h>
#include <shellapi.h>

#include <algorithm>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>

#include "archive_item.h"
#include "archiver_api.h"
#include "backup_steps.h"
#include "message_box.h"
#include "run_state.h"
#include "settings.h"

namespace {

double seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double now()
{
    LARGE_INTEGER at, zero = {};
    QueryPerformanceCounter(&at);
    return seconds(zero, at);
}

// Processor time of this process (all its threads), which the machine's other load touches less
// than the clock.
double processorSeconds()
{
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) return 0;
    auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int printMessage(UINT, const wchar_t*, const wchar_t* text)
{
    wprintf(L"message: %ls\n", text);
    return IDOK;
}

void removeBackup(const std::wstring& path)
{
    std::wstring list = path + L'\0';
    SHFILEOPSTRUCTW request = {};
    request.wFunc = FO_DELETE;
    request.pFrom = list.c_str();
    request.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    SHFileOperationW(&request);
}

int setUtf8(int on) { return SevenZipSetUnicodeMode(on ? TRUE : FALSE); }
int runLibrary(const char* line, char* output, DWORD outputSize) { return SevenZip(nullptr, line, output, outputSize); }
void sleepMs(DWORD ms) { Sleep(ms); }

struct Timing {
    std::vector<double> off, on, pass;   // pass: the copy's verify pass alone
    std::vector<double> offCpu, onCpu;   // processor time of off and on
};

// One backup of the item into the work folder, timed, then removed. -1 on failure.
double backUp(const std::wstring& item, const std::wstring& work, bool zip, bool verify, int round, double* passAlone,
              double* cpu)
{
    g_settings.verify = verify ? 1 : 0;
    BackupItem backup;
    if (beginBackupItem(item.c_str(), &backup) != 0) return -1;
    const std::wstring target = work + L"\\backup_" + std::to_wstring(round) + (verify ? L"_on" : L"_off") +
                                (zip ? L".zip" : (backup.kind == ItemFolder ? L"\\" : L".bin"));
    const double start = now(), startCpu = processorSeconds();
    const int result = zip ? archiveItem(backup.path, target.c_str(), &backup.entry, UiEnglish, verify)
                           : copyToNewPath(&backup, target.c_str());
    const double took = now() - start;
    *cpu = processorSeconds() - startCpu;
    if (result == 0 && !zip && !verify && passAlone) {
        // Where the time of the pass goes: the same reading and comparing on the copy just made.
        CopyVerify alone;
        const double passStart = now();
        if (verifyCopiedTree(backup.path, target.c_str(), &alone) == VerifyMatch) *passAlone = now() - passStart;
    }
    std::wstring made = target;
    if (!made.empty() && made.back() == L'\\') made.pop_back();
    removeBackup(made);
    return result == 0 ? took : -1;
}

// memcmp of two buffers against a SHA-256 of each, in GB/s of one side's bytes.
void weighComparisons()
{
    const size_t size = 256u << 20;
    std::vector<unsigned char> a(size), b(size);
    for (size_t i = 0; i < size; ++i) a[i] = b[i] = static_cast<unsigned char>(i * 2654435761u >> 24);
    double start = now();
    volatile int differ = 0;
    for (int pass = 0; pass < 4; ++pass) differ += memcmp(a.data(), b.data(), size);
    const double compared = 4.0 * size / (now() - start) / 1e9;

    BCRYPT_ALG_HANDLE algorithm = nullptr;
    double hashed = 0;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) == 0) {
        unsigned char digest[32];
        start = now();
        for (int side = 0; side < 2; ++side) {
            BCRYPT_HASH_HANDLE hash = nullptr;
            BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0);
            BCryptHashData(hash, side ? b.data() : a.data(), static_cast<ULONG>(size), 0);
            BCryptFinishHash(hash, digest, sizeof digest, 0);
            BCryptDestroyHash(hash);
        }
        hashed = 1.0 * size / (now() - start) / 1e9;
        BCryptCloseAlgorithmProvider(algorithm, 0);
    }
    printf("comparing both sides: memcmp %.2f GB/s, SHA-256 of each side %.2f GB/s (%.0fx slower)\n", compared, hashed,
           hashed > 0 ? compared / hashed : 0.0);
}

}  // namespace

// verify_bench SMALL_FOLDER LARGE_FILE WORK_FOLDER ROUNDS
int wmain(int argc, wchar_t** argv)
{
    if (argc != 5) {
        fputs("usage: verify_bench SMALL_FOLDER LARGE_FILE WORK_FOLDER ROUNDS\n", stderr);
        return 2;
    }
    const std::wstring items[2] = {argv[1], argv[2]};
    const char* itemNames[2] = {"10,000 small files", "one 1 GiB file"};
    const std::wstring work = argv[3];
    const int rounds = _wtoi(argv[4]);
    CreateDirectoryW(work.c_str(), nullptr);
    readSettingsFile((work + L"\\none.ini").c_str(), &g_settings);
    g_settings.language = UiEnglish;
    setMessageBoxSink(printMessage);
    g_archiverCalls = {setUtf8, runLibrary, sleepMs};

    weighComparisons();
    Timing timings[2][2];   // [item][copy, zip]
    for (int round = 1; round <= rounds; ++round) {
        for (int item = 0; item < 2; ++item) {
            for (int zip = 0; zip < 2; ++zip) {
                Timing& t = timings[item][zip];
                // Off first in odd rounds, on first in even ones: a drift of the machine touches both.
                for (int turn = 0; turn < 2; ++turn) {
                    const bool verify = (turn == 0) == (round % 2 == 0);
                    double pass = -1, cpu = 0;
                    const double took = backUp(items[item], work, zip != 0, verify, round, &pass, &cpu);
                    if (took < 0) {
                        printf("FAILED: %s %s verify %s\n", zip ? "TazuHereZip" : "TazuHere", itemNames[item],
                               verify ? "on" : "off");
                        return 3;
                    }
                    (verify ? t.on : t.off).push_back(took);
                    (verify ? t.onCpu : t.offCpu).push_back(cpu);
                    if (pass >= 0) t.pass.push_back(pass);
                    printf("round %d  %-11s %-18s verify %-3s %8.3f s (processor %7.3f s)", round,
                           zip ? "TazuHereZip" : "TazuHere", itemNames[item], verify ? "on" : "off", took, cpu);
                    if (pass >= 0) printf("   (the pass alone on this copy: %.3f s)", pass);
                    printf("\n");
                    fflush(stdout);
                }
            }
        }
    }
    printf("\nmedian of %d rounds                       off         on     ratio   goal      processor: off, on, ratio\n",
           rounds);
    for (int zip = 0; zip < 2; ++zip) {
        for (int item = 0; item < 2; ++item) {
            const Timing& t = timings[item][zip];
            const double ratio = median(t.on) / median(t.off);
            const double goal = zip ? 1.25 : 1.6;
            printf("%-11s %-18s %9.3f s %9.3f s %8.3f   <= %.2f %-6s %9.3f s %9.3f s %6.3f\n", zip ? "TazuHereZip" : "TazuHere",
                   itemNames[item], median(t.off), median(t.on), ratio, goal, ratio <= goal ? "met" : "MISSED",
                   median(t.offCpu), median(t.onCpu), median(t.onCpu) / median(t.offCpu));
        }
    }
    for (int item = 0; item < 2; ++item) {
        const Timing& t = timings[item][0];
        if (!t.pass.empty())
            printf("TazuHere    %-18s the verify pass alone %.3f s (%.0f%% of the copy without it)\n", itemNames[item],
                   median(t.pass), 100.0 * median(t.pass) / median(t.off));
    }
    return 0;
}
