#pragma once
// Objects a test makes by command, deleted with "-delete", newest first,
// when the test is done with them.
#include "QZ_Interpret.h"
#include "QZ_TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace qz::test {

class Made {
public:
    Made() = default;
    ~Made() {
        for (auto it = objects_.rbegin(); it != objects_.rend(); ++it)
            QZ_command(cmd("%o -delete"), *it);
    }
    Made(const Made&) = delete;
    Made& operator=(const Made&) = delete;

    // The object the creating command made, as a W; null when it made none
    // or one of another class.
    template <class W, class... A> W* make(const char* command, A... args) {
        QZ_Object* o = nullptr;
        EXPECT_EQ(QZ_command(cmd(command), &o, args...), QZ_OK) << command;
        if (o) objects_.push_back(o);
        return dynamic_cast<W*>(o);
    }

private:
    std::vector<QZ_Object*> objects_;
};

} // namespace qz::test
