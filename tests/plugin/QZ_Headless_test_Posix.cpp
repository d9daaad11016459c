// A host without a display (a render, a plug-in scan on a server) gets no
// editor: the editor requests answer as for a plug-in without one, and
// nothing breaks.
#include "QZ_PluginHost.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using qz::test::Host;

TEST(Headless, WithoutADisplayThereIsNoEditor) {
    const char* was = std::getenv("DISPLAY");
    const std::string saved = was ? was : "";
    for (const char* display : {static_cast<const char*>(nullptr), ":4321"}) {
        if (display)
            setenv("DISPLAY", display, 1);
        else
            unsetenv("DISPLAY");
        Host h;
        EXPECT_EQ(h.fx->flags & effFlagsHasEditor, 0) << (display ? display : "unset");
        ERect* r = nullptr;
        EXPECT_EQ(h.dispatch(effEditGetRect, 0, 0, &r), 0);
        EXPECT_EQ(r, nullptr);
        EXPECT_EQ(h.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(0x200001))), 0);
        EXPECT_EQ(h.dispatch(effEditIdle), 0);
        EXPECT_EQ(h.dispatch(effEditClose), 0);
        EXPECT_EQ(h.process(std::vector<float>(512, 0.5f)).size(), 512u);
        EXPECT_EQ(h.said, "");
    }
    if (was)
        setenv("DISPLAY", saved.c_str(), 1);
    else
        unsetenv("DISPLAY");
}
