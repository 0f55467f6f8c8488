// ZIP reading for tests: end record, central directory, local headers, inflate and CRC-32.
#include "zip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <map>

namespace zipread {
namespace {

unsigned get16(const std::string& data, size_t at)
{
    return static_cast<unsigned char>(data[at]) | (static_cast<unsigned char>(data[at + 1]) << 8);
}

unsigned long get32(const std::string& data, size_t at)
{
    return get16(data, at) | (static_cast<unsigned long>(get16(data, at + 2)) << 16);
}

bool readWhole(const std::wstring& path, std::string* data)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < (1LL << 31);
    if (ok) {
        data->assign(static_cast<size_t>(size.QuadPart), '\0');
        DWORD got = 0;
        ok = size.QuadPart == 0 ||
             (ReadFile(file, &(*data)[0], static_cast<DWORD>(size.QuadPart), &got, nullptr) && got == size.QuadPart);
    }
    CloseHandle(file);
    return ok;
}

bool inflateRaw(const std::string& in, size_t expectedSize, std::string* out)
{
    out->assign(expectedSize, '\0');
    z_stream stream = {};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    stream.avail_in = static_cast<uInt>(in.size());
    stream.next_out = reinterpret_cast<Bytef*>(expectedSize ? &(*out)[0] : nullptr);
    stream.avail_out = static_cast<uInt>(expectedSize);
    char spare;
    if (expectedSize == 0) {
        stream.next_out = reinterpret_cast<Bytef*>(&spare);
        stream.avail_out = 1;
    }
    int result = inflate(&stream, Z_FINISH);
    bool ok = result == Z_STREAM_END && stream.total_out == expectedSize;
    inflateEnd(&stream);
    return ok;
}

}  // namespace

::testing::AssertionResult readArchive(const std::wstring& path, std::vector<Entry>* entries)
{
    entries->clear();
    std::string data;
    if (!readWhole(path, &data)) return ::testing::AssertionFailure() << "cannot read the archive";
    // End of central directory: the last signature within the final 64 KiB + 22 bytes.
    size_t end = std::string::npos;
    if (data.size() >= 22) {
        for (size_t at = data.size() - 22;; --at) {
            if (get32(data, at) == 0x06054b50UL) {
                end = at;
                break;
            }
            if (at == 0 || data.size() - at > 65557) break;
        }
    }
    if (end == std::string::npos) return ::testing::AssertionFailure() << "no end of central directory";
    unsigned count = get16(data, end + 10);
    size_t at = get32(data, end + 16);
    for (unsigned index = 0; index < count; ++index) {
        if (at + 46 > data.size() || get32(data, at) != 0x02014b50UL)
            return ::testing::AssertionFailure() << "bad central header " << index;
        unsigned flags = get16(data, at + 8), method = get16(data, at + 10);
        unsigned long crc = get32(data, at + 16), packed = get32(data, at + 20), size = get32(data, at + 24);
        unsigned nameLength = get16(data, at + 28), extraLength = get16(data, at + 30), commentLength = get16(data, at + 32);
        size_t local = get32(data, at + 42);
        Entry entry;
        entry.name = data.substr(at + 46, nameLength);
        entry.utf8Flag = (flags & 0x800) != 0;
        entry.folder = !entry.name.empty() && entry.name.back() == '/';
        at += 46 + nameLength + extraLength + commentLength;

        if (local + 30 > data.size() || get32(data, local) != 0x04034b50UL)
            return ::testing::AssertionFailure() << "bad local header of " << entry.name;
        if (data.compare(local + 30, nameLength, entry.name) != 0)
            return ::testing::AssertionFailure() << "local and central names differ for " << entry.name;
        size_t start = local + 30 + get16(data, local + 26) + get16(data, local + 28);
        if (start + packed > data.size()) return ::testing::AssertionFailure() << "truncated data of " << entry.name;
        std::string stored = data.substr(start, packed);
        if (method == 0) {
            entry.bytes = stored;
        } else if (method == 8) {
            if (!inflateRaw(stored, size, &entry.bytes)) return ::testing::AssertionFailure() << "cannot inflate " << entry.name;
        } else {
            return ::testing::AssertionFailure() << "method " << method << " of " << entry.name;
        }
        if (entry.bytes.size() != size) return ::testing::AssertionFailure() << "size of " << entry.name;
        unsigned long actual = crc32(0L, reinterpret_cast<const Bytef*>(entry.bytes.data()), static_cast<uInt>(entry.bytes.size()));
        if (actual != crc) return ::testing::AssertionFailure() << "CRC of " << entry.name;
        entries->push_back(entry);
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult holdsExactly(const std::wstring& path,
                                        const std::vector<std::pair<std::string, std::string>>& expected)
{
    std::vector<Entry> entries;
    ::testing::AssertionResult read = readArchive(path, &entries);
    if (!read) return read;
    std::map<std::string, std::string> want(expected.begin(), expected.end());
    std::map<std::string, std::string> got;
    for (const Entry& entry : entries) {
        if (got.count(entry.name)) return ::testing::AssertionFailure() << "entry twice: " << entry.name;
        // A folder entry has no bytes of its own: it matches whatever the expectation gives it.
        if (entry.folder) got[entry.name] = want.count(entry.name) ? want[entry.name] : std::string();
        else got[entry.name] = entry.bytes;
    }
    for (const auto& item : want) {
        if (!got.count(item.first)) return ::testing::AssertionFailure() << "missing entry " << item.first;
        if (got[item.first] != item.second) return ::testing::AssertionFailure() << "other bytes in " << item.first;
    }
    for (const auto& item : got) {
        if (!want.count(item.first)) return ::testing::AssertionFailure() << "unexpected entry " << item.first;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace zipread
