#include "QZ_Shell.h"

#include "QZ_Door.h"
#include "QZ_Interpret.h"

#include <vector>

namespace qz {

Shell::Shell(std::FILE* out, int capacity)
    : out_(out), capacity_(capacity), first_object_(next_serial()) {}

Shell::~Shell() {
    delete_objects_since(first_object_);
}

bool Shell::needs_arguments(const std::string& t) {
    for (size_t i = 0; i + 1 < t.size(); ++i) {
        bool word_start = i == 0 || t[i - 1] == ' ';
        char c = t[i + 1];
        bool ends = i + 2 == t.size() || t[i + 2] == ' ';
        if (word_start && t[i] == '%' && ends && (c == 'i' || c == 'f' || c == 'o' || c == 's'))
            return true;
    }
    return false;
}

bool Shell::line(const std::string& raw) {
    std::string text = raw;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    if (text.empty() || text[0] == '#') return true;
    if (text.find('\0') != std::string::npos) text.resize(text.find('\0'));
    if (needs_arguments(text)) {
        std::fprintf(out_, "error: conversions need arguments\n");
        std::fflush(out_);
        return false;
    }
    if (std::string why = door::check(text); !why.empty()) {
        // said as the interpreter says what it refuses
        std::fprintf(out_, "derar: %s\nderar: %s\nerror: %s\n", text.c_str(), why.c_str(),
                     QZ_ERROR_COMMAND_NOT_PARAM);
        std::fflush(out_);
        return false;
    }
    texts_.push_back(text);
    std::vector<char> result(static_cast<size_t>(capacity_));
    int length = capacity_;
    QZ_error e = QZ_command_text(texts_.back().data(), result.data(), &length);
    std::fflush(stdout); // the interpreter's own lines come first
    if (e == QZ_OK) {
        std::fwrite(result.data(), 1, size_t(length), out_);
        std::fputc('\n', out_);
    } else {
        std::fprintf(out_, "error: %s\n", e);
    }
    std::fflush(out_);
    return e == QZ_OK;
}

bool Shell::stream(std::FILE* in) {
    bool ok = true;
    std::string text;
    int c;
    while ((c = std::fgetc(in)) != EOF) {
        if (c == '\n') {
            ok = line(text) && ok;
            text.clear();
        } else {
            text.push_back(char(c));
        }
    }
    if (!text.empty()) ok = line(text) && ok;
    return ok;
}

} // namespace qz
