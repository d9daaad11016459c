// rtsdemo: lists the audio devices and their modes, or opens one and passes
// its inputs to its outputs for a while, printing how many blocks went by.
//   rtsdemo list
//   rtsdemo run DEVICE MODE SECONDS   DEVICE: number or name from the list; MODE: number
#include "Rts/Asio_Win32.h"
#include "Rts/Rts_Win32.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::atomic<long> blocks{0}, refused{0};
std::atomic<QZ_Rts*> opened{nullptr};

// Input k to output k, for as many pairs as the device has.
void pass_through() {
    QZ_Rts* d = opened.load();
    if (!d) return;
    QZ_Chain_Item* in = d->inputs.first();
    QZ_Chain_Item* out = d->outputs.first();
    for (; !d->inputs.end(in) && !d->outputs.end(out); in = in->next, out = out->next)
        if (QZ_Rts::copyBuffer(QZ_Rts::at<QZ_Rts::Chan>(out), QZ_Rts::at<QZ_Rts::Chan>(in)) !=
            QZ_OK)
            ++refused;
    ++blocks;
}

// A console program: reports go to standard error, not into a box.
void to_stderr(const char* caption, const char* text) {
    std::fprintf(stderr, "%s\n%s\n", caption, text);
}

QZ_Rts* device(const char* which) {
    char* end;
    const long n = std::strtol(which, &end, 10);
    int32_t k = 0;
    for (QZ_Chain_Item* i = QZ_Rts_instances.first(); !QZ_Rts_instances.end(i); i = i->next, ++k) {
        auto* d = static_cast<QZ_Rts*>(i->data);
        if ((*end == 0 && n == k) || std::strcmp(d->name, which) == 0) return d;
    }
    return nullptr;
}

int list() {
    int32_t k = 0;
    for (QZ_Chain_Item* i = QZ_Rts_instances.first(); !QZ_Rts_instances.end(i); i = i->next, ++k) {
        auto* d = static_cast<QZ_Rts*>(i->data);
        std::printf("%d: %s\n", int(k), d->name);
        if (d->init() != QZ_OK) {
            std::printf("   (cannot be initialised)\n");
            continue;
        }
        int32_t m = 0;
        for (QZ_Chain_Item* j = d->modes.first(); !d->modes.end(j); j = j->next, ++m)
            std::printf("   mode %d:%s\n", int(m), QZ_Rts::at<QZ_Rts::Mode>(j)->description);
        for (QZ_Chain_Item* j = d->inputs.first(); !d->inputs.end(j); j = j->next)
            std::printf("   input %s\n", QZ_Rts::at<QZ_Rts::Chan>(j)->name);
        d->release();
    }
    if (k == 0) std::printf("no audio devices\n");
    return 0;
}

int run(const char* which, const char* modeText, const char* secondsText) {
    QZ_Rts* d = device(which);
    if (!d) {
        std::fprintf(stderr, "rtsdemo: no device %s (see rtsdemo list)\n", which);
        return 2;
    }
    const int seconds = std::atoi(secondsText);
    if (d->init() != QZ_OK) {
        std::fprintf(stderr, "rtsdemo: %s cannot be initialised\n", d->name);
        return 1;
    }
    QZ_Rts::Mode* m = QZ_Rts::nth<QZ_Rts::Mode>(d->modes, std::atoi(modeText));
    if (!m || seconds < 0) {
        std::fprintf(stderr, "rtsdemo: %s has no mode %s\n", d->name, modeText);
        d->release();
        return 2;
    }
    opened.store(d);
    QZ_error e = d->mode(m);
    if (e != QZ_OK) {
        std::fprintf(stderr, "rtsdemo: cannot open%s: %s\n", m->description, e);
        d->release();
        return 1;
    }
    std::printf("%s,%s: %d inputs, %d outputs\n", d->name, m->description, int(d->inputs.count),
                int(d->outputs.count));
    for (int s = 1; s <= seconds; ++s) {
        Sleep(1000);
        std::printf("second %d: %ld blocks\n", s, blocks.load());
        std::fflush(stdout);
    }
    e = d->free();
    d->release();
    std::printf("blocks %ld, copies refused %ld\n", blocks.load(), refused.load());
    if (e != QZ_OK) {
        std::fprintf(stderr, "rtsdemo: closing: %s\n", e);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    qz::set_report_sink(&to_stderr);
    const bool listing = argc == 2 && std::strcmp(argv[1], "list") == 0;
    const bool running = argc == 5 && std::strcmp(argv[1], "run") == 0;
    if (!listing && !running) {
        std::fprintf(stderr, "usage: rtsdemo list\n       rtsdemo run DEVICE MODE SECONDS\n");
        return 2;
    }
    QZ_Rts_Win32::classInit(&pass_through);
    QZ_Rts_Asio::classInit(&pass_through);
    const int status = listing ? list() : run(argv[2], argv[3], argv[4]);
    QZ_Rts_Asio::classExit();
    QZ_Rts_Win32::classExit();
    return status;
}
