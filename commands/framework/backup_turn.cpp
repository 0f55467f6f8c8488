// Turns of runs of the same item into the same folder: a named mutex of the session.
#include "backup_turn.h"

#include <wchar.h>

#include "paths.h"

namespace {

DWORD g_turnWait = kTurnWaitMs;

// FNV-1a over UTF-16 units from two starting points: 128 bits, so that two items or folders
// never share a turn by chance.
void digest(const wchar_t* const* texts, size_t count, unsigned long long* first, unsigned long long* second)
{
    const unsigned long long prime = 1099511628211ULL;
    unsigned long long a = 14695981039346656037ULL;
    unsigned long long b = 0x6c62272e07bb0142ULL;
    for (size_t t = 0; t < count; ++t) {
        // A separator that no path holds keeps ("ab", "c") apart from ("a", "bc").
        for (const wchar_t* c = texts[t];; ++c) {
            unsigned unit = *c ? static_cast<unsigned>(*c) : 0xFFFFu;
            for (int shift = 0; shift < 16; shift += 8) {
                a = (a ^ ((unit >> shift) & 0xFF)) * prime;
                b = (b ^ ((unit >> shift) & 0xFF)) * prime;
            }
            if (!*c) break;
        }
    }
    *first = a;
    *second = b;
}

}  // namespace

void backupTurnName(const wchar_t* itemFinalPath, ItemKind kind, OutputKind output,
                    const wchar_t* folderFinalPath, wchar_t* out, size_t capacity)
{
    const wchar_t* how = kind == ItemFolder ? (output == OutputArchive ? L"DA" : L"DC")
                                            : (output == OutputArchive ? L"FA" : L"FC");
    const wchar_t* texts[] = {itemFinalPath, how, folderFinalPath};
    unsigned long long first = 0, second = 0;
    digest(texts, 3, &first, &second);
    formatInto(out, capacity, L"Local\\Vantrel.BackupTurn.%016I64x%016I64x", first, second);
}

HANDLE takeBackupTurn(const wchar_t* itemFinalPath, ItemKind kind, OutputKind output,
                      const wchar_t* folderFinalPath)
{
    wchar_t name[96];
    backupTurnName(itemFinalPath, kind, output, folderFinalPath, name, sizeof name / sizeof name[0]);
    HANDLE turn = CreateMutexW(nullptr, FALSE, name);
    if (!turn) return nullptr;
    // A run that ended during its turn gave it back by ending (abandoned): the turn is ours.
    DWORD waited = WaitForSingleObject(turn, g_turnWait);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return turn;
    CloseHandle(turn);
    return nullptr;
}

void giveBackTurn(HANDLE turn)
{
    if (!turn) return;
    ReleaseMutex(turn);
    CloseHandle(turn);
}

void setTurnWait(DWORD milliseconds)
{
    g_turnWait = milliseconds ? milliseconds : kTurnWaitMs;
}
