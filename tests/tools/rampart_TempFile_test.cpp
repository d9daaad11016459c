// Temporary files in-process: where they are made, what they never touch,
// and that the clean-up a signal runs removes them even while open.
#include "Error.h"
#include "TempFile.h"
#include "rampart_TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace rampart {
namespace {

using test::contains;

std::string error_of(const std::string& target) {
    try {
        TempFile t(target);
    } catch (const Error& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

TEST(TempFiles, AreNewAndUniqueBesideTheirTarget) {
    const std::string dir = test::scratch_dir();
    std::ofstream(dir + "/out.wav") << "the old output";
    std::ofstream(dir + "/out.wav.part") << "someone's file";
    std::string left;
    {
        TempFile a(dir + "/out.wav"), b(dir + "/out.wav");
        for (const TempFile* t : {&a, &b}) {
            std::filesystem::path p(t->path());
            EXPECT_EQ(p.parent_path().generic_string(), dir);
            std::string name = p.filename().string();
            EXPECT_EQ(name.rfind("out.wav.", 0), 0u) << name;
            EXPECT_EQ(name.substr(name.size() - 5), ".part") << name;
            EXPECT_NE(name, "out.wav.part");
        }
        EXPECT_NE(a.path(), b.path());
        ASSERT_GE(std::fputs("new", a.file()), 0);
        a.commit();
        EXPECT_EQ(test::file_bytes(dir + "/out.wav"), "new");
        EXPECT_EQ(test::file_bytes(dir + "/out.wav.part"), "someone's file");
        EXPECT_FALSE(test::file_exists(a.path()));
        EXPECT_TRUE(test::file_exists(b.path()));
        left = b.path();
    }
    EXPECT_FALSE(test::file_exists(left));
    EXPECT_EQ(test::names_in(dir), (std::vector<std::string>{"out.wav", "out.wav.part"}));
}

TEST(TempFiles, GoWhenNotCommittedAndWhenASignalCleansUp) {
    const std::string dir = test::scratch_dir();
    {
        TempFile t(dir + "/x.wav");
        std::fputs("half", t.file());
    }
    EXPECT_TRUE(test::names_in(dir).empty());
    {
        TempFile t(dir + "/x.wav");
        std::fputs("half", t.file());
        std::fflush(t.file());
        // Still open, as when a signal comes during a render.
        remove_temporary_files();
        std::ofstream(dir + "/x.wav") << "made again"; // the name is free for others
    }
    EXPECT_EQ(test::names_in(dir), std::vector<std::string>{"x.wav"});
    TempFile committed(dir + "/y.wav");
    committed.commit();
    remove_temporary_files(); // a committed file is the user's
    EXPECT_TRUE(test::file_exists(dir + "/y.wav"));
}

TEST(TempFiles, SayWhyNoneCanBeMade) {
    const std::string dir = test::scratch_dir();
    std::filesystem::create_directory(dir + "/folder.wav");
    EXPECT_EQ(error_of(dir + "/folder.wav"), "cannot write " + dir + "/folder.wav: it is a folder");
    EXPECT_EQ(error_of(dir + "/none/x.wav"),
              "cannot write " + dir + "/none/x.wav: the folder " + dir + "/none does not exist");
    EXPECT_TRUE(test::names_in(dir) == std::vector<std::string>{"folder.wav"});
}

} // namespace
} // namespace rampart
