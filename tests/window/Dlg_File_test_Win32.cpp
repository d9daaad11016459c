// The file dialog under wine's own comdlg32, on the test's Xvfb screen. The
// dialog is modal on the calling thread, so a driver thread plays the user:
// it waits for each window the dialog shows and types into it with SendInput,
// as a keyboard would, so the dialog sees real key messages in its own loop.
// Whatever does not come within its time is cancelled and fails the test:
// nothing here waits on a window for ever.
#include "Dlg_File.h"
#include "QZ_TestSupport.h"
#include "Screen.h"
#include "Win_Win32.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace qz::test;

// Wine takes two to three seconds to show each dialog.
constexpr DWORD WAIT_MS = 10000;

// Keys for the dialog, whose file name is selected first so that typing
// replaces it, or for a question over it (box). '\n' is Enter, '\x1b' Escape.
struct Step {
    bool box;
    const char* keys;
};

// Read without sending the window a message: its thread may be waiting for ours.
bool titled(HWND h) {
    wchar_t t[32] = {};
    return h && InternalGetWindowText(h, t, 32) && std::wcscmp(t, L"File preset") == 0;
}

void press(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
}

void type(const char* keys) {
    for (const char* k = keys; *k; ++k) {
        const SHORT scan = *k == '\n' ? VK_RETURN : *k == '\x1b' ? VK_ESCAPE : VkKeyScanA(*k);
        const bool shift = scan & 0x100;
        if (shift) press(VK_SHIFT, false);
        press(LOBYTE(scan), false);
        press(LOBYTE(scan), true);
        if (shift) press(VK_SHIFT, true);
    }
}

template <typename F> bool wait_for(F done) {
    for (const DWORD start = GetTickCount(); !done(); Sleep(20))
        if (GetTickCount() - start > WAIT_MS) return false;
    return true;
}

// Plays the steps against the dialog that the thread which makes it then
// shows; join() answers what went wrong, or nothing.
class User {
public:
    HWND dialog = nullptr, dialogOwner = nullptr;
    std::string nameShown; // the file name box when the dialog came up

    explicit User(std::vector<Step> steps)
        : steps_(std::move(steps)), thread_(GetCurrentThreadId()),
          worker_([this] { failure_ = play(); }) {}
    std::string join() {
        worker_.join();
        return failure_;
    }

private:
    std::vector<Step> steps_;
    const DWORD thread_;
    std::string failure_;
    std::thread worker_;

    // The dialog, or a question over it (box), while it takes input.
    struct Find {
        bool box;
        HWND found = nullptr;
    };
    static BOOL CALLBACK find(HWND h, LPARAM p) {
        auto* f = reinterpret_cast<Find*>(p);
        if (!IsWindowVisible(h) || !IsWindowEnabled(h)) return TRUE;
        // The dialog's questions are owned by it, and may carry its title too.
        const bool box = titled(GetWindow(h, GW_OWNER));
        if (box != f->box || (!box && !titled(h))) return TRUE;
        f->found = h;
        return FALSE;
    }
    HWND shown(bool box) const {
        Find f{box};
        EnumThreadWindows(thread_, &find, reinterpret_cast<LPARAM>(&f));
        return f.found;
    }
    HWND focus() const {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(thread_, &info) ? info.hwndFocus : nullptr;
    }

    std::string play() {
        // Windows and input belong to a desktop: the one the dialog is on.
        SetThreadDesktop(GetThreadDesktop(thread_));
        std::string failure;
        for (size_t i = 0; i < steps_.size() && failure.empty(); ++i)
            failure = act(steps_[i], "step " + std::to_string(i + 1) + ": ");
        if (failure.empty() && !wait_for([&] { return !IsWindow(dialog); }))
            failure = "the dialog stayed after the last step";
        if (!failure.empty()) cancel_all();
        return failure;
    }

    std::string act(const Step& step, const std::string& where) {
        HWND w = nullptr;
        if (!wait_for([&] { return (w = shown(step.box)) != nullptr; }))
            return where + (step.box ? "no question came" : "no dialog came");
        if (!step.box) {
            const bool first = !dialog;
            if (first) {
                dialog = w;
                dialogOwner = GetWindow(dialog, GW_OWNER);
            } else if (w != dialog) {
                return where + "another dialog came instead of the first";
            }
            HWND name = nullptr;
            if (!wait_for([&] { return (name = focus()) && IsChild(dialog, name); }))
                return where + "the file name box has no focus";
            char text[MAX_PATH] = {};
            DWORD_PTR r;
            SendMessageTimeoutA(name, WM_GETTEXT, sizeof text, LPARAM(text), 0, 1000, &r);
            if (first) nameShown = text;
            // Typing replaces the name.
            SendMessageTimeoutA(name, EM_SETSEL, 0, -1, 0, 1000, &r);
        }
        if (GetForegroundWindow() != w) SetForegroundWindow(w);
        type(step.keys);
        // Done when the window goes away, or waits on a question of its own.
        if (!wait_for([&] { return !IsWindow(w) || !IsWindowEnabled(w); }))
            return where + "the window did not answer the keys \"" + step.keys + "\"";
        return {};
    }

    void cancel_all() {
        wait_for([&] {
            for (HWND w : {shown(true), shown(false)})
                if (w) PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
            return !IsWindow(dialog);
        });
    }
};

// A folder of its own with one file, preset.bin, as the current directory;
// the dialog's owner attached to a host window.
class FileDialog : public testing::Test {
protected:
    void SetUp() override {
        GetCurrentDirectoryA(sizeof before, before);
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        std::snprintf(folder, sizeof folder, "%svr-dlg-%lu", temp, GetCurrentProcessId());
        CreateDirectoryA(folder, nullptr);
        ASSERT_TRUE(SetCurrentDirectoryA(folder));
        FILE* f = std::fopen("preset.bin", "wb");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
        ASSERT_EQ(win.hwnd(host.hwnd()), host.hwnd());
    }
    void TearDown() override {
        SetCurrentDirectoryA(before);
        DeleteFileA(in_folder("preset.bin").c_str()); // a save dialog writes no file
        RemoveDirectoryA(in_folder("empty").c_str());
        RemoveDirectoryA(folder);
        EXPECT_TRUE(reports.reports().empty());
    }

    std::string in_folder(const char* name) const { return std::string(folder) + "\\" + name; }

    // Shows the dialog (open or save) with the user playing the steps.
    const char* show(bool save, std::vector<Step> steps, User** user = nullptr) {
        last = std::make_unique<User>(std::move(steps));
        const char* path = save ? dlg.save() : dlg.open();
        const std::string failure = last->join();
        EXPECT_EQ(failure, "");
        if (user) *user = last.get();
        return path;
    }

    ReportCapture reports;
    char before[MAX_PATH] = {}, folder[MAX_PATH] = {};
    HostWindow host{40, 30, 200, 156};
    QZ_Win_Win32 win{200, 156};
    char filter[32] = "Presets\0*.bin\0All\0*.*\0";
    QZ_Dlg_File dlg{&win, filter};
    std::unique_ptr<User> last;
};

TEST_F(FileDialog, RecordHoldsTheGivenFiguresAndNothingElse) {
    const OPENFILENAMEA& r = dlg.record;
    EXPECT_EQ(r.lStructSize, sizeof(void*) == 4 ? 88u : 152u);
    EXPECT_EQ(r.hInstance, GetModuleHandleA(nullptr));
    EXPECT_EQ(r.lpstrFilter, filter);
    EXPECT_EQ(r.lpstrFile, dlg.path);
    EXPECT_EQ(r.nMaxFile, 4096u);
    EXPECT_EQ(sizeof dlg.path, 4096u);
    EXPECT_STREQ(dlg.path, "");
    EXPECT_STREQ(r.lpstrInitialDir, ".");
    EXPECT_STREQ(r.lpstrTitle, "File preset");
    EXPECT_STREQ(r.lpstrDefExt, "bin");
    EXPECT_EQ(QZ_Dlg_File::OPEN_FLAGS, 0x1800u);
    EXPECT_EQ(QZ_Dlg_File::SAVE_FLAGS, 0x802u);
    // Every other field is 0.
    OPENFILENAMEA rest = r;
    rest.lStructSize = 0;
    rest.hInstance = nullptr;
    rest.lpstrFilter = rest.lpstrFile = nullptr;
    rest.lpstrInitialDir = rest.lpstrTitle = rest.lpstrDefExt = nullptr;
    rest.nMaxFile = 0;
    const OPENFILENAMEA zero{};
    EXPECT_EQ(std::memcmp(&rest, &zero, sizeof zero), 0);
}

TEST_F(FileDialog, OwnerWindowIsTheParentOfAnAttachedOwnerAndNoneOtherwise) {
    QZ_Win_Win32 never(200, 156), detached(200, 156);
    detached.hwnd(host.hwnd());
    detached.hwnd(nullptr);
    QZ_Win_Surface offScreen(200, 156);
    EXPECT_EQ(dlg.owner_window(), host.hwnd());
    for (QZ_Win* none : std::initializer_list<QZ_Win*>{&never, &detached, &offScreen, nullptr})
        EXPECT_EQ(QZ_Dlg_File(none, filter).owner_window(), nullptr);
}

// What the user does in one dialog and what the call then answers.
struct Case {
    const char* name;
    bool save;
    std::vector<Step> steps;
    const char* chosen; // a file in the folder, or null
};

TEST_F(FileDialog, EachCallAnswersWhatTheUserChose) {
    const Case cases[] = {
        {"open a file", false, {{false, "preset.bin\n"}}, "preset.bin"},
        {"open a missing file, then a file",
         false,
         {{false, "missing.bin\n"}, {true, "\n"}, {false, "preset.bin\n"}},
         "preset.bin"},
        {"open cancelled", false, {{false, "preset.bin\x1b"}}, nullptr},
        {"save as a new file", true, {{false, "new.bin\n"}}, "new.bin"},
        {"save over a file, yes", true, {{false, "preset.bin\n"}, {true, "y"}}, "preset.bin"},
        {"save over a file, no, then another",
         true,
         {{false, "preset.bin\n"}, {true, "n"}, {false, "other\n"}},
         "other.bin"},
        {"save cancelled", true, {{false, "new.bin\x1b"}}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        User* user = nullptr;
        const char* path = show(c.save, c.steps, &user);
        if (c.chosen) {
            EXPECT_EQ(path, dlg.path);
            EXPECT_STREQ(path, in_folder(c.chosen).c_str());
        } else {
            EXPECT_EQ(path, nullptr);
        }
        EXPECT_EQ(dlg.record.Flags, c.save ? 0x802u : 0x1800u);
        EXPECT_EQ(dlg.record.hwndOwner, host.hwnd());
        EXPECT_EQ(user->dialogOwner, host.hwnd());
        std::strcpy(dlg.path, ""); // each case starts afresh
    }
}

TEST_F(FileDialog, ASecondOpenStartsWithThePathTheFirstChose) {
    ASSERT_STREQ(show(false, {{false, "preset.bin\n"}}), in_folder("preset.bin").c_str());
    // Elsewhere now, and Enter alone: folder and name come from the first.
    ASSERT_TRUE(CreateDirectoryA("empty", nullptr));
    ASSERT_TRUE(SetCurrentDirectoryA("empty"));
    User* user = nullptr;
    EXPECT_STREQ(show(false, {{false, "\n"}}, &user), in_folder("preset.bin").c_str());
    EXPECT_EQ(user->nameShown, "preset.bin");
}

TEST_F(FileDialog, WithoutAParentTheDialogHasNoOwnerWindow) {
    win.hwnd(nullptr);
    User* user = nullptr;
    EXPECT_EQ(show(false, {{false, "\x1b"}}, &user), nullptr);
    EXPECT_NE(user->dialog, nullptr);
    EXPECT_EQ(user->dialogOwner, nullptr);
    EXPECT_EQ(dlg.record.hwndOwner, nullptr);
}

} // namespace
