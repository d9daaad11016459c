#pragma once
#include <stdexcept>
#include <string>

namespace rampart {

// A failure the user must be told about: the message is printed as it is,
// after "rampart: ", and the program exits with status 1.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A command line that cannot be understood: exit status 2 and a hint to --help.
class UsageError : public Error {
public:
    using Error::Error;
};

} // namespace rampart
