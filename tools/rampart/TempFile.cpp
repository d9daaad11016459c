#include "TempFile.h"

#include "Error.h"
#include "Platform.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

namespace rampart {

namespace {

// The paths a signal handler removes: fixed storage, claimed and released
// through lock-free flags, so that the handler neither allocates nor locks.
constexpr int kSlots = 16;
constexpr size_t kPathBytes = 4096;
enum : int { kFree, kFilling, kLive };
struct Slot {
    std::atomic<int> state{kFree};
    char path[kPathBytes];
};
Slot slots[kSlots];

int claim(const std::string& path) {
    if (path.size() >= kPathBytes) return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (!slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
        std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
        slots[i].state.store(kLive);
        return i;
    }
    return -1;
}

void release(int slot) {
    if (slot >= 0) slots[slot].state.store(kFree);
}

std::string random_word() {
    static std::mt19937 rng{std::random_device{}()};
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string s;
    for (int i = 0; i < 8; ++i)
        s += digits[rng() % 36];
    return s;
}

bool streamed(const std::string& target) {
    if (target == "-") return true;
    std::error_code ec;
    fs::file_status st = fs::status(target, ec);
    return !ec && fs::exists(st) && !fs::is_regular_file(st) && !fs::is_directory(st);
}

} // namespace

std::string output_name(const std::string& target) {
    return target == "-" ? "standard output" : target;
}

void remove_temporary_files() {
    for (Slot& s : slots)
        if (s.state.load() == kLive) remove_now(s.path);
}

TempFile::TempFile(const std::string& target) : target_(target), stream_(streamed(target)) {
    const std::string name = output_name(target);
    std::error_code ec;
    if (!stream_ && fs::is_directory(target, ec))
        throw Error("cannot write " + name + ": it is a folder");
    fs::path folder;
    std::string base = "rampart";
    if (stream_) {
        folder = fs::temp_directory_path(ec);
        if (ec) throw Error("cannot write " + name + ": no folder for temporary files");
    } else {
        fs::path t(target);
        folder = t.parent_path();
        base = t.filename().string();
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string leaf = base + "." + random_word() + ".part";
        std::string path = folder.empty() ? leaf : (folder / leaf).string();
        file_ = create_new_file(path);
        if (file_) {
            path_ = path;
            // Only once it is ours: a handler must never remove another's file.
            slot_ = claim(path);
            break;
        }
        int err = errno;
        if (err == EEXIST) continue;
        std::string where = folder.empty() ? "." : folder.string();
        if (err == ENOENT && !fs::is_directory(where, ec))
            throw Error("cannot write " + name + ": the folder " + where + " does not exist");
        throw Error("cannot write " + name + ": cannot create a file in " + where + ": " +
                    std::strerror(err));
    }
    if (!file_) throw Error("cannot write " + name + ": no unused temporary name beside it");
}

TempFile::~TempFile() {
    discard();
}

void TempFile::discard() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!path_.empty()) {
        std::error_code ec;
        fs::remove(path_, ec);
        path_.clear();
    }
    release(slot_);
    slot_ = -1;
}

void TempFile::commit() {
    const std::string name = output_name(target_);
    auto fail = [&](const std::string& why) {
        discard();
        throw Error("cannot write " + name + ": " + why);
    };
    if (!file_) fail("its temporary file is gone");
    if (stream_) {
        std::FILE* to = target_ == "-" ? binary_stdout() : std::fopen(target_.c_str(), "wb");
        if (!to) fail(std::strerror(errno));
        bool ok = std::fflush(file_) == 0 && std::fseek(file_, 0, SEEK_SET) == 0;
        char buf[1 << 16];
        while (ok) {
            size_t n = std::fread(buf, 1, sizeof buf, file_);
            if (n == 0) {
                ok = !std::ferror(file_);
                break;
            }
            ok = std::fwrite(buf, 1, n, to) == n;
        }
        int err = errno;
        ok = std::fflush(to) == 0 && ok;
        if (to != stdout) ok = std::fclose(to) == 0 && ok;
        if (!ok) fail(std::strerror(err ? err : errno));
        discard();
        return;
    }
    bool ok = sync_file(file_);
    int err = errno;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    if (!ok) fail(std::strerror(err ? err : errno));
    std::error_code ec;
    fs::rename(path_, target_, ec);
    if (ec) fail(ec.message());
    path_.clear();
    release(slot_);
    slot_ = -1;
}

} // namespace rampart
